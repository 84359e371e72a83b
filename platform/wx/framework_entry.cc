// The framework's entry on wxWidgets: starts wxWidgets, installs the
// window system and runs the application object.
#include <strings.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/framework/cwinapp.h"
#include "platform/framework/resources.h"
#include "platform/wx/toolkit_entry.h"
#include "platform/wx/wx_window_system.h"

int AfxWinMain(int argc, char** argv) {
  CWinApp* app = AfxGetApp();
  if (!app) {
    std::fputs("no application object\n", stderr);
    return 1;
  }
  // Without a name of its own the application takes the executable's.
  static std::string executable_name;
  if (!app->m_pszAppName && argc > 0) {
    executable_name = argv[0];
    size_t slash = executable_name.find_last_of("/\\");
    if (slash != std::string::npos) executable_name.erase(0, slash + 1);
    // Windows names a program with its extension, in any letter case.
    const size_t dot =
        executable_name.size() - std::min<size_t>(4, executable_name.size());
    if (strcasecmp(executable_name.c_str() + dot, ".exe") == 0) {
      executable_name.erase(dot);
    }
    app->m_pszAppName = executable_name.c_str();
  }

  // "--version" alone prints the resources' product version, without a
  // display.
  const ResourceModule* resources =
      ResourceModuleFromHandle(AfxGetResourceHandle());
  if (argc == 2 && std::strcmp(argv[1], "--version") == 0 && resources &&
      resources->productVersion && app->m_pszAppName) {
    std::printf("%s %s\n", app->m_pszAppName, resources->productVersion);
    return 0;
  }

  if (!StartToolkit(argc, argv, app->m_pszAppName)) return 1;

  WxWindowSystem window_system;
  SetWindowSystem(&window_system);
  // The program's whole life is its modal dialog, shown within
  // InitInstance: there is no message loop to run after it.
  app->InitInstance();
  int status = app->ExitInstance();
  SetWindowSystem(nullptr);
  EndToolkit();
  return status;
}
