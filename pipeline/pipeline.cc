#include "pipeline/pipeline.h"

#include <algorithm>
#include <chrono>

#include "platform/system/large_stack.h"
#include "platform/system/open_files.h"

namespace {

// A group ends at this many files or bytes, so that no flush grows
// without bound; prepared files wait, holding their original open and their
// copy on disk, up to twice that.
constexpr size_t kMaxGroupFiles = 512;
constexpr unsigned long long kMaxGroupBytes = 256ull << 20;
constexpr size_t kMaxWaitingFiles = 2 * kMaxGroupFiles;
// A group of fewer files waits at most this long for more.
constexpr size_t kMinGroupFiles = 64;
constexpr std::chrono::milliseconds kGroupWait{20};
constexpr unsigned long long kMaxWaitingBytes = 2 * kMaxGroupBytes;

// How many prepared files may wait at once: each holds its original open,
// and the process may open only so many files.
size_t WaitingFilesAllowed(int workers) {
  const unsigned long long limit = OpenFileLimit();
  if (limit == 0) return kMaxWaitingFiles;
  // Kept free: the process's own files, and those each worker opens while
  // it prepares a file.
  const unsigned long long reserved =
      64 + 8 * static_cast<unsigned long long>(workers);
  if (limit <= reserved + 1) return 1;
  return static_cast<size_t>(
      std::min<unsigned long long>(kMaxWaitingFiles, limit - reserved));
}

}  // namespace

Pipeline::Pipeline(size_t count, int workers, const std::atomic<bool>& stopped)
    : count_(count),
      workers_(workers),
      stopped_(stopped),
      window_(workers == 1 ? 1 : WaitingFilesAllowed(workers)),
      slots_(window_) {}

void Pipeline::Wake() {
  { std::lock_guard<std::mutex> lock(mutex_); }
  changed_.notify_all();
}

size_t Pipeline::GroupEnd() const {
  return std::min({count_, committed_ + window_, committed_ + kMaxGroupFiles});
}

bool Pipeline::GroupComplete() {
  size_t ready = 0;
  unsigned long long bytes = 0;
  for (size_t i = committed_; i < GroupEnd() && Slot(i); ++i) {
    ++ready;
    bytes += Slot(i)->bytes;
  }
  if (ready >= kMinGroupFiles || bytes >= kMaxGroupBytes) return true;
  const bool moreToTake = taken_ < End() && taken_ < committed_ + window_ &&
                          waitingBytes_ < kMaxWaitingBytes;
  return !moreToTake && committed_ + ready == taken_;
}

void Pipeline::Run(const Prepare& prepare, const Commit& commit,
                   const Refuse& refuse,
                   const std::function<void(FileJob*)>& done) {
  std::vector<std::unique_ptr<LargeStackThread>> threads;
  std::string error;
  for (int i = 0; i < workers_; ++i) {
    auto thread = std::make_unique<LargeStackThread>();
    if (!thread->Start([this, &prepare] { Work(prepare); }, &error)) break;
    threads.push_back(std::move(thread));
  }
  if (threads.empty()) {
    // No thread with a stack deep enough for DCMTK: no file can be read.
    for (size_t i = 0; i < count_; ++i) {
      FileJob job;
      refuse(i, &job, error);
      done(&job);
    }
    taken_ = count_;
    return;
  }

  std::vector<FileJob*> group;
  for (;;) {
    {
      std::unique_lock<std::mutex> lock(mutex_);
      changed_.wait(lock, [&] {
        return committed_ >= End() || Slot(committed_) != nullptr;
      });
      if (committed_ >= End()) break;
      // A group takes what became ready while the last one was put in
      // place. When that is little (the flushes cost next to nothing), it
      // waits a moment for more, so that flushes stay few.
      changed_.wait_for(lock, kGroupWait, [&] { return GroupComplete(); });
      group.clear();
      unsigned long long bytes = 0;
      for (size_t i = committed_; i < GroupEnd(); ++i) {
        if (!Slot(i) || bytes >= kMaxGroupBytes) break;
        group.push_back(Slot(i).get());
        bytes += Slot(i)->bytes;
      }
    }
    size_t taken = commit(group.data(), group.size());
    unsigned long long bytes = 0;
    for (size_t i = 0; i < taken; ++i) {
      done(group[i]);
      bytes += group[i]->bytes;
    }
    {
      std::lock_guard<std::mutex> lock(mutex_);
      // Closing an original that is gone frees it on disk, which takes a
      // while: the workers do it between files.
      for (size_t i = 0; i < taken; ++i) {
        finished_.push_back(std::move(Slot(committed_ + i)));
      }
      committed_ += taken;
      waitingBytes_ -= bytes;
    }
    changed_.notify_all();
  }
  for (auto& thread : threads) thread->Join();
}

void Pipeline::Work(const Prepare& prepare) {
  std::vector<std::unique_ptr<FileJob>> finished;
  for (;;) {
    finished.clear();
    size_t i;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      finished.swap(finished_);
      changed_.wait(lock, [&] {
        return taken_ >= End() ||
               (taken_ < committed_ + window_ &&
                (waitingBytes_ < kMaxWaitingBytes || taken_ == committed_));
      });
      if (taken_ >= End()) return;
      i = taken_++;
    }
    auto job = std::make_unique<FileJob>();
    prepare(i, job.get());
    {
      std::lock_guard<std::mutex> lock(mutex_);
      waitingBytes_ += job->bytes;
      Slot(i) = std::move(job);
    }
    changed_.notify_all();
  }
}
