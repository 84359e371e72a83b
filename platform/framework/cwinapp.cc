#include "platform/framework/cwinapp.h"

namespace {
CWinApp* application = nullptr;
}

CWinApp::CWinApp(LPCTSTR app_name) : m_pszAppName(app_name) {
  application = this;
}

CWinApp::~CWinApp() {
  if (application == this) application = nullptr;
}

BOOL CWinApp::InitInstance() { return TRUE; }

int CWinApp::ExitInstance() { return 0; }

CWinApp* AfxGetApp() { return application; }

void AfxEnableControlContainer() {}
