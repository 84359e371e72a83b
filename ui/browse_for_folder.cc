// The folder picker: the shell's folder browser, owned by the dialog.
#include <cstring>

#include "platform/framework/shell_browse.h"
#include "ui/veilmark_dlg.h"

CString CVeilmarkDlg::BrowseForFolder() {
  char displayName[MAX_PATH] = "";
  char path[MAX_PATH] = "";
  const char* title = "Select a DICOM folder...";

  IMalloc* shellMalloc = nullptr;
  if (SUCCEEDED(SHGetMalloc(&shellMalloc))) {
    BROWSEINFOA info;
    std::memset(&info, 0, sizeof info);
    info.hwndOwner = GetSafeHwnd();
    info.pidlRoot = nullptr;
    info.pszDisplayName = displayName;
    info.lpszTitle = title;
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_DONTGOBELOWDOMAIN |
                   BIF_STATUSTEXT | BIF_NEWDIALOGSTYLE;
    info.lpfn = nullptr;
    info.lParam = 0;
    LPITEMIDLIST chosen = SHBrowseForFolderA(&info);
    if (chosen) {
      SHGetPathFromIDListA(chosen, path);
      shellMalloc->Free(chosen);
    }
    shellMalloc->Release();
  }
  return CString(path);
}
