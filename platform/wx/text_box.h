// An edit box that shows bytes (see platform/display_text.h) and gives back
// the very bytes it was given unless the user edited it.
#ifndef VEILMARK_PLATFORM_WX_TEXT_BOX_H_
#define VEILMARK_PLATFORM_WX_TEXT_BOX_H_

#include <wx/string.h>
#include <wx/textctrl.h>

#include <string>
#include <string_view>

// The characters a control shows for `bytes`.
wxString DisplayString(std::string_view bytes);

// The text `control` holds, its line breaks as the program writes them: a
// box of several lines on Windows gives them as LF alone, and holds CR LF.
wxString ControlValue(const wxTextCtrl& control);

class TextBox {
 public:
  explicit TextBox(wxTextCtrl* control) : control_(control) {}

  // Adds `text` at the end of the box, as its field gained it, unless the
  // user edited the box: a log grows a line at a time, and each line costs
  // the same.
  void Append(const std::string& text);
  // Shows `bytes`, the box's field: right after an Append, the box shows it
  // already. What is added waits for Flush; a box of several lines then
  // shows its end. True when the box changed.
  bool Load(const std::string& bytes);
  // Puts the text added since the last flush into the control.
  void Flush();
  // The box's bytes: those last shown, with the user's edits if any.
  std::string Save();
  // True when the box's last line is in view.
  bool ShowsEnd() const;

  wxTextCtrl* control() const { return control_; }

 private:
  void ShowWhole(const std::string& bytes);

  wxTextCtrl* control_;
  std::string shown_;      // the bytes the box shows, unless edited since
  size_t flushed_ = 0;     // how many of them the control holds
  bool appended_ = false;  // Append added the field's last line
};

#endif  // VEILMARK_PLATFORM_WX_TEXT_BOX_H_
