#include "platform/wx/dialog_window.h"

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/dcclient.h>
#include <wx/iconbndl.h>
#include <wx/settings.h>
#include <wx/textctrl.h>
#include <wx/time.h>
#include <wx/utils.h>

#include <algorithm>
#include <cstring>

#include "platform/framework/cpaintdc.h"
#include "platform/wx/event_loop.h"
#include "platform/wx/icon_image.h"

namespace {

// How often a run redraws the log at most: a line that follows the last
// drawing sooner is drawn with the next one.
constexpr int kFrameMilliseconds = 100;

long FrameStyle(DWORD style) {
  long wx_style = 0;
  if (style & WS_CAPTION) wx_style |= wxCAPTION;
  if (style & WS_SYSMENU) wx_style |= wxSYSTEM_MENU | wxCLOSE_BOX;
  return wx_style;
}

class WindowPaintDevice : public PaintDevice {
 public:
  explicit WindowPaintDevice(wxWindow* window) : dc_(window) {
    dc_.SetBackground(window->GetBackgroundColour());
  }
  void EraseBackground() override { dc_.Clear(); }
  void DrawIcon(int x, int y, HICON icon) override {
    dc_.DrawIcon(ToolkitIcon(icon), x, y);
  }

 private:
  wxPaintDC dc_;
};

}  // namespace

long long (*DialogWindow::clock)() = [] {
  return static_cast<long long>(wxGetLocalTimeMillis().GetValue());
};

// clang-format off
wxBEGIN_EVENT_TABLE(DialogWindow, wxDialog)
  EVT_INIT_DIALOG(DialogWindow::OnInitDialogEvent)
  EVT_BUTTON(wxID_ANY, DialogWindow::OnButton)
  EVT_CLOSE(DialogWindow::OnClose)
  EVT_CHAR_HOOK(DialogWindow::OnCharHook)
  EVT_PAINT(DialogWindow::OnPaintEvent)
wxEND_EVENT_TABLE()
    // clang-format on

    DialogWindow::DialogWindow(CDialog* dialog,
                               const DialogTemplate& dialog_template,
                               wxWindow* parent)
    : dialog_(dialog) {
  Create(parent, wxID_ANY, DisplayString(dialog_template.caption),
         wxDefaultPosition, wxDefaultSize, FrameStyle(dialog_template.style));
  // The template's shell font stands for the desktop's dialog font; dialog
  // units are measured in it.
  SetFont(wxSystemSettings::GetFont(wxSYS_DEFAULT_GUI_FONT));
  for (int i = 0; i < dialog_template.itemCount; ++i) {
    AddControl(dialog_template.items[i]);
  }
  SetClientSize(
      ConvertDialogToPixels(wxSize(dialog_template.cx, dialog_template.cy)));
  Centre();
}

DialogWindow::~DialogWindow() = default;

void DialogWindow::AddControl(const DialogItemTemplate& item) {
  wxPoint position = ConvertDialogToPixels(wxPoint(item.x, item.y));
  wxSize size = ConvertDialogToPixels(wxSize(item.cx, item.cy));
  wxWindow* control = nullptr;
  if (std::strcmp(item.windowClass, "BUTTON") == 0 &&
      (item.style & 0xF) == BS_AUTOCHECKBOX) {
    control = new wxCheckBox(this, static_cast<int>(item.id),
                             DisplayString(item.text), position, size);
  } else if (std::strcmp(item.windowClass, "BUTTON") == 0) {
    auto* button = new wxButton(this, static_cast<int>(item.id),
                                DisplayString(item.text), position, size);
    if ((item.style & 0xF) == BS_DEFPUSHBUTTON) button->SetDefault();
    control = button;
  } else if (std::strcmp(item.windowClass, "EDIT") == 0) {
    long style = 0;
    if (item.style & ES_MULTILINE) {
      style |= wxTE_MULTILINE;
      // Lines scroll sideways rather than wrap.
      if (item.style & (ES_AUTOHSCROLL | WS_HSCROLL)) style |= wxTE_DONTWRAP;
    }
    if (!(item.style & WS_BORDER)) style |= wxBORDER_NONE;
    auto* text = new wxTextCtrl(this, static_cast<int>(item.id), wxString(),
                                position, size, style);
    boxes_[static_cast<int>(item.id)] = std::make_unique<TextBox>(text);
    if (item.text[0] != '\0')
      boxes_[static_cast<int>(item.id)]->Load(item.text);
    control = text;
  }
  if (control && !(item.style & WS_TABSTOP)) {
    control->DisableFocusFromKeyboard();
  }
}

int DialogWindow::RunModal() { return ShowModal(); }

TextBox* DialogWindow::Box(int id) {
  auto found = boxes_.find(id);
  return found == boxes_.end() ? nullptr : found->second.get();
}

void DialogWindow::ExchangeText(int id, CString& value, bool save) {
  TextBox* box = Box(id);
  if (!box) return;
  if (save) {
    value = CString(box->Save());
  } else if (box->Load(value.str()) &&
             std::find(changedBoxes_.begin(), changedBoxes_.end(), box) ==
                 changedBoxes_.end()) {
    changedBoxes_.push_back(box);
  }
}

void DialogWindow::ExchangeCheck(int id, int& value, bool save) {
  auto* box = dynamic_cast<wxCheckBox*>(FindWindow(id));
  if (!box) return;
  if (save) {
    value = box->GetValue() ? 1 : 0;
  } else {
    box->SetValue(value != 0);
  }
}

void DialogWindow::AppendText(int id, const CString& text) {
  if (TextBox* box = Box(id)) box->Append(text.str());
}

void DialogWindow::SetTitle(const CString& text) {
  wxDialog::SetTitle(DisplayString(text.str()));
}

void DialogWindow::SetItemText(int id, const CString& text) {
  if (wxWindow* control = FindWindow(id)) {
    control->SetLabel(DisplayString(text.str()));
  }
}

void DialogWindow::EnableItem(int id, bool enable) {
  if (wxWindow* control = FindWindow(id)) control->Enable(enable);
}

void DialogWindow::EndExchange(bool save) {
  if (!save) ShowChanges(false);
}

void DialogWindow::ShowChanges(bool at_once) {
  if (changedBoxes_.empty()) return;
  // Outside a handler the loop draws soon anyway.
  bool draw = handlerDepth_ > 0 && EventLoopRuns() && IsShownOnScreen();
  if (draw && !at_once && clock() - lastDrawn_ < kFrameMilliseconds) {
    return;
  }
  // A box the user scrolled away from its end is brought back there; that
  // takes the next frames, once the lines in between are laid out.
  std::vector<TextBox*> away;
  for (TextBox* box : changedBoxes_) {
    if (draw && box->control()->IsMultiLine() && !box->ShowsEnd()) {
      away.push_back(box);
    }
    box->Flush();
  }
  if (draw) {
    HandleWaitingEvents(false);
    for (int frame = 0; frame < 50 && !away.empty(); ++frame) {
      if (away.back()->ShowsEnd()) {
        away.pop_back();
        continue;
      }
      wxMilliSleep(2);
      HandleWaitingEvents(false);
    }
    lastDrawn_ = clock();
  }
  changedBoxes_.clear();
}

void DialogWindow::Finish(int result) {
  if (IsModal()) EndModal(result);
}

LRESULT DialogWindow::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SETICON: {
      int which = wParam == ICON_BIG ? 1 : 0;
      HICON previous = icons_[which];
      icons_[which] = reinterpret_cast<HICON>(lParam);
      wxIconBundle bundle;
      for (HICON icon : icons_) {
        wxIcon image = ToolkitIcon(icon);
        if (image.IsOk()) bundle.AddIcon(image);
      }
      SetIcons(bundle);
      return reinterpret_cast<LRESULT>(previous);
    }
    case WM_ICONERASEBKGND:
      if (PaintDevice* device =
              PaintDeviceFromHandle(reinterpret_cast<HDC>(wParam))) {
        device->EraseBackground();
        return 1;
      }
      return 0;
    default:
      return 0;
  }
}

bool DialogWindow::IsIconic() const { return IsIconized(); }

RECT DialogWindow::ClientRect() const {
  wxSize size = GetClientSize();
  return RECT{0, 0, size.x, size.y};
}

std::unique_ptr<PaintDevice> DialogWindow::BeginPaint() {
  return std::make_unique<WindowPaintDevice>(this);
}

bool DialogWindow::Dispatch(UINT message, UINT id) {
  ++handlerDepth_;
  bool handled = dialog_->Dispatch(message, id);
  if (handlerDepth_ == 1) ShowChanges(true);
  --handlerDepth_;
  return handled;
}

void DialogWindow::OnInitDialogEvent(wxInitDialogEvent&) {
  if (!dialog_->OnInitDialog()) return;
  // The focus goes to the first control in tab order.
  for (wxWindow* child : GetChildren()) {
    if (child->CanAcceptFocusFromKeyboard()) {
      child->SetFocus();
      break;
    }
  }
}

void DialogWindow::OnButton(wxCommandEvent& event) {
  Dispatch(WM_COMMAND, static_cast<UINT>(event.GetId()));
}

void DialogWindow::OnClose(wxCloseEvent&) { Dispatch(WM_COMMAND, IDCANCEL); }

void DialogWindow::OnCharHook(wxKeyEvent& event) {
  if (event.GetKeyCode() == WXK_ESCAPE) {
    Dispatch(WM_COMMAND, IDCANCEL);
    return;
  }
  event.Skip();
}

void DialogWindow::OnPaintEvent(wxPaintEvent&) {
  if (!Dispatch(WM_PAINT, 0)) wxPaintDC dc(this);
}
