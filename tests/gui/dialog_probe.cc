#include "tests/gui/dialog_probe.h"

#include <wx/app.h>
#include <wx/button.h>
#include <wx/image.h>
#include <wx/log.h>
#include <wx/textctrl.h>
#include <wx/uiaction.h>
#include <wx/utils.h>

#include <memory>

#include "platform/wx/dialog_window.h"

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
  wxTheApp->CallAfter([dialog, &script, live] {
    auto* window = dynamic_cast<DialogWindow*>(dialog->controls());
    if (!*live || !window) return;
    DialogProbe probe(window);
    for (int i = 0; i < 100 && !window->IsShownOnScreen(); ++i) {
      wxMilliSleep(10);
      probe.Settle();
    }
    window->Raise();
    probe.Settle();
    script(probe);
    if (dialog->controls()) dialog->EndDialog(IDCANCEL);
  });
  INT_PTR result = dialog->DoModal();
  *live = false;
  return result;
}

std::string DialogProbe::Title() const { return Utf8(window_->GetTitle()); }

bool DialogProbe::Resizable() const {
  return window_->HasFlag(wxRESIZE_BORDER);
}

std::vector<std::uint8_t> DialogProbe::PngPixels(const std::string& path) {
  if (!wxImage::FindHandler(wxBITMAP_TYPE_PNG)) {
    wxImage::AddHandler(new wxPNGHandler);
  }
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
  return text ? Utf8(text->GetValue()) : std::string();
}

bool DialogProbe::ShowsEnd(int id) const {
  TextBox* box = window_->Box(id);
  return box && box->ShowsEnd();
}

bool DialogProbe::IsOpen() const { return window_->IsModal(); }

void DialogProbe::Click(int id) {
  if (auto* button = Find<wxButton>(window_, id)) {
    wxCommandEvent click(wxEVT_BUTTON, id);
    click.SetEventObject(button);
    button->GetEventHandler()->ProcessEvent(click);
  }
  Settle();
}

void DialogProbe::Type(int id, const std::string& utf8) {
  if (auto* text = Find<wxTextCtrl>(window_, id)) {
    text->SetValue(wxString::FromUTF8(utf8.data(), utf8.size()));
    text->MarkDirty();
  }
  Settle();
}

void DialogProbe::PressEnter(int id) { PressKey(id, WXK_RETURN); }

void DialogProbe::PressEscape(int id) { PressKey(id, WXK_ESCAPE); }

void DialogProbe::PressKey(int id, int key) {
  if (auto* control = Find<wxWindow>(window_, id)) control->SetFocus();
  Settle();
  wxUIActionSimulator().Char(key);
  // A button pressed by a key shows itself pressed for a quarter of a
  // second before it reports the click.
  for (int i = 0; i < 50 && IsOpen(); ++i) {
    wxMilliSleep(10);
    Settle();
  }
}

void DialogProbe::ScrollToStart(int id) {
  if (auto* text = Find<wxTextCtrl>(window_, id)) text->ShowPosition(0);
  Settle();
}

void DialogProbe::CloseBox() {
  window_->Close();
  Settle();
}

void DialogProbe::Settle() {
  // A few frames' time: the window system lays out and scrolls per frame.
  for (int i = 0; i < 5; ++i) {
    wxTheApp->Yield(true);
    wxMilliSleep(10);
  }
  wxTheApp->Yield(true);
}
