#include "platform/framework/win_window.h"

#include "platform/framework/window_system.h"

int GetSystemMetrics(int index) {
  const WindowSystem* system = CurrentWindowSystem();
  return system ? system->GetSystemMetrics(index) : 0;
}

void PumpWaitingMessages() {
  if (WindowSystem* system = CurrentWindowSystem()) {
    system->PumpWaitingMessages();
  }
}

void InitCommonControls() {}
