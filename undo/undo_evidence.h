// What an undo leaves to show which copies it took away. Once a group's
// originals are back on disk under their old names, and before their
// anonymized copies leave their names, the undo adds a line for each copy
// to "anonymous_record.undo" in the folder, forced to the disk: the name
// the copy is then put aside under (".veilmark-undone-N.undone", which no
// run takes up) and its record line. Once the record is written anew
// without those lines, the copies put aside are deleted, and the file
// goes. An undo stopped in between leaves copies put aside whose lines the
// record may still hold: the next run, or undo, knows them by this file
// and finishes them (earlier_undo.h). A copy that merely left the folder
// (handed on to researchers) was never put aside, and its line stays. The
// file holds real names, so it is readable by its owner only.
#ifndef VEILMARK_UNDO_UNDO_EVIDENCE_H_
#define VEILMARK_UNDO_UNDO_EVIDENCE_H_

#include <string>
#include <vector>

#include "key/record_text.h"
#include "platform/framework/cfile.h"
#include "platform/framework/cstring.h"
#include "platform/system/durable_file.h"

// Where the evidence of an undo of `folder` is kept.
std::string EvidencePath(const CString& folder);

// One line of the evidence: a copy put aside, and its record line.
struct SetAside {
  std::string name;  // in the folder
  RecordEntry entry;
};

class UndoEvidence {
 public:
  explicit UndoEvidence(const CString& folder);

  // A name to put a copy aside under that no file of the folder has.
  std::string NextName();
  // Adds `lines` and forces them, and the file's name in `folderHandle`'s
  // folder, to the disk.
  bool Add(const std::vector<SetAside>& lines, FolderHandle* folderHandle,
           std::string* error);
  // Deletes the copies put aside, once the record no longer holds their
  // lines, then the file itself.
  void Remove();

 private:
  std::string folder_;
  std::string path_;
  CFile file_;
  int next_ = 0;
  std::vector<std::string> aside_;
};

// The lines an undo stopped short left in the evidence of `folder`.
std::vector<SetAside> ReadEvidence(const CString& folder);

#endif  // VEILMARK_UNDO_UNDO_EVIDENCE_H_
