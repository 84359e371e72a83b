// Starting and ending wxWidgets, from code that must not see the system
// headers wxWidgets' application header brings in on Windows (they declare
// the same Win32 names as the program's stand-ins).
#ifndef VEILMARK_PLATFORM_WX_TOOLKIT_ENTRY_H_
#define VEILMARK_PLATFORM_WX_TOOLKIT_ENTRY_H_

// Starts wxWidgets with the program's arguments and its name (none: null);
// false when it cannot start (no display, as a rule), having said why.
bool StartToolkit(int argc, char** argv, const char* appName);
void EndToolkit();

#endif  // VEILMARK_PLATFORM_WX_TOOLKIT_ENTRY_H_
