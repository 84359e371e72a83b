// What the window tests ask of wxWidgets' application object, reached from
// code that must not see the system headers its own header brings in on
// Windows (they declare the Win32 names the program's stand-ins have).
#ifndef VEILMARK_TESTS_GUI_TOOLKIT_APP_H_
#define VEILMARK_TESTS_GUI_TOOLKIT_APP_H_

#include <functional>

// Calls `call` once the events now waiting are handled, from the loop.
void CallAfterEvents(std::function<void()> call);
// Handles every event that waits.
void YieldToToolkit();
// Whether a window can be shown: a display to show it on.
bool HasDisplay();

#endif  // VEILMARK_TESTS_GUI_TOOLKIT_APP_H_
