// wxWidgets' running event loop, reached from code that must not see the
// system headers the loop's own header brings in on Windows (they declare
// the same Win32 names as the program's stand-ins).
#ifndef VEILMARK_PLATFORM_WX_EVENT_LOOP_H_
#define VEILMARK_PLATFORM_WX_EVENT_LOOP_H_

// Whether an event loop runs.
bool EventLoopRuns();

// Handles the events that wait: those that draw the windows, and with
// `userInput` the user's clicks and keys too. Nothing without a loop.
void HandleWaitingEvents(bool userInput);

#endif  // VEILMARK_PLATFORM_WX_EVENT_LOOP_H_
