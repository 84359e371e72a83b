#include "platform/wx/wx_window_system.h"

#include <wx/dirdlg.h>
#include <wx/settings.h>

#include "platform/framework/cdialog.h"
#include "platform/wx/dialog_window.h"
#include "platform/wx/event_loop.h"

INT_PTR WxWindowSystem::RunModalDialog(CDialog* dialog,
                                       const DialogTemplate& dialog_template) {
  DialogWindow window(dialog, dialog_template, nullptr);
  dialog->set_controls(&window);
  int result = window.RunModal();
  dialog->set_controls(nullptr);
  return result;
}

bool WxWindowSystem::ChooseFolder(HWND owner, const std::string& title,
                                  std::string* path) {
  auto* controls = reinterpret_cast<DialogControls*>(owner);
  wxWindow* parent = dynamic_cast<wxWindow*>(controls);
  wxDirDialog chooser(parent, DisplayString(title), wxString(),
                      wxDD_DEFAULT_STYLE);
  if (chooser.ShowModal() != wxID_OK) return false;
    // The path as the program's paths are: the file system's bytes here,
    // UTF-8 on Windows, whose file names are UTF-16.
#ifdef __WXMSW__
  *path = chooser.GetPath().utf8_string();
#else
  *path = std::string(chooser.GetPath().fn_str());
#endif
  return true;
}

int WxWindowSystem::GetSystemMetrics(int index) const {
  wxSystemMetric metric;
  switch (index) {
    case SM_CXICON:
      metric = wxSYS_ICON_X;
      break;
    case SM_CYICON:
      metric = wxSYS_ICON_Y;
      break;
    default:
      return 0;
  }
  int value = wxSystemSettings::GetMetric(metric);
  return value > 0 ? value : 32;
}

void WxWindowSystem::PumpWaitingMessages() { HandleWaitingEvents(true); }
