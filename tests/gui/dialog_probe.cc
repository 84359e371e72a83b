#include "tests/gui/dialog_probe.h"

#include <gtest/gtest.h>
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/image.h>
#include <wx/log.h>
#include <wx/textctrl.h>
#include <wx/time.h>
#include <wx/uiaction.h>
#include <wx/utils.h>

#include <memory>

#include "platform/wx/dialog_window.h"
#include "tests/gui/toolkit_app.h"

namespace {

std::string Utf8(const wxString& text) {
  wxScopedCharBuffer buffer = text.utf8_str();
  return std::string(buffer.data(), buffer.length());
}

template <typename Control>
Control* Find(DialogWindow* window, int id) {
  wxWindow* control = window->FindWindow(id);
  return control && control->GetParent() == window
             ? dynamic_cast<Control*>(control)
             : nullptr;
}

}  // namespace

INT_PTR DialogProbe::Run(CDialog* dialog,
                         const std::function<void(DialogProbe&)>& script) {
  // The call stays queued if the dialog never shows; it must not reach the
  // script then.
  auto live = std::make_shared<bool>(true);
  CallAfterEvents([dialog, &script, live] {
    auto* window = dynamic_cast<DialogWindow*>(dialog->controls());
    if (!*live || !window) return;
    DialogProbe probe(window);
    const bool shown = WaitFor([&] { return window->IsShownOnScreen(); });
    if (!shown) {
      ADD_FAILURE() << "the dialog never showed on screen";
    } else {
      window->Raise();
      probe.Settle();
      script(probe);
    }
    if (dialog->controls() && (!shown || probe.IsOpen())) {
      dialog->EndDialog(IDCANCEL);
    }
  });
  INT_PTR result = dialog->DoModal();
  *live = false;
  return result;
}

std::string DialogProbe::Title() const { return Utf8(window_->GetTitle()); }

bool DialogProbe::Enabled(int id) const {
  auto* control = Find<wxWindow>(window_, id);
  return control && control->IsEnabled();
}

std::string DialogProbe::Label(int id) const {
  auto* button = Find<wxButton>(window_, id);
  return button ? Utf8(button->GetLabel()) : std::string();
}

bool DialogProbe::Resizable() const {
  return window_->HasFlag(wxRESIZE_BORDER);
}

std::vector<std::uint8_t> DialogProbe::PngPixels(const std::string& path) {
#if wxUSE_LIBPNG
  if (!wxImage::FindHandler(wxBITMAP_TYPE_PNG)) {
    wxImage::AddHandler(new wxPNGHandler);
  }
#endif
  wxLogNull quiet;
  wxImage image;
  if (!image.LoadFile(path, wxBITMAP_TYPE_PNG) || !image.HasAlpha()) return {};
  std::vector<std::uint8_t> pixels;
  const size_t count =
      static_cast<size_t>(image.GetWidth()) * image.GetHeight();
  for (size_t i = 0; i < count; ++i) {
    pixels.insert(pixels.end(), image.GetData() + 3 * i,
                  image.GetData() + 3 * i + 3);
    pixels.push_back(image.GetAlpha()[i]);
  }
  return pixels;
}

std::vector<int> DialogProbe::IconWidths() const {
  std::vector<int> widths;
  const wxIconBundle& icons = window_->GetIcons();
  for (size_t i = 0; i < icons.GetIconCount(); ++i) {
    if (icons.GetIconByIndex(i).IsOk()) {
      widths.push_back(icons.GetIconByIndex(i).GetWidth());
    }
  }
  return widths;
}

int DialogProbe::FocusedId() const {
  for (wxWindow* focus = wxWindow::FindFocus(); focus;
       focus = focus->GetParent()) {
    if (focus->GetParent() == window_) return focus->GetId();
  }
  return 0;
}

std::string DialogProbe::Text(int id) const {
  auto* text = Find<wxTextCtrl>(window_, id);
  return text ? Utf8(ControlValue(*text)) : std::string();
}

bool DialogProbe::ShowsEnd(int id) const {
  TextBox* box = window_->Box(id);
  return box && box->ShowsEnd();
}

// A dialog that ended stays modal until its loop gets back control on
// Windows; it is hidden at once.
bool DialogProbe::IsOpen() const {
  return window_->IsModal() && window_->IsShown();
}

void DialogProbe::Click(int id) {
  if (auto* box = Find<wxCheckBox>(window_, id)) {
    box->SetValue(!box->GetValue());
    wxCommandEvent click(wxEVT_CHECKBOX, id);
    click.SetEventObject(box);
    box->GetEventHandler()->ProcessEvent(click);
  } else if (auto* button = Find<wxButton>(window_, id)) {
    wxCommandEvent click(wxEVT_BUTTON, id);
    click.SetEventObject(button);
    button->GetEventHandler()->ProcessEvent(click);
  }
  Settle();
}

bool DialogProbe::Checked(int id) const {
  auto* box = Find<wxCheckBox>(window_, id);
  return box && box->GetValue();
}

void DialogProbe::Type(int id, const std::string& utf8) {
  if (auto* text = Find<wxTextCtrl>(window_, id)) {
    text->SetValue(wxString::FromUTF8(utf8.data(), utf8.size()));
    text->MarkDirty();
  }
  Settle();
}

void DialogProbe::PressEnter(int id, const std::function<bool()>& until) {
  PressKey(id, WXK_RETURN, until);
}

void DialogProbe::PressEscape(int id, const std::function<bool()>& until) {
  PressKey(id, WXK_ESCAPE, until);
}

void DialogProbe::PressKey(int id, int key,
                           const std::function<bool()>& until) {
  if (auto* control = Find<wxWindow>(window_, id)) control->SetFocus();
  WaitFor([&] { return FocusedId() == id; });
  wxUIActionSimulator().Char(key);
  // A button pressed by a key shows itself pressed for a while before it
  // reports the click.
  EXPECT_TRUE(WaitFor([&] { return !IsOpen() || (until && until()); }));
}

void DialogProbe::ScrollToStart(int id) {
  if (auto* text = Find<wxTextCtrl>(window_, id)) text->ShowPosition(0);
  WaitFor([&] { return !ShowsEnd(id); });
}

void DialogProbe::CloseBox() {
  window_->Close();
  Settle();
}

void DialogProbe::Settle() { YieldToToolkit(); }

bool DialogProbe::WaitFor(const std::function<bool()>& condition) {
  const wxLongLong end = wxGetLocalTimeMillis() + 5000;
  while (!condition()) {
    if (wxGetLocalTimeMillis() > end) return false;
    YieldToToolkit();
    wxMilliSleep(1);
  }
  return true;
}
