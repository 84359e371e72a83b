// Files prepared on worker threads and committed in order: the files of a
// run are prepared several at once, at most a window ahead of the oldest
// not yet committed, and handed to the committer in their order, as many
// at once as are ready in order. A stop takes up no new file; those under
// way are still prepared and committed.
#ifndef VEILMARK_PIPELINE_PIPELINE_H_
#define VEILMARK_PIPELINE_PIPELINE_H_

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "pipeline/file_job.h"

class Pipeline {
 public:
  // Prepares file `index` into the job, on a worker's large stack.
  using Prepare = std::function<void(size_t index, FileJob* job)>;
  // Commits jobs[0], jobs[1], ... of the `count` given, in order; returns
  // how many it took (at least one), the rest coming again.
  using Commit = std::function<size_t(FileJob* const* jobs, size_t count)>;
  // When no worker can start: what file `index` gets, the reason given.
  using Refuse =
      std::function<void(size_t index, FileJob* job, const std::string&)>;

  // `count` files on `workers` threads; none is taken up once `stopped`.
  Pipeline(size_t count, int workers, const std::atomic<bool>& stopped);

  // Tells the pipeline that `stopped` changed; from any thread.
  void Wake();

  // Calls `done` with each committed file, in order.
  void Run(const Prepare& prepare, const Commit& commit, const Refuse& refuse,
           const std::function<void(FileJob*)>& done);

  // The files a stop left as they were.
  size_t NotTakenUp() const { return count_ - taken_; }

 private:
  std::unique_ptr<FileJob>& Slot(size_t i) { return slots_[i % window_]; }
  // Where taking up files ends: at the last file, or where a stop came.
  size_t End() const { return stopped_ ? taken_ : count_; }
  // Where the next group ends at the most.
  size_t GroupEnd() const;
  // True when waiting would not make the next group any larger, or not
  // enough to be worth it.
  bool GroupComplete();
  void Work(const Prepare& prepare);

  const size_t count_;
  const int workers_;
  const std::atomic<bool>& stopped_;
  const size_t window_;

  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::unique_ptr<FileJob>> slots_;     // by index modulo window
  std::vector<std::unique_ptr<FileJob>> finished_;  // committed, to let go
  size_t taken_ = 0;                                // files handed to workers
  size_t committed_ = 0;                            // files done with
  unsigned long long waitingBytes_ = 0;  // of the prepared, uncommitted copies
};

#endif  // VEILMARK_PIPELINE_PIPELINE_H_
