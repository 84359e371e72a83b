// A run log that hands its lines, and how far the run is, from the thread
// that runs the folder to the thread that shows them.
#ifndef VEILMARK_UI_LOG_QUEUE_H_
#define VEILMARK_UI_LOG_QUEUE_H_

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <vector>

#include "pipeline/run_log.h"

class LogQueue : public RunLog {
 public:
  void Add(const LogLine& line) override;
  void Count(size_t done, size_t total) override;
  // No more lines will come.
  void Close();
  // Waits at most `wait` for lines and moves all there are into `lines`,
  // and the run's last count into `done` and `total`; false once the queue
  // is closed and empty.
  bool Take(std::vector<LogLine>* lines, size_t* done, size_t* total,
            std::chrono::milliseconds wait);

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<LogLine> lines_;
  size_t done_ = 0, total_ = 0;
  bool closed_ = false;
};

#endif  // VEILMARK_UI_LOG_QUEUE_H_
