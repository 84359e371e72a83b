// Putting prepared files in place, a group at a time, so that an original
// goes only once its copy, the copy's name and its record line are on disk:
//   1. the group's copies are forced to the disk;
//   2. each gets the first free name, in listing order;
//   3. the folder is forced to the disk;
//   4. the group's record lines are written and forced to the disk;
//   5. only then are the originals deleted.
// A group pays for three flushes however many files it holds.
#ifndef VEILMARK_ANONYMIZE_GROUP_COMMIT_H_
#define VEILMARK_ANONYMIZE_GROUP_COMMIT_H_

#include <cstddef>

#include "anonymize/name_numbers.h"
#include "anonymize/prepared_file.h"
#include "platform/cfile.h"
#include "platform/durable_file.h"

class GroupCommit {
 public:
  // `record` is open; `folderHandle` was opened before the first copy was
  // written to `folder`.
  GroupCommit(const CString& folder, CFile* record, FolderHandle* folderHandle)
      : folder_(folder), record_(record), folderHandle_(folderHandle) {}

  // Commits jobs[0], jobs[1], ... of the `count` given, in order, and
  // returns how many it took: all of them, unless a copy's name depends on
  // whether the original of an earlier one is gone. Then the group ends
  // before that copy, which the next group takes up with the name a run of
  // one file at a time would have given it. Jobs without a copy pass
  // through. Counts the files that got their copy recorded in `modified`.
  size_t Commit(FileJob* const* jobs, size_t count, int* modified);

 private:
  // Steps 1 to 5.
  void SyncCopies(FileJob* const* jobs, size_t count);
  bool Publish(FileJob* job);
  void SyncNames(FileJob* const* jobs, size_t count);
  void Record(FileJob* const* jobs, size_t count);
  void DeleteOriginals(FileJob* const* jobs, size_t count, int* modified);
  // Takes a published copy back out of the folder.
  void Withdraw(FileJob* job);

  CString folder_;
  CFile* record_;
  FolderHandle* folderHandle_;
  NameNumbers names_;  // new names known to be taken
};

#endif  // VEILMARK_ANONYMIZE_GROUP_COMMIT_H_
