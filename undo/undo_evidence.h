// What an undo leaves to show which record lines it took back. Before it
// deletes a group's anonymized files, the undo adds their lines to
// "anonymous_record.undo" in the folder and forces it to the disk; once
// the record is written anew without them, the file goes. An undo stopped
// in between leaves originals put back whose copies are gone and whose
// lines remain: the next undo knows them by this file, and by nothing
// else. A copy that merely left the folder (handed on to researchers) has
// no line here, and its line stays in the record. The file holds real
// names, so it is readable by its owner only.
#ifndef VEILMARK_UNDO_UNDO_EVIDENCE_H_
#define VEILMARK_UNDO_UNDO_EVIDENCE_H_

#include <string>
#include <vector>

#include "key/record_file.h"
#include "platform/framework/cfile.h"
#include "platform/framework/cstring.h"
#include "platform/system/durable_file.h"

class UndoEvidence {
 public:
  explicit UndoEvidence(const CString& folder);

  // Reads what an undo stopped short left, if anything.
  void Read();
  // Whether an undo stopped short took `entry` back.
  bool Holds(const RecordEntry& entry) const;

  // Adds the lines of `entries` and forces them, and the file's name in
  // `folderHandle`'s folder, to the disk.
  bool Add(const std::vector<const RecordEntry*>& entries,
           FolderHandle* folderHandle, std::string* error);
  // Removes the file, once the record no longer holds its lines.
  void Remove();

 private:
  std::string path_;
  std::vector<RecordEntry> lines_;
  CFile file_;
};

#endif  // VEILMARK_UNDO_UNDO_EVIDENCE_H_
