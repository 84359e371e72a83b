// The window system on wxWidgets: modal dialogs, the folder chooser and the
// screen's measures.
#ifndef VEILMARK_PLATFORM_WX_WX_WINDOW_SYSTEM_H_
#define VEILMARK_PLATFORM_WX_WX_WINDOW_SYSTEM_H_

#include "platform/framework/window_system.h"

class WxWindowSystem : public WindowSystem {
 public:
  INT_PTR RunModalDialog(CDialog* dialog,
                         const DialogTemplate& dialog_template) override;
  bool ChooseFolder(HWND owner, const std::string& title,
                    std::string* path) override;
  int GetSystemMetrics(int index) const override;
  void PumpWaitingMessages() override;
};

#endif  // VEILMARK_PLATFORM_WX_WX_WINDOW_SYSTEM_H_
