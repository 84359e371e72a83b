// A run log that hands its lines from the thread that runs the folder to
// the thread that shows them.
#ifndef VEILMARK_UI_LOG_QUEUE_H_
#define VEILMARK_UI_LOG_QUEUE_H_

#include <condition_variable>
#include <mutex>
#include <vector>

#include "anonymize/run_log.h"

class LogQueue : public RunLog {
 public:
  void Add(const LogLine& line) override;
  // No more lines will come.
  void Close();
  // Waits for lines and moves all there are into `lines`; false once the
  // queue is closed and empty.
  bool Take(std::vector<LogLine>* lines);

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<LogLine> lines_;
  bool closed_ = false;
};

#endif  // VEILMARK_UI_LOG_QUEUE_H_
