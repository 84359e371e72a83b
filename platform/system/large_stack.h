// Threads with a stack far deeper than a thread's usual one, for work whose
// recursion depth follows its input.
#ifndef VEILMARK_PLATFORM_SYSTEM_LARGE_STACK_H_
#define VEILMARK_PLATFORM_SYSTEM_LARGE_STACK_H_

#include <cstddef>
#include <functional>
#include <memory>
#include <string>

// Bytes of stack such a thread gets. Only the pages it touches take memory.
constexpr std::size_t kLargeStackBytes = std::size_t{1} << 30;

// One piece of work on a thread with a large stack. The threads are kept
// for the life of the process and reused: setting one up costs more than
// a small file takes (under a memory checker, far more).
class LargeStackThread {
 public:
  LargeStackThread();
  LargeStackThread(const LargeStackThread&) = delete;
  LargeStackThread& operator=(const LargeStackThread&) = delete;
  // Waits for the work if it still runs.
  ~LargeStackThread();

  // Starts `work`. False, with the reason in `error`, when no such thread
  // can be had.
  bool Start(std::function<void()> work, std::string* error);
  // Waits for the work to end.
  void Join();

  struct Work;

 private:
  std::shared_ptr<Work> work_;
};

// Runs `run(argument)` on a new thread of its own with a stack of
// kLargeStackBytes, left to end by itself; the threads above are made so.
// False, with the reason in `error`, when no such thread can be had.
bool StartLargeStackThread(void (*run)(void*), void* argument,
                           std::string* error);

#endif  // VEILMARK_PLATFORM_SYSTEM_LARGE_STACK_H_
