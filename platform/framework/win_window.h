// Window handles, messages and the few Win32 window calls the dialog makes.
#ifndef VEILMARK_PLATFORM_FRAMEWORK_WIN_WINDOW_H_
#define VEILMARK_PLATFORM_FRAMEWORK_WIN_WINDOW_H_

#include <cstdint>

#include "platform/framework/win_types.h"

typedef void* HICON;
struct HWND__;
typedef HWND__* HWND;
struct HDC__;
typedef HDC__* HDC;
typedef unsigned short WORD;
typedef std::uintptr_t WPARAM;
typedef std::intptr_t LPARAM;
typedef std::intptr_t LRESULT;
typedef std::intptr_t INT_PTR;

struct RECT {
  long left;
  long top;
  long right;
  long bottom;
};
typedef RECT* LPRECT;

class CRect : public RECT {
 public:
  CRect() : RECT{0, 0, 0, 0} {}
  int Width() const { return static_cast<int>(right - left); }
  int Height() const { return static_cast<int>(bottom - top); }
};

#define WM_PAINT 0x000F
#define WM_ICONERASEBKGND 0x0027
#define WM_SETICON 0x0080
#define WM_COMMAND 0x0111
#define ICON_SMALL 0
#define ICON_BIG 1
#define SM_CXICON 11
#define SM_CYICON 12

#define IDOK 1
#define IDCANCEL 2

// The size of an icon and other measures of the screen; 0 without a window
// system.
int GetSystemMetrics(int index);

// Handles the messages waiting for the program's windows, the user's clicks
// and keys among them, as a PeekMessage loop does, so that a handler that
// runs long stays answerable; nothing without a window system.
void PumpWaitingMessages();

// Nothing to prepare: every control the dialogs use is always available.
void InitCommonControls();

#endif  // VEILMARK_PLATFORM_FRAMEWORK_WIN_WINDOW_H_
