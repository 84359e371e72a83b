#include "platform/wx/text_box.h"

#include "platform/framework/display_text.h"

namespace {

// Through UTF-8, which wxString takes on every system, whatever its wchar_t.
wxString ToWxString(const std::u32string& text) {
  return wxString::FromUTF8(BytesAfterEdit(std::string_view(), text));
}

std::u32string FromWxString(const wxString& text) {
  const wxScopedCharBuffer utf8 = text.utf8_str();
  return DecodeForDisplay(std::string_view(utf8.data(), utf8.length()));
}

}  // namespace

wxString DisplayString(std::string_view bytes) {
  return ToWxString(DecodeForDisplay(bytes));
}

wxString ControlValue(const wxTextCtrl& control) {
  wxString value = control.GetValue();
#ifdef __WXMSW__
  if (control.IsMultiLine()) value.Replace("\n", "\r\n");
#endif
  return value;
}

void TextBox::Append(const std::string& text) {
  if (control_->IsModified() || !EndsOnCharacterBoundary(shown_)) return;
  shown_ += text;
  appended_ = true;
}

bool TextBox::Load(const std::string& bytes) {
  const bool appended = appended_;
  appended_ = false;
  const bool edited = control_->IsModified();
  if (!edited && appended) return true;
  if (!edited && bytes == shown_) return false;
  ShowWhole(bytes);
  return true;
}

void TextBox::Flush() {
  if (flushed_ < shown_.size()) {
    // Adding text marks a Windows box as edited; what the program adds is
    // no edit of the user's.
    const bool edited = control_->IsModified();
    control_->AppendText(
        DisplayString(std::string_view(shown_).substr(flushed_)));
    if (!edited) control_->DiscardEdits();
    flushed_ = shown_.size();
  }
  if (control_->IsMultiLine()) {
    control_->ShowPosition(control_->GetLastPosition());
  }
}

std::string TextBox::Save() {
  Flush();
  if (!control_->IsModified()) return shown_;
  std::u32string edited = FromWxString(ControlValue(*control_));
  std::string bytes = BytesAfterEdit(shown_, edited);
  // An edit can join bytes left and right of it into one character; the box
  // then shows the bytes as they now read.
  if (DecodeForDisplay(bytes) != edited) {
    ShowWhole(bytes);
  } else {
    shown_ = bytes;
    flushed_ = bytes.size();
    control_->DiscardEdits();
  }
  return bytes;
}

bool TextBox::ShowsEnd() const {
  wxPoint end = control_->PositionToCoords(control_->GetLastPosition());
  return end != wxDefaultPosition && end.y >= 0 &&
         end.y < control_->GetClientSize().y;
}

void TextBox::ShowWhole(const std::string& bytes) {
  control_->ChangeValue(DisplayString(bytes));
  control_->DiscardEdits();
  shown_ = bytes;
  flushed_ = bytes.size();
}
