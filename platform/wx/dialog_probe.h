// For tests: what a dialog on screen shows and what its user does to it,
// without the toolkit's names.
#ifndef VEILMARK_PLATFORM_WX_DIALOG_PROBE_H_
#define VEILMARK_PLATFORM_WX_DIALOG_PROBE_H_

#include <functional>
#include <string>
#include <vector>

#include "platform/cdialog.h"

class DialogWindow;

struct ControlView {
  int id;
  std::string kind;  // "button", "edit" or "multi-line edit"
  std::string text;  // as shown, in UTF-8
  bool isDefault;
  bool tabStop;
  int x, y, width, height;  // pixels in the client area
};

class DialogProbe {
 public:
  // Shows `dialog` modally and runs `script` once it is on screen; a dialog
  // the script leaves open is then cancelled. Returns what DoModal returned.
  static INT_PTR Run(CDialog* dialog,
                     const std::function<void(DialogProbe&)>& script);

  std::string Title() const;
  bool Resizable() const;
  bool HasMinimizeBox() const;
  bool HasMaximizeBox() const;
  int ClientWidth() const;
  int ClientHeight() const;
  // Dialog units in pixels, in the dialog's font.
  int PixelsX(int dialog_units) const;
  int PixelsY(int dialog_units) const;
  // The controls in tab order.
  std::vector<ControlView> Controls() const;
  // The control with the keyboard focus; 0 for none.
  int FocusedId() const;
  std::string Text(int id) const;
  // True when the last line of the box is in view.
  bool ShowsEnd(int id) const;
  bool IsOpen() const;

  // What the user does: click a button; replace a box's text by typing;
  // press Enter or Escape with the focus on a control; close the window.
  void Click(int id);
  void Type(int id, const std::string& utf8);
  void PressEnter(int id);
  void PressEscape(int id);
  void CloseBox();
  // Scrolls a box back to its first line.
  void ScrollToStart(int id);
  // Lets the window system handle what is pending.
  void Settle();

 private:
  explicit DialogProbe(DialogWindow* window) : window_(window) {}
  void PressKey(int id, int key);

  DialogWindow* window_;
};

#endif  // VEILMARK_PLATFORM_WX_DIALOG_PROBE_H_
