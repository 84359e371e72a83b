// Putting prepared files in place, a group at a time, so that an original
// goes only once its copy, the copy's name and its record line are on disk:
//   1. the group's copies are forced to the disk;
//   2. each is given the first free name, in listing order;
//   3. the group's record lines are written and forced to the disk;
//   4. the copies take their names;
//   5. the folder is forced to the disk;
//   6. only then are the originals deleted.
// A group pays for three flushes however many files it holds. A copy never
// has its name without its record line: a run killed between 3 and 4 left
// lines whose copies are still temporary files, the last lines of the
// record, which the next run takes back (see earlier_run.h).
#ifndef VEILMARK_ANONYMIZE_GROUP_COMMIT_H_
#define VEILMARK_ANONYMIZE_GROUP_COMMIT_H_

#include <cstddef>
#include <cstdint>
#include <string>

#include "key/name_numbers.h"
#include "key/record_file.h"
#include "pipeline/file_job.h"
#include "platform/framework/cfile.h"
#include "platform/system/durable_file.h"

class GroupCommit {
 public:
  // `record` is open, and holds `contents`; `folderHandle` was opened
  // before the first copy was written to `folder`.
  GroupCommit(const CString& folder, CFile* record,
              const RecordContents& contents, FolderHandle* folderHandle);

  // Commits jobs[0], jobs[1], ... of the `count` given, in order, and
  // returns how many it took: all of them, unless a copy's name depends on
  // whether the original of an earlier one is gone. Then the group ends
  // before that copy, which the next group takes up with the name a run of
  // one file at a time would have given it. Jobs without a copy pass
  // through. Counts the files that got their copy recorded in `modified`.
  size_t Commit(FileJob* const* jobs, size_t count, int* modified);

  // Whether another program replaced the record, or wrote to it, during
  // the run: the lines of this run's copies have then been written again
  // into the file that holds its name, and the run should stop.
  bool RecordChanged() const { return changed_; }

 private:
  // Steps 2 to 6; each takes the jobs that fail out of the group.
  size_t Name(FileJob* const* jobs, size_t count);
  bool Record(FileJob* const* jobs, size_t count);
  void Publish(FileJob* const* jobs, size_t count);
  void SyncNames(FileJob* const* jobs, size_t count);
  bool SyncKeysFolder();
  void DeleteOriginals(FileJob* const* jobs, size_t count, int* modified);

  // The group's lines, of the jobs still in it.
  std::string Lines(FileJob* const* jobs, size_t count) const;
  // Appends `lines` to the record, as it is now, and keeps them.
  bool Append(const std::string& lines, std::string* error);
  // Whether the record is still as the run left it; if not, the run's
  // lines are written again into the file that now holds its name.
  bool KeepRecord(std::string* error);
  // Takes a job out of the group with an error line, its copy removed
  // from wherever it is.
  void Fail(FileJob* job, const std::string& reason);
  // Puts the record back as it was before the group, and takes every job
  // out with `reason`.
  void Abandon(FileJob* const* jobs, size_t count, const std::string& reason);

  CString folder_;
  std::string recordPath_;
  CFile* record_;
  RecordFormat format_;       // how the record's lines are laid out
  std::uint64_t length_ = 0;  // the record's length as the run left it
  std::string written_;       // the lines of this run's copies
  size_t groupWritten_ = 0;   // where the group's lines start there
  bool changed_ = false;
  FolderHandle* folderHandle_;
  FolderHandle keysHandle_;  // the profile's keys, once a copy has one
  bool keysHandleOpen_ = false;
  NameNumbers names_;        // new names known to be taken
  std::uint64_t lines_ = 0;  // where the group's lines start in the record
};

#endif  // VEILMARK_ANONYMIZE_GROUP_COMMIT_H_
