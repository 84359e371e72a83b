#include "platform/cdialog.h"

BOOL CDialog::UpdateData(BOOL save_and_validate) {
  CDataExchange dx(this, save_and_validate);
  DoDataExchange(&dx);
  return TRUE;
}

void DDX_Text(CDataExchange* pDX, int id, CString& value) {
  if (DialogControls* controls = pDX->m_pDlgWnd->controls()) {
    controls->ExchangeText(id, value, pDX->m_bSaveAndValidate != FALSE);
  }
}
