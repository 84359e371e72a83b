// The seam between the dialogs and the window system that shows them: the
// window of a dialog on screen, and what it paints with. The window system
// implements both; the dialogs and their painting only call them.
#ifndef VEILMARK_PLATFORM_FRAMEWORK_DIALOG_CONTROLS_H_
#define VEILMARK_PLATFORM_FRAMEWORK_DIALOG_CONTROLS_H_

#include <memory>

#include "platform/framework/cstring.h"
#include "platform/framework/win_window.h"

// What the window side paints with.
class PaintDevice {
 public:
  virtual ~PaintDevice() = default;
  virtual void EraseBackground() = 0;
  virtual void DrawIcon(int x, int y, HICON icon) = 0;
};

// The window of a dialog on screen: its controls and the window calls. The
// window system provides one while the dialog is shown.
class DialogControls {
 public:
  virtual ~DialogControls() = default;
  // Copies the text of control `id` into `value` (save) or the other way.
  virtual void ExchangeText(int id, CString& value, bool save) = 0;
  // The same for the check box `id`: 1 checked, 0 not.
  virtual void ExchangeCheck(int id, int& value, bool save) = 0;
  // Adds `text` at the end of control `id`, whose field has just gained
  // it: the exchange that follows has nothing more to show of that field.
  virtual void AppendText(int id, const CString& text) = 0;
  // Called once a whole exchange is done.
  virtual void EndExchange(bool /*save*/) {}
  // The window's title; the text of control `id`; whether control `id`
  // takes input.
  virtual void SetTitle(const CString& text) = 0;
  virtual void SetItemText(int id, const CString& text) = 0;
  virtual void EnableItem(int id, bool enable) = 0;
  // Ends the modal loop; DoModal returns `result`.
  virtual void Finish(int result) = 0;
  virtual LRESULT SendMessage(UINT message, WPARAM wParam, LPARAM lParam) = 0;
  virtual bool IsIconic() const = 0;
  virtual RECT ClientRect() const = 0;
  // A device to paint the client area with, while a WM_PAINT is handled.
  virtual std::unique_ptr<PaintDevice> BeginPaint() = 0;
};

#endif  // VEILMARK_PLATFORM_FRAMEWORK_DIALOG_CONTROLS_H_
