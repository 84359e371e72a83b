// A run over one folder: every "*.ima" file in it anonymized, recorded and
// its original deleted, with the log lines of the run in the order of the
// listing; or, as an undo (undo/folder_undo.h), every line of its record
// taken back. Either first finishes what an interrupted run left.
#ifndef VEILMARK_ANONYMIZE_FOLDER_RUN_H_
#define VEILMARK_ANONYMIZE_FOLDER_RUN_H_

#include <vector>

#include "key/record_file.h"
#include "pipeline/folder_work.h"
#include "platform/framework/cstring.h"
#include "platform/system/durable_file.h"

class FolderRun : public FolderWork {
 public:
  using FolderWork::FolderWork;

  RunResult Run();

 private:
  // Locks the record, or in a dry run makes sure it could be locked, and
  // reads its lines; false after the error line when the run cannot start.
  // A record with a line a run cannot read is refused, and so is an
  // undo's evidence that is no regular file.
  bool TakeFolder(RecordContents* contents);
  // Takes the folder's key, when it has one, or makes one for a run with
  // the profile: a folder is anonymized with the profile and the same
  // options, or without it, while its record holds lines. False after the
  // error line when the run cannot go on.
  bool TakeKey(const RecordContents& contents);
  // The names of the folder's "*.ima" entries, in the order they are
  // taken up; false after the error line when the folder cannot be read.
  bool List(std::vector<CString>* names);
  void ListFailed(const char* reason);
  // Names each file and folder of the folder the run does not take up and
  // that may hold patient data, left as it was.
  void SayOthersLeft();

  // What comes between taking the folder and closing the record.
  void Anonymize(FolderHandle* folderHandle, const RecordContents& contents);
};

#endif  // VEILMARK_ANONYMIZE_FOLDER_RUN_H_
