#include "app/veilmark_app.h"

#include "platform/framework/win_window.h"
#include "ui/veilmark_dlg.h"

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
