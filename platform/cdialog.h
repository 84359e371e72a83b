// CDialog with dialog data exchange. Without a window (before DoModal, or in
// a program that has none) UpdateData still calls DoDataExchange, and
// DDX_Text leaves the value as it is.
#ifndef VEILMARK_PLATFORM_CDIALOG_H_
#define VEILMARK_PLATFORM_CDIALOG_H_

#include "platform/cstring.h"
#include "platform/win_types.h"

class CDialog;

// The controls a dialog is shown with. The window side of the platform
// provides one while the dialog is on screen.
class DialogControls {
 public:
  virtual ~DialogControls() = default;
  // Copies the text of control `id` into `value` (save) or the other way.
  virtual void ExchangeText(int id, CString& value, bool save) = 0;
};

class CDataExchange {
 public:
  CDataExchange(CDialog* dialog, BOOL save_and_validate)
      : m_bSaveAndValidate(save_and_validate), m_pDlgWnd(dialog) {}
  BOOL m_bSaveAndValidate;
  CDialog* m_pDlgWnd;
};

class CDialog {
 public:
  explicit CDialog(UINT template_id, CDialog* parent = nullptr)
      : m_nIDTemplate(template_id), m_pParentWnd(parent) {}
  CDialog(const CDialog&) = delete;
  CDialog& operator=(const CDialog&) = delete;
  virtual ~CDialog() = default;

  // TRUE: controls to fields; FALSE: fields to controls.
  BOOL UpdateData(BOOL save_and_validate = TRUE);

  DialogControls* controls() const { return controls_; }
  void set_controls(DialogControls* controls) { controls_ = controls; }

 protected:
  virtual void DoDataExchange(CDataExchange* /*pDX*/) {}

  UINT m_nIDTemplate;
  CDialog* m_pParentWnd;

 private:
  DialogControls* controls_ = nullptr;
};

void DDX_Text(CDataExchange* pDX, int id, CString& value);

#endif  // VEILMARK_PLATFORM_CDIALOG_H_
