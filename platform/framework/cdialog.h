// CDialog: a modal dialog built from a dialog template, with dialog data
// exchange and a message map. Without a window (before DoModal, or in a
// program that has none) UpdateData still calls DoDataExchange, DDX_Text
// leaves the value as it is, and the window calls do nothing.
#ifndef VEILMARK_PLATFORM_FRAMEWORK_CDIALOG_H_
#define VEILMARK_PLATFORM_FRAMEWORK_CDIALOG_H_

#include <memory>

#include "platform/framework/cstring.h"
#include "platform/framework/dialog_controls.h"
#include "platform/framework/message_map.h"
#include "platform/framework/win_types.h"
#include "platform/framework/win_window.h"

class CDialog;

class CDataExchange {
 public:
  CDataExchange(CDialog* dialog, BOOL save_and_validate)
      : m_bSaveAndValidate(save_and_validate), m_pDlgWnd(dialog) {}
  BOOL m_bSaveAndValidate;
  CDialog* m_pDlgWnd;
};

class CDialog : public CCmdTarget {
 public:
  explicit CDialog(UINT template_id) : m_nIDTemplate(template_id) {}
  CDialog(const CDialog&) = delete;
  CDialog& operator=(const CDialog&) = delete;
  ~CDialog() override = default;

  // Shows the dialog built from its template, modally; returns the result
  // given to EndDialog, or -1 when the window could not be made.
  INT_PTR DoModal();
  void EndDialog(int result);

  // TRUE: controls to fields; FALSE: fields to controls.
  BOOL UpdateData(BOOL save_and_validate = TRUE);
  // Adds `text` at the end of the box `id`, whose field has just gained it,
  // so that the next exchange need not show the whole field again.
  void AppendToDlgItem(int id, const CString& text);

  // Called when the window and its controls exist, before it is shown: shows
  // the fields. TRUE lets the focus go to the first control in tab order.
  virtual BOOL OnInitDialog();
  // "OK" (IDOK): takes the controls' data and ends with IDOK.
  virtual void OnOK();
  // Escape and the close box (IDCANCEL): ends with IDCANCEL.
  virtual void OnCancel();

  // The window calls; null or nothing while the dialog is not on screen.
  void SetWindowText(LPCTSTR text);
  void SetDlgItemText(int id, LPCTSTR text);
  // Stands for GetDlgItem(id)->EnableWindow(enable).
  void EnableDlgItem(int id, BOOL enable);
  HWND GetSafeHwnd() const { return reinterpret_cast<HWND>(controls_); }
  LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
  BOOL IsIconic() const;
  void GetClientRect(LPRECT rect) const;

  DialogControls* controls() const { return controls_; }
  void set_controls(DialogControls* controls) { controls_ = controls; }

 protected:
  virtual void DoDataExchange(CDataExchange* /*pDX*/) {}
  // wxWidgets' own painting.
  void OnPaint();

  UINT m_nIDTemplate;

 private:
  DialogControls* controls_ = nullptr;

  DECLARE_MESSAGE_MAP()
};

void DDX_Text(CDataExchange* pDX, int id, CString& value);
void DDX_Check(CDataExchange* pDX, int id, int& value);

#endif  // VEILMARK_PLATFORM_FRAMEWORK_CDIALOG_H_
