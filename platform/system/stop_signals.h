// The signals that ask a program to stop, SIGINT, SIGTERM and SIGHUP, turned
// into a request it carries out at a safe point: the first one calls a
// function on a thread of its own; a second ends the process at once.
#ifndef VEILMARK_PLATFORM_SYSTEM_STOP_SIGNALS_H_
#define VEILMARK_PLATFORM_SYSTEM_STOP_SIGNALS_H_

#include <atomic>
#include <functional>

class StopSignals {
 public:
  // Blocks the signals in the calling thread and in every thread it starts
  // from now on, so create it before any other thread. `stop` is called
  // once, with the first signal's number; a second signal ends the process
  // with status 128 + its number.
  explicit StopSignals(std::function<void(int)> stop);
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;

  // The first signal's number, or 0.
  int Received() const { return received_; }

 private:
  std::function<void(int)> stop_;
  std::atomic<int> received_{0};
};

#endif  // VEILMARK_PLATFORM_SYSTEM_STOP_SIGNALS_H_
