#include "platform/framework/cpaintdc.h"

#include "platform/framework/cdialog.h"

CPaintDC::CPaintDC(CDialog* window) {
  if (DialogControls* controls = window->controls()) {
    device_ = controls->BeginPaint();
  }
}

CPaintDC::~CPaintDC() = default;

BOOL CPaintDC::DrawIcon(int x, int y, HICON icon) {
  if (!device_ || !icon) return FALSE;
  device_->DrawIcon(x, y, icon);
  return TRUE;
}
