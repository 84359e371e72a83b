#include "ui/log_queue.h"

void LogQueue::Add(const LogLine& line) {
  bool wasEmpty;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    wasEmpty = lines_.empty();
    lines_.push_back(line);
  }
  // The taker is either busy with earlier lines or waits for these.
  if (wasEmpty) changed_.notify_one();
}

void LogQueue::Count(size_t done, size_t total) {
  std::lock_guard<std::mutex> lock(mutex_);
  done_ = done;
  total_ = total;
}

void LogQueue::Close() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    closed_ = true;
  }
  changed_.notify_one();
}

bool LogQueue::Take(std::vector<LogLine>* lines, size_t* done, size_t* total,
                    std::chrono::milliseconds wait) {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait_for(lock, wait, [&] { return closed_ || !lines_.empty(); });
  lines->clear();
  lines->swap(lines_);
  *done = done_;
  *total = total_;
  return !closed_ || !lines->empty();
}
