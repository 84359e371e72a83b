#include "app/veilmark_app.h"

#include "ui/veilmark_dlg.h"
#include "platform/win_window.h"

BEGIN_MESSAGE_MAP(CVeilmarkApp, CWinApp)
END_MESSAGE_MAP()

CVeilmarkApp theApp;

BOOL CVeilmarkApp::InitInstance() {
  InitCommonControls();
  CWinApp::InitInstance();
  AfxEnableControlContainer();

  CVeilmarkDlg dlg;
  m_pMainWnd = &dlg;
  dlg.DoModal();
  return FALSE;
}
