// Threads with a stack far deeper than a thread's usual one, for work whose
// recursion depth follows its input.
#ifndef VEILMARK_PLATFORM_LARGE_STACK_H_
#define VEILMARK_PLATFORM_LARGE_STACK_H_

#include <pthread.h>

#include <cstddef>
#include <functional>
#include <string>

// Bytes of stack such a thread gets. Only the pages it touches take memory.
constexpr std::size_t kLargeStackBytes = std::size_t{1} << 30;

class LargeStackThread {
 public:
  LargeStackThread() = default;
  LargeStackThread(const LargeStackThread&) = delete;
  LargeStackThread& operator=(const LargeStackThread&) = delete;
  // Joins the thread if it still runs.
  ~LargeStackThread();

  // Starts `work` on a new thread with a stack of kLargeStackBytes. False,
  // with the reason in `error`, when no such thread can be had.
  bool Start(std::function<void()> work, std::string* error);
  // Waits for the work to end.
  void Join();

 private:
  static void* Main(void* self);

  std::function<void()> work_;
  pthread_t thread_{};
  void* stack_ = nullptr;
  bool running_ = false;
};

// Runs `work` to its end on a large stack and returns true; false with the
// reason in `error` when no such stack can be had.
bool RunOnLargeStack(std::function<void()> work, std::string* error);

#endif  // VEILMARK_PLATFORM_LARGE_STACK_H_
