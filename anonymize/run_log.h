// Where a run's log lines go: progress lines and error lines, in the order
// a run takes up its files.
#ifndef VEILMARK_ANONYMIZE_RUN_LOG_H_
#define VEILMARK_ANONYMIZE_RUN_LOG_H_

#include "platform/cstring.h"

struct LogLine {
  bool error;       // an error line: shown after "ERROR:"
  CString message;  // as formatted, without a line break of its own
};

class RunLog {
 public:
  virtual ~RunLog() = default;
  // Called on the thread that runs the folder, one line at a time.
  virtual void Add(const LogLine& line) = 0;
};

#endif  // VEILMARK_ANONYMIZE_RUN_LOG_H_
