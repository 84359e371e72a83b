// What a dialog on screen shows and what its user does to it, for the
// window tests.
#ifndef VEILMARK_TESTS_GUI_DIALOG_PROBE_H_
#define VEILMARK_TESTS_GUI_DIALOG_PROBE_H_

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/framework/cdialog.h"

class DialogWindow;

class DialogProbe {
 public:
  // Shows `dialog` modally and runs `script` once it is on screen (a window
  // that never shows fails the test instead); a dialog the script leaves
  // open is then cancelled. Returns what DoModal returned.
  static INT_PTR Run(CDialog* dialog,
                     const std::function<void(DialogProbe&)>& script);
  // The pixels of the PNG file at `path` as wxWidgets reads them, four
  // bytes each (red, green, blue, alpha); empty when it cannot be read.
  static std::vector<std::uint8_t> PngPixels(const std::string& path);

  std::string Title() const;
  // A button's label; whether a control takes input.
  std::string Label(int id) const;
  bool Enabled(int id) const;
  bool Resizable() const;
  // The widths of the window's icons that can be drawn.
  std::vector<int> IconWidths() const;
  // The control with the keyboard focus; 0 for none.
  int FocusedId() const;
  // Whether a check box is checked.
  bool Checked(int id) const;
  // A box's text, in UTF-8.
  std::string Text(int id) const;
  // True when the last line of the box is in view.
  bool ShowsEnd(int id) const;
  bool IsOpen() const;

  // What the user does: click a button or a check box; replace a box's text by
  // typing; press Enter or Escape with the focus on a control, until the dialog
  // closes or `until` holds; close the window; scroll a box back to its
  // first line.
  void Click(int id);
  void Type(int id, const std::string& utf8);
  void PressEnter(int id, const std::function<bool()>& until = nullptr);
  void PressEscape(int id, const std::function<bool()>& until = nullptr);
  void CloseBox();
  void ScrollToStart(int id);
  // Lets the window system handle what is pending.
  void Settle();
  // Lets it work until `condition` holds, for at most five seconds; false
  // when it never did.
  static bool WaitFor(const std::function<bool()>& condition);

 private:
  explicit DialogProbe(DialogWindow* window) : window_(window) {}
  void PressKey(int id, int key, const std::function<bool()>& until);

  DialogWindow* window_;
};

#endif  // VEILMARK_TESTS_GUI_DIALOG_PROBE_H_
