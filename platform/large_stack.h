// Running work on a stack far deeper than a thread's usual one, for code
// whose recursion depth follows its input.
#ifndef VEILMARK_PLATFORM_LARGE_STACK_H_
#define VEILMARK_PLATFORM_LARGE_STACK_H_

#include <cstddef>
#include <functional>
#include <string>

// Bytes of stack the work gets. Only the pages it touches take memory.
constexpr std::size_t kLargeStackBytes = std::size_t{1} << 30;

// Runs `work` to its end on a stack of kLargeStackBytes, in a thread kept
// for the purpose, and returns true; or returns false with the reason in
// `error` when no such stack can be had. The caller waits: nothing runs
// concurrently.
bool RunOnLargeStack(const std::function<void()>& work, std::string* error);

// Bytes of stack the calling thread may grow to, as far as the system says.
std::size_t CallingStackBytes();

#endif  // VEILMARK_PLATFORM_LARGE_STACK_H_
