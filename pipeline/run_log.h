// Where a run's log lines go: progress lines and error lines, in the order
// a run takes up its files.
#ifndef VEILMARK_PIPELINE_RUN_LOG_H_
#define VEILMARK_PIPELINE_RUN_LOG_H_

#include <cstddef>

#include "platform/framework/cstring.h"

struct LogLine {
  bool error;       // an error line: shown after "ERROR:"
  CString message;  // as formatted, without a line break of its own
};

class RunLog {
 public:
  virtual ~RunLog() = default;
  // Called on the thread that runs the folder, one line at a time.
  virtual void Add(const LogLine& line) = 0;
  // How far the run is: `done` of its `total` files are through. Called on
  // the same thread, as files get through.
  virtual void Count(size_t /*done*/, size_t /*total*/) {}
  // What DCMTK said of a file, "Warning in file: PATH (...)", in the order
  // of the log lines and on the same thread. Not a line of the log: a
  // program that prints the log prints these on standard error.
  virtual void Toolkit(const CString& /*line*/) {}
};

#endif  // VEILMARK_PIPELINE_RUN_LOG_H_
