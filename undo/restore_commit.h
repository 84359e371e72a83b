// Putting an undo's files in place, a group at a time, so that an
// anonymized file leaves its name only once the original it stands for is
// back on disk under its old name:
//   1. the group's copies are forced to the disk;
//   2. each takes its old name, never replacing a file;
//   3. the folder is forced to the disk;
//   4. the anonymized files and their lines go to the undo's evidence
//      (undo_evidence.h), on disk;
//   5. only then are the anonymized files put aside, and their record
//      lines done with: the undo writes the record anew once it is through,
//      and then deletes what it put aside.
#ifndef VEILMARK_UNDO_RESTORE_COMMIT_H_
#define VEILMARK_UNDO_RESTORE_COMMIT_H_

#include <cstddef>
#include <string>
#include <vector>

#include "pipeline/file_job.h"
#include "platform/system/durable_file.h"
#include "undo/restored_file.h"
#include "undo/undo_evidence.h"

class RestoreCommit {
 public:
  // `folderHandle` was opened before the first copy was written to
  // `folder`. With `dryState`, changes nothing and notes there what it
  // would have done.
  RestoreCommit(const CString& folder, FolderHandle* folderHandle,
                UndoEvidence* evidence, UndoState* dryState)
      : folder_(folder),
        folderHandle_(folderHandle),
        evidence_(evidence),
        dryState_(dryState) {}

  // Commits the `count` jobs in order and returns `count`; counts the files
  // put back in `restored`.
  size_t Commit(FileJob* const* jobs, size_t count, int* restored);

 private:
  void Publish(FileJob* const* jobs, size_t count);
  void SyncNames(FileJob* const* jobs, size_t count);
  void Witness(FileJob* const* jobs, size_t count);
  // Takes the anonymized files away: a dry run, as far as it can tell.
  void TakeCopies(FileJob* const* jobs, size_t count, int* restored);
  void Name(FileJob* job, int* restored);  // what a dry run says

  CString folder_;
  FolderHandle* folderHandle_;
  UndoEvidence* evidence_;
  UndoState* dryState_;
  std::vector<std::string> aside_;  // the group's names in the evidence
};

#endif  // VEILMARK_UNDO_RESTORE_COMMIT_H_
