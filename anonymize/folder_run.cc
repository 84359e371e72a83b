#include "anonymize/folder_run.h"

#include <sys/resource.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdarg>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>

#include "anonymize/dry_run.h"
#include "anonymize/earlier_run.h"
#include "anonymize/group_commit.h"
#include "anonymize/prepared_file.h"
#include "anonymize/record_file.h"
#include "dcmtk/config/osconfig.h"
#include "dcmtk/dcmdata/dcdict.h"
#include "platform/durable_file.h"
#include "platform/find_file.h"
#include "platform/large_stack.h"

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
  struct rlimit limit;
  if (getrlimit(RLIMIT_NOFILE, &limit) != 0 ||
      limit.rlim_cur == RLIM_INFINITY) {
    return kMaxWaitingFiles;
  }
  // Kept free: the process's own files, and those each worker opens while
  // it prepares a file.
  const rlim_t reserved = 64 + 8 * static_cast<rlim_t>(workers);
  if (limit.rlim_cur <= reserved + 1) return 1;
  return std::min<size_t>(kMaxWaitingFiles, limit.rlim_cur - reserved);
}

// Prepares files on worker threads, at most `window` ahead of the oldest
// file not yet committed, and hands them to `commit` in listing order, as
// many at once as are ready in order.
class Pipeline {
 public:
  using Commit = std::function<size_t(FileJob* const*, size_t)>;

  // Takes up no new file once `stopped` is set; Wake() tells it.
  Pipeline(const CString& folder, const std::vector<CString>& names,
           int workers, bool dryRun, const std::atomic<bool>& stopped)
      : folder_(folder),
        dryRun_(dryRun),
        stopped_(stopped),
        names_(names),
        workers_(workers),
        window_(workers == 1 ? 1 : WaitingFilesAllowed(workers)),
        slots_(window_) {}

  void Wake() {
    { std::lock_guard<std::mutex> lock(mutex_); }
    changed_.notify_all();
  }

  // The files a stop left as they were.
  size_t NotTakenUp() const { return names_.size() - taken_; }

  // Calls `done` with each committed file, in order.
  void Run(const Commit& commit, const std::function<void(FileJob*)>& done) {
    std::vector<std::unique_ptr<LargeStackThread>> threads;
    std::string error;
    for (int i = 0; i < workers_; ++i) {
      auto thread = std::make_unique<LargeStackThread>();
      if (!thread->Start([this] { Work(); }, &error)) break;
      threads.push_back(std::move(thread));
    }
    if (threads.empty()) {
      // No thread with a stack deep enough for DCMTK: no file can
      // be read.
      for (const CString& name : names_) {
        FileJob job;
        job.fileName = name;
        StartFile(folder_, &job);
        job.AddError("Couldn't load file: %s (%s)",
                     static_cast<LPCTSTR>(job.fullPath), error.c_str());
        done(&job);
      }
      taken_ = names_.size();
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
        // place. When that is little (the flushes cost next to nothing),
        // it waits a moment for more, so that flushes stay few.
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

 private:
  std::unique_ptr<FileJob>& Slot(size_t i) { return slots_[i % window_]; }

  // Where taking up files ends: at the last name, or where a stop came.
  size_t End() const { return stopped_ ? taken_ : names_.size(); }

  // Where the next group ends at the most.
  size_t GroupEnd() const {
    return std::min(
        {names_.size(), committed_ + window_, committed_ + kMaxGroupFiles});
  }

  // True when waiting would not make the next group any larger, or not
  // enough to be worth it: it is full, or every file that may be prepared
  // before it is committed is ready.
  bool GroupComplete() {
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

  // A worker: takes the next file while few enough wait, prepares it and
  // puts it in its slot.
  void Work() {
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
      job->fileName = names_[i];
      PrepareFile(folder_, dryRun_, job.get());
      {
        std::lock_guard<std::mutex> lock(mutex_);
        waitingBytes_ += job->bytes;
        Slot(i) = std::move(job);
      }
      changed_.notify_all();
    }
  }

  const CString folder_;
  const bool dryRun_;
  const std::atomic<bool>& stopped_;
  const std::vector<CString>& names_;
  const int workers_;
  const size_t window_;

  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::unique_ptr<FileJob>> slots_;     // by index modulo window
  std::vector<std::unique_ptr<FileJob>> finished_;  // committed, to let go
  size_t taken_ = 0;                                // files handed to workers
  size_t committed_ = 0;                            // files done with
  unsigned long long waitingBytes_ = 0;  // of the prepared, uncommitted copies
};

}  // namespace

void FolderRun::Add(const LogLine& line) {
  if (line.error) ++result_.errorLines;
  log_->Add(line);
}

void FolderRun::AddV(bool error, const char* format, va_list args) {
  LogLine line{error, CString()};
  line.message.FormatV(format, args);
  Add(line);
}

void FolderRun::Progress(const char* format, ...) {
  va_list args;
  va_start(args, format);
  AddV(false, format, args);
  va_end(args);
}

void FolderRun::Error(const char* format, ...) {
  va_list args;
  va_start(args, format);
  AddV(true, format, args);
  va_end(args);
}

bool FolderRun::List(std::vector<CString>* names) {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(folder_ + "/*.ima", &found);
  if (search == INVALID_HANDLE_VALUE) {
    if (GetLastError() == ERROR_FILE_NOT_FOUND) return true;
    ListFailed(strerror(errno));
    return false;
  }
  do {
    names->push_back(found.cFileName);
  } while (FindNextFileA(search, &found));
  FindClose(search);
  return true;
}

void FolderRun::ListFailed(const char* reason) {
  Error("Couldn't list folder: %s (%s)", static_cast<LPCTSTR>(folder_), reason);
}

int FolderRun::Workers(size_t files) const {
  int workers = options_.jobs;
  if (workers <= 0) {
    workers =
        static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  }
  return static_cast<int>(
      std::min<size_t>(workers, std::max<size_t>(files, 1)));
}

bool FolderRun::TakeFolder() {
  const CString recordPath = folder_ + "/anonymous_record.csv";
  std::string reason;
  RecordOpen opened = options_.dryRun
                          ? ProbeRecordFile(recordPath, folder_)
                          : OpenRecordFile(&record_, recordPath, &reason);
  switch (opened) {
    case RecordOpen::kOpened:
      // A dry run reads what earlier runs recorded, if anything.
      if (options_.dryRun) record_.Open(recordPath, CFile::modeRead);
      return true;
    case RecordOpen::kOpenFailed:
      Error(
          "Couldn't create/open anonymous_record.csv to store original "
          "patient names in.\nCheck folder permissions in: %s\nQuitting...",
          static_cast<LPCTSTR>(folder_));
      return false;
    case RecordOpen::kBusy:
      Error("Another run is using this folder: %s",
            static_cast<LPCTSTR>(folder_));
      return false;
    case RecordOpen::kFailed:
      Error("Couldn't write to anonymous_record.csv: %s", reason.c_str());
      return false;
  }
  return false;
}

void FolderRun::Stop() {
  stopped_ = true;
  std::lock_guard<std::mutex> lock(wakeMutex_);
  if (wake_) wake_();
}

RunResult FolderRun::Run() {
  result_ = RunResult();
  if (folder_.GetLength() < 2) {
    Error("No folder selected.");
    return result_;
  }
  // Opened before any copy is written, so that a flush of the whole file
  // system reports every write that failed since; and before the record,
  // so that a folder that cannot be read gains nothing. A missing folder
  // is told by the record, which cannot be created in it.
  FolderHandle folderHandle;
  std::string reason;
  if (folderHandle.Open(folder_.str(), &reason) == FolderHandle::kFailed) {
    ListFailed(reason.c_str());
    return result_;
  }
  if (!TakeFolder()) return result_;
  // The record's lock keeps other runs out: what the folder holds half done
  // was left by a run that was stopped short.
  EarlierRun earlier;
  if (record_.IsOpen()) {
    earlier = FinishEarlierRun(folder_, &record_, options_.dryRun);
    for (const LogLine& line : earlier.lines) Add(line);
  }
  if (!options_.dryRun) RemoveLeftoverTempFiles(folder_.str());
  std::vector<CString> names;
  if (!List(&names)) {
    CloseRecordFile(&record_, &reason);
    return result_;
  }
  names.erase(std::remove_if(names.begin(), names.end(),
                             [&](const CString& name) {
                               return earlier.deleted.count(name.str()) ||
                                      earlier.kept.count(name.str());
                             }),
              names.end());
  result_.started = true;
  if (!names.empty()) {
    // DCMTK's dictionary is loaded once, here, and only read by the
    // workers.
    dcmDataDict.isDictionaryLoaded();
    GroupCommit commit(folder_, &record_, &folderHandle);
    DryRunCommit dryCommit(folder_, earlier.deleted);
    Pipeline pipeline(folder_, names, Workers(names.size()), options_.dryRun,
                      stopped_);
    {
      std::lock_guard<std::mutex> lock(wakeMutex_);
      wake_ = [&pipeline] { pipeline.Wake(); };
    }
    pipeline.Run(
        [&](FileJob* const* jobs, size_t count) {
          return options_.dryRun
                     ? dryCommit.Commit(jobs, count, &result_.modified)
                     : commit.Commit(jobs, count, &result_.modified);
        },
        [&](FileJob* job) {
          for (const LogLine& line : job->lines) Add(line);
          if (job->failed) ++result_.failed;
        });
    {
      std::lock_guard<std::mutex> lock(wakeMutex_);
      wake_ = nullptr;
    }
    result_.notTakenUp = static_cast<int>(pipeline.NotTakenUp());
  }
  result_.failed += static_cast<int>(earlier.kept.size());

  if (stopped_) {
    result_.stopped = true;
    Progress("Stopped: %d file(s) not taken up.", result_.notTakenUp);
  }
  std::string closeError;
  const bool closed = CloseRecordFile(&record_, &closeError);
  if (options_.dryRun) {
    Progress("Dry run: %d file(s) would be modified.", result_.modified);
    return result_;
  }
  if (!closed) {
    Error("Couldn't close anonymous_record.csv: %s", closeError.c_str());
  }
  Progress("Done. %d file(s) modified.", result_.modified);
  return result_;
}
