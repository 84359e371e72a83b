#include "platform/system/stop_signals.h"

#include "platform/win32/windows_api.h"

// Windows asks a console program to stop through a handler of console
// events, each called on a thread of its own: Ctrl-C and Ctrl-Break stand
// for SIGINT (2) and SIGQUIT (3), a closed console window for SIGHUP (1),
// the user logging off or the system shutting down for SIGTERM (15).

namespace {

// What the StopSignals does with a signal. Never destroyed: the handler
// may be called until the process ends.
std::function<void(int)>* take = nullptr;

int SignalOf(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
      return 2;
    case CTRL_BREAK_EVENT:
      return 3;
    case CTRL_CLOSE_EVENT:
      return 1;
    default:
      return 15;
  }
}

BOOL WINAPI OnConsoleEvent(DWORD event) {
  (*take)(SignalOf(event));
  if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) return TRUE;
  // For the others Windows ends the process as soon as the handler returns,
  // and a few seconds later whatever it does: the run has until then to
  // reach its safe point, and the process ends when main returns.
  Sleep(INFINITE);
  return TRUE;
}

}  // namespace

StopSignals::StopSignals(std::function<void(int)> stop)
    : stop_(std::move(stop)) {
  take = new std::function<void(int)>([this](int signal) {
    if (received_.exchange(signal) != 0) {
      TerminateProcess(GetCurrentProcess(), 128 + signal);
    }
    stop_(signal);
  });
  // Ctrl-C may come ignored from the parent; it stops a run all the same.
  SetConsoleCtrlHandler(nullptr, FALSE);
  SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}
