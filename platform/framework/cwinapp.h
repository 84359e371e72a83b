// CWinApp: the application object. The program defines one global instance;
// the framework's entry (AfxWinMain, provided with the window system) starts
// the window system, calls InitInstance and ends the program.
#ifndef VEILMARK_PLATFORM_FRAMEWORK_CWINAPP_H_
#define VEILMARK_PLATFORM_FRAMEWORK_CWINAPP_H_

#include "platform/framework/message_map.h"
#include "platform/framework/win_types.h"

class CDialog;

class CWinApp : public CCmdTarget {
 public:
  // No name: the framework takes the name of the executable.
  explicit CWinApp(LPCTSTR app_name = nullptr);
  CWinApp(const CWinApp&) = delete;
  CWinApp& operator=(const CWinApp&) = delete;
  ~CWinApp() override;

  // FALSE ends the program once it returns, without a message loop.
  virtual BOOL InitInstance();
  // The program's exit status.
  virtual int ExitInstance();

  // The main window, as an application sets it; nothing here reads it,
  // but the application's start-up is written against it.
  CDialog* m_pMainWnd = nullptr;
  LPCTSTR m_pszAppName;
};

// The application object, or null.
CWinApp* AfxGetApp();

// Nothing to prepare: the dialogs hold no embedded controls.
void AfxEnableControlContainer();

// The framework's entry: runs the application object.
int AfxWinMain(int argc, char** argv);

#endif  // VEILMARK_PLATFORM_FRAMEWORK_CWINAPP_H_
