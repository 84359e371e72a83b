#include "platform/system/large_stack.h"

#include <process.h>

#include "platform/win32/system.h"
#include "platform/win32/windows_api.h"

namespace {

struct Start {
  void (*run)(void*);
  void* argument;
};

unsigned __stdcall Run(void* start) {
  const Start what = *static_cast<Start*>(start);
  delete static_cast<Start*>(start);
  what.run(what.argument);
  return 0;
}

}  // namespace

bool StartLargeStackThread(void (*run)(void*), void* argument,
                           std::string* error) {
  // The size is reserved address space only: pages are committed as the
  // stack grows into them, above a guard page that Windows moves along.
  auto* start = new Start{run, argument};
  const uintptr_t thread =
      _beginthreadex(nullptr, static_cast<unsigned>(kLargeStackBytes), Run,
                     start, STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
  if (thread == 0) {
    delete start;
    *error = win32::ErrorText(GetLastError());
    return false;
  }
  CloseHandle(reinterpret_cast<HANDLE>(thread));
  return true;
}
