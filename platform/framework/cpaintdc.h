// CPaintDC: the device context of one WM_PAINT, taken from the dialog's
// window while the message is handled.
#ifndef VEILMARK_PLATFORM_FRAMEWORK_CPAINTDC_H_
#define VEILMARK_PLATFORM_FRAMEWORK_CPAINTDC_H_

#include <memory>

#include "platform/framework/dialog_controls.h"
#include "platform/framework/win_window.h"

class CDialog;

class CPaintDC {
 public:
  explicit CPaintDC(CDialog* window);
  CPaintDC(const CPaintDC&) = delete;
  CPaintDC& operator=(const CPaintDC&) = delete;
  ~CPaintDC();

  // The device as a handle for messages such as WM_ICONERASEBKGND; null
  // when the dialog is not on screen.
  HDC GetSafeHdc() const { return reinterpret_cast<HDC>(device_.get()); }
  BOOL DrawIcon(int x, int y, HICON icon);

 private:
  std::unique_ptr<PaintDevice> device_;
};

// The device behind a handle from GetSafeHdc.
inline PaintDevice* PaintDeviceFromHandle(HDC dc) {
  return reinterpret_cast<PaintDevice*>(dc);
}

#endif  // VEILMARK_PLATFORM_FRAMEWORK_CPAINTDC_H_
