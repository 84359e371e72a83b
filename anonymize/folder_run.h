// A run over one folder: every "*.ima" file in it anonymized, recorded and
// its original deleted, with the log lines of the run in the order of the
// listing; or, as an undo, every line of its record taken back, from the
// last to the first. Files are prepared by several threads at once and put
// in place by one, in order and in groups, so that the log, the record and
// the names are the same whatever the number of threads.
#ifndef VEILMARK_ANONYMIZE_FOLDER_RUN_H_
#define VEILMARK_ANONYMIZE_FOLDER_RUN_H_

#include <atomic>
#include <cstdarg>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "anonymize/prepared_file.h"
#include "anonymize/record_file.h"
#include "anonymize/run_log.h"
#include "platform/framework/cfile.h"
#include "platform/framework/cstring.h"
#include "platform/system/durable_file.h"

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
};

class FolderRun {
 public:
  // `folder` is used as typed, without change.
  FolderRun(const CString& folder, RunLog* log, const RunOptions& options)
      : folder_(folder), log_(log), options_(options) {}

  RunResult Run();
  // Asks the run, from any thread, to take up no new file: the files under
  // way are put in place, the record is closed, and the log says how many
  // files were not taken up before its closing line.
  void Stop();

 private:
  // Locks the record, or in a dry run makes sure it could be locked, and
  // reads its lines; false after the error line when the run cannot start.
  bool TakeFolder(std::vector<RecordEntry>* entries);
  void Progress(const char* format, ...) __attribute__((format(printf, 2, 3)));
  void Error(const char* format, ...) __attribute__((format(printf, 2, 3)));
  void Add(const LogLine& line);
  void AddV(bool error, const char* format, va_list args)
      __attribute__((format(printf, 3, 0)));
  // The names of the folder's "*.ima" entries, in the order they are
  // taken up; false after the error line when the folder cannot be read.
  bool List(std::vector<CString>* names);
  void ListFailed(const char* reason);
  int Workers(size_t files) const;
  // Runs `pipeline`, which Stop() can then reach: `start` gives file i's
  // job its name and first line (false: an error line instead, and nothing
  // to prepare), `prepare` takes it further on a worker.
  void RunPipeline(Pipeline* pipeline,
                   const std::function<bool(size_t, FileJob*)>& start,
                   const std::function<void(size_t, FileJob*)>& prepare,
                   const std::function<size_t(FileJob* const*, size_t)>& commit,
                   const std::function<void(FileJob*)>& done);

  // What comes between taking the folder and closing the record.
  void Anonymize(FolderHandle* folderHandle,
                 const std::vector<RecordEntry>& entries);
  void Restore(FolderHandle* folderHandle,
               const std::vector<RecordEntry>& entries);

  CString folder_;
  RunLog* log_;
  RunOptions options_;
  CFile record_;
  RunResult result_;
  size_t through_ = 0, total_ = 0;  // files through, of all to take up
  std::atomic<bool> stopped_{false};
  std::mutex wakeMutex_;
  std::function<void()> wake_;  // while files are under way: tells them
};

#endif  // VEILMARK_ANONYMIZE_FOLDER_RUN_H_
