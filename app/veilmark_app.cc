#include "app/veilmark_app.h"

#include "anonymize/veilmark_dlg.h"
#include "platform/win_window.h"

BEGIN_MESSAGE_MAP(CVeilmarkApp, CWinApp)
ON_COMMAND(ID_HELP, &CWinApp::OnHelp)
END_MESSAGE_MAP()

CVeilmarkApp theApp;

BOOL CVeilmarkApp::InitInstance() {
  InitCommonControls();
  CWinApp::InitInstance();
  AfxEnableControlContainer();
  SetRegistryKey("Local AppWizard-Generated Applications");

  CVeilmarkDlg dlg;
  m_pMainWnd = &dlg;
  dlg.DoModal();
  return FALSE;
}
