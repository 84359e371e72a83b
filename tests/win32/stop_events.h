// A stop on Windows, where no process stops as a whole on a signal: the
// stopped process holds its thread at the call where it stops, and says so
// through a named event; the test lets it go on through another. Each side
// creates or opens both, whichever comes first.
#ifndef VEILMARK_TESTS_WIN32_STOP_EVENTS_H_
#define VEILMARK_TESTS_WIN32_STOP_EVENTS_H_

#include <string>

#include "platform/win32/windows_api.h"

class StopEvents {
 public:
  explicit StopEvents(DWORD process)
      : stopped_(Event(L"stopped", process)), goOn_(Event(L"go-on", process)) {}
  StopEvents(const StopEvents&) = delete;
  StopEvents& operator=(const StopEvents&) = delete;
  ~StopEvents() {
    if (stopped_) CloseHandle(stopped_);
    if (goOn_) CloseHandle(goOn_);
  }

  // In the process that stops: says so, and waits to go on (a minute at
  // most, so that a test that never lets it go on cannot hang it).
  void StopHere() {
    if (!stopped_ || !goOn_) return;
    SetEvent(stopped_);
    WaitForSingleObject(goOn_, 60000);
  }
  // In the test: whether the process stopped within `milliseconds`.
  bool WaitStopped(DWORD milliseconds) {
    return stopped_ && WaitForSingleObject(stopped_, milliseconds) == 0;
  }
  void GoOn() {
    if (goOn_) SetEvent(goOn_);
  }

 private:
  static HANDLE Event(const wchar_t* what, DWORD process) {
    const std::wstring name = std::wstring(L"Local\\veilmark-faults-") + what +
                              L"-" + std::to_wstring(process);
    return CreateEventW(nullptr, TRUE, FALSE, name.c_str());
  }

  HANDLE stopped_;
  HANDLE goOn_;
};

#endif  // VEILMARK_TESTS_WIN32_STOP_EVENTS_H_
