// One line of the record taken back: the anonymized file it names is
// written anew with the original patient name, to be put in place under the
// original file name, and then deleted. The way back of prepared_file.h.
#ifndef VEILMARK_UNDO_RESTORED_FILE_H_
#define VEILMARK_UNDO_RESTORED_FILE_H_

#include <map>
#include <mutex>
#include <set>
#include <string>

#include "key/record_file.h"
#include "pipeline/file_job.h"
#include "profile/folder_key.h"

// What an undo that changes nothing would have done so far: the files it
// would have written, with the patient name each would hold, and the files
// it would have deleted. The workers read it while the committer writes it.
class UndoState {
 public:
  // Whether the file `name` would have been written; its patient name then
  // goes to `patientName` when given.
  bool Written(const std::string& name, CString* patientName = nullptr) const;
  bool Deleted(const std::string& name) const;
  void Write(const std::string& name, const CString& patientName);
  void Delete(const std::string& name);

 private:
  mutable std::mutex mutex_;
  std::map<std::string, CString> written_;
  std::set<std::string> deleted_;
};

// The error line of an old file name that another file holds.
void Taken(const CString& folder, FileJob* job);

// Starts `job` as the undo of `entry`, a line of the record of `folder`:
// its first log line "Restoring file: NEWNAME"; false, with an error line
// instead, when the line cannot be read.
bool StartRestore(const CString& folder, const RecordEntry& entry,
                  FileJob* job);

// Takes `job`, started, to the error lines that say why its line cannot be
// undone, or to a verified copy of the file with the old patient name in a
// temporary file (none for a dry run, which `dryState` marks) to be named
// `job->newName`, or, when an undo stopped short already put the original
// back, to `inPlace`. A copy made with the profile comes back from its key
// (profile/copy_key.h), with the folder's `key`. Call it on a large stack.
void PrepareRestore(const CString& folder, const UndoState* dryState,
                    const FolderKey* key, const RecordEntry& entry,
                    FileJob* job);

#endif  // VEILMARK_UNDO_RESTORED_FILE_H_
