// A run over one folder: every "*.ima" file in it anonymized, recorded and
// its original deleted, with the log lines of the run in the order of the
// listing. Files are prepared by several threads at once and put in place
// by one, in listing order and in groups, so that the log, the record and
// the new names are the same whatever the number of threads.
#ifndef VEILMARK_ANONYMIZE_FOLDER_RUN_H_
#define VEILMARK_ANONYMIZE_FOLDER_RUN_H_

#include <atomic>
#include <cstdarg>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "anonymize/run_log.h"
#include "platform/cfile.h"
#include "platform/cstring.h"

struct RunOptions {
  // Files prepared at once; 0: as many as there are processors. 1 takes
  // one file after the other, each put in place before the next is read.
  int jobs = 0;
  // Goes through the folder as a run would, loading each file and working
  // out its new name, and changes nothing: logs "  -> NEWNAME" after each
  // file a run would anonymize, and closes with what it would have done.
  bool dryRun = false;
};

struct RunResult {
  bool started = false;  // the folder was taken and listed (a dry run: could
                         // be)
  int modified = 0;      // files whose copy was saved and recorded
  int failed = 0;        // files that got an error line
  int errorLines = 0;    // in the whole run
  bool stopped = false;  // Stop() was called before the run ended
  int notTakenUp = 0;    // files a stop left as they were
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
  // Opens the record, or in a dry run makes sure it could be opened; false
  // after the error line when the run cannot start.
  bool TakeFolder();
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

  CString folder_;
  RunLog* log_;
  RunOptions options_;
  CFile record_;
  RunResult result_;
  std::atomic<bool> stopped_{false};
  std::mutex wakeMutex_;
  std::function<void()> wake_;  // while files are under way: tells them
};

#endif  // VEILMARK_ANONYMIZE_FOLDER_RUN_H_
