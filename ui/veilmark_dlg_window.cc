// The window side of the main dialog: its message map, start-up, painting
// and the "Select Folder..." button.
#include "anonymize/veilmark_dlg.h"
#include "platform/cpaintdc.h"
#include "platform/win_window.h"

BEGIN_MESSAGE_MAP(CVeilmarkDlg, CDialog)
ON_WM_PAINT()
ON_BN_CLICKED(IDC_SELECT_FOLDER, &CVeilmarkDlg::OnSelectFolder)
ON_BN_CLICKED(IDC_ANONYMIZE, &CVeilmarkDlg::OnAnonymize)
END_MESSAGE_MAP()

BOOL CVeilmarkDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
  SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));
  return TRUE;
}

void CVeilmarkDlg::OnPaint() {
  if (IsIconic()) {
    CPaintDC dc(this);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.GetSafeHdc()),
                0);
    int cxIcon = GetSystemMetrics(SM_CXICON);
    int cyIcon = GetSystemMetrics(SM_CYICON);
    CRect rect;
    GetClientRect(&rect);
    int x = (rect.Width() - cxIcon + 1) / 2;
    int y = (rect.Height() - cyIcon + 1) / 2;
    dc.DrawIcon(x, y, m_hIcon);
  } else {
    CDialog::OnPaint();
  }
}

void CVeilmarkDlg::OnSelectFolder() {
  m_folder = BrowseForFolder();
  UpdateData(FALSE);
}
