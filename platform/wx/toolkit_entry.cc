#include "platform/wx/toolkit_entry.h"

#include <wx/app.h>
#include <wx/init.h>

bool StartToolkit(int argc, char** argv, const char* appName) {
  wxApp::SetInstance(new wxApp);
  if (!wxEntryStart(argc, argv)) return false;
  if (appName) wxTheApp->SetAppName(wxString::FromUTF8(appName));
  return true;
}

void EndToolkit() { wxEntryCleanup(); }
