#include "platform/framework/window_system.h"

namespace {
WindowSystem* current = nullptr;
}

WindowSystem* CurrentWindowSystem() { return current; }

WindowSystem* SetWindowSystem(WindowSystem* system) {
  WindowSystem* previous = current;
  current = system;
  return previous;
}
