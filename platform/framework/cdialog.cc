#include "platform/framework/cdialog.h"

#include "platform/framework/resources.h"
#include "platform/framework/window_system.h"

BEGIN_MESSAGE_MAP(CDialog, CCmdTarget)
ON_COMMAND(IDOK, &CDialog::OnOK)
ON_COMMAND(IDCANCEL, &CDialog::OnCancel)
END_MESSAGE_MAP()

INT_PTR CDialog::DoModal() {
  WindowSystem* system = CurrentWindowSystem();
  const DialogTemplate* dialog_template =
      FindDialogTemplate(AfxGetResourceHandle(), m_nIDTemplate);
  if (!system || !dialog_template) return -1;
  return system->RunModalDialog(this, *dialog_template);
}

void CDialog::EndDialog(int result) {
  if (controls_) controls_->Finish(result);
}

BOOL CDialog::UpdateData(BOOL save_and_validate) {
  CDataExchange dx(this, save_and_validate);
  DoDataExchange(&dx);
  if (controls_) controls_->EndExchange(save_and_validate != FALSE);
  return TRUE;
}

void CDialog::AppendToDlgItem(int id, const CString& text) {
  if (controls_) controls_->AppendText(id, text);
}

BOOL CDialog::OnInitDialog() {
  UpdateData(FALSE);
  return TRUE;
}

void CDialog::OnOK() {
  if (!UpdateData(TRUE)) return;
  EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

LRESULT CDialog::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  return controls_ ? controls_->SendMessage(message, wParam, lParam) : 0;
}

void CDialog::SetWindowText(LPCTSTR text) {
  if (controls_) controls_->SetTitle(text);
}

void CDialog::SetDlgItemText(int id, LPCTSTR text) {
  if (controls_) controls_->SetItemText(id, text);
}

void CDialog::EnableDlgItem(int id, BOOL enable) {
  if (controls_) controls_->EnableItem(id, enable != FALSE);
}

BOOL CDialog::IsIconic() const {
  return controls_ && controls_->IsIconic() ? TRUE : FALSE;
}

void CDialog::GetClientRect(LPRECT rect) const {
  *rect = controls_ ? controls_->ClientRect() : RECT{0, 0, 0, 0};
}

void CDialog::OnPaint() {
  // Painting nothing of its own, it takes and gives back the window's
  // device, which marks the window painted.
  if (controls_) controls_->BeginPaint();
}

void DDX_Text(CDataExchange* pDX, int id, CString& value) {
  if (DialogControls* controls = pDX->m_pDlgWnd->controls()) {
    controls->ExchangeText(id, value, pDX->m_bSaveAndValidate != FALSE);
  }
}

void DDX_Check(CDataExchange* pDX, int id, int& value) {
  if (DialogControls* controls = pDX->m_pDlgWnd->controls()) {
    controls->ExchangeCheck(id, value, pDX->m_bSaveAndValidate != FALSE);
  }
}
