// What a run and an undo over one folder share: the folder as typed, where
// the log lines go and how many there were, the record held open and
// locked, the stop, and the pipeline that takes the files through. Files
// are prepared by several threads at once and put in place by one, in
// order and in groups, so that the log, the record and the names are the
// same whatever the number of threads.
#ifndef VEILMARK_PIPELINE_FOLDER_WORK_H_
#define VEILMARK_PIPELINE_FOLDER_WORK_H_

#include <atomic>
#include <cstdarg>
#include <functional>
#include <memory>
#include <mutex>

#include "pipeline/file_job.h"
#include "pipeline/run_log.h"
#include "platform/framework/cfile.h"
#include "platform/framework/cstring.h"
#include "profile/folder_key.h"
#include "profile/profile_options.h"

class Pipeline;

struct RunOptions {
  // Files prepared at once; 0: as many as there are processors. 1 takes
  // one file after the other, each put in place before the next is read.
  int jobs = 0;
  // Goes through the folder as a run would, loading each file and working
  // out its new name, and changes nothing: logs "  -> NEWNAME" after each
  // file a run would anonymize, and closes with what it would have done.
  bool dryRun = false;
  // Undoes the runs its record tells of: each anonymized file is written
  // anew with its original patient name under its original file name, the
  // anonymized file deleted and its line taken out of the record.
  bool restore = false;
  // The DICOM Basic Profile and its options, when on.
  ProfileOptions profile;
};

struct RunResult {
  bool started = false;  // the folder was taken and listed (a dry run: could
                         // be)
  int modified = 0;      // files whose copy was saved and recorded (an
                         // undo: put back)
  int failed = 0;        // files that got an error line
  int errorLines = 0;    // in the whole run
  bool stopped = false;  // Stop() was called before the run ended
  int notTakenUp = 0;    // files a stop left as they were
  int leftAlone = 0;     // copies an earlier run made, not taken up again
  int mayShowText = 0;   // files whose pixels may show text (the profile)
};

class FolderWork {
 public:
  // `folder` is used as typed, without change.
  FolderWork(const CString& folder, RunLog* log, const RunOptions& options)
      : folder_(folder), log_(log), options_(options) {}

  // Asks the work, from any thread, to take up no new file: the files under
  // way are put in place, the record is closed, and the log says how many
  // files were not taken up before its closing line.
  void Stop();

  const CString& folder() const { return folder_; }
  const RunOptions& options() const { return options_; }
  RunResult& result() { return result_; }
  CFile* record() { return &record_; }
  const std::atomic<bool>& stopped() const { return stopped_; }
  // The folder's key, when it is anonymized with the profile.
  const FolderKey* key() const { return key_.get(); }

  void Progress(const char* format, ...) __attribute__((format(printf, 2, 3)));
  void Error(const char* format, ...) __attribute__((format(printf, 2, 3)));
  void Add(const LogLine& line);

  // Threads to prepare `files` files on.
  int Workers(size_t files) const;
  // `total` files are to be taken up, none of them through yet.
  void StartCount(size_t total);
  // Runs `pipeline`, which Stop() can then reach: `start` gives file i's
  // job its name and first line (false: an error line instead, and nothing
  // to prepare), `prepare` takes it further on a worker.
  void RunPipeline(Pipeline* pipeline,
                   const std::function<bool(size_t, FileJob*)>& start,
                   const std::function<void(size_t, FileJob*)>& prepare,
                   const std::function<size_t(FileJob* const*, size_t)>& commit,
                   const std::function<void(FileJob*)>& done);

 protected:
  void AddV(bool error, const char* format, va_list args)
      __attribute__((format(printf, 3, 0)));

  CString folder_;
  RunLog* log_;
  RunOptions options_;
  CFile record_;
  std::unique_ptr<FolderKey> key_;
  RunResult result_;
  size_t through_ = 0, total_ = 0;  // files through, of all to take up
  std::atomic<bool> stopped_{false};
  std::mutex wakeMutex_;
  std::function<void()> wake_;  // while files are under way: tells them
};

#endif  // VEILMARK_PIPELINE_FOLDER_WORK_H_
