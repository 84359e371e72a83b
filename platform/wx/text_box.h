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

class TextBox {
 public:
  explicit TextBox(wxTextCtrl* control) : control_(control) {}

  // Shows `bytes`. When the box, unedited, already holds their start, only
  // the rest is added, so that a growing log costs the same for each line;
  // the rest waits for Flush. A box of several lines then shows its end.
  // True when the box changed. `stamp` is the text's CString stamp: the
  // same stamp as last time spares comparing the whole text again.
  bool Load(const std::string& bytes, unsigned long long stamp = 0);
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
  std::string shown_;   // the bytes the box shows, unless edited since
  size_t flushed_ = 0;  // how many of them the control holds
  unsigned long long stamp_ = 0;  // of the text last loaded, if it had one
};

#endif  // VEILMARK_PLATFORM_WX_TEXT_BOX_H_
