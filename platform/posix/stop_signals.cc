#include "platform/system/stop_signals.h"

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <thread>

StopSignals::StopSignals(std::function<void(int)> stop)
    : stop_(std::move(stop)) {
  sigset_t signals;
  sigemptyset(&signals);
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&signals, signal);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  // The watcher lives as long as the process.
  std::thread([this, signals] {
    for (;;) {
      int signal = 0;
      if (sigwait(&signals, &signal) != 0) continue;
      if (received_.exchange(signal) != 0) _exit(128 + signal);
      stop_(signal);
    }
  }).detach();
}
