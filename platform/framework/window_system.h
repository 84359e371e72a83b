// The window system that puts dialogs on screen. The windowed program
// installs one when it starts; without one (the command-line tool, or a
// machine without a display) DoModal fails with -1 and the folder browser
// returns nothing.
#ifndef VEILMARK_PLATFORM_FRAMEWORK_WINDOW_SYSTEM_H_
#define VEILMARK_PLATFORM_FRAMEWORK_WINDOW_SYSTEM_H_

#include <string>

#include "platform/framework/win_window.h"

class CDialog;
struct DialogTemplate;

class WindowSystem {
 public:
  virtual ~WindowSystem() = default;
  // Builds the window of `dialog` from `dialog_template`, shows it modally
  // and returns the result the dialog ended with, or -1.
  virtual INT_PTR RunModalDialog(CDialog* dialog,
                                 const DialogTemplate& dialog_template) = 0;
  // Shows the folder chooser, owned by `owner` (none: null), with `title`.
  // True with the chosen folder's path, false when the user cancelled.
  virtual bool ChooseFolder(HWND owner, const std::string& title,
                            std::string* path) = 0;
  virtual int GetSystemMetrics(int index) const = 0;
  // Handles what waits for the program's windows, the user's clicks and
  // keys included, and returns.
  virtual void PumpWaitingMessages() = 0;
};

// The installed window system, or null.
WindowSystem* CurrentWindowSystem();
// Installs `system` (null: none) and returns the one it replaces.
WindowSystem* SetWindowSystem(WindowSystem* system);

#endif  // VEILMARK_PLATFORM_FRAMEWORK_WINDOW_SYSTEM_H_
