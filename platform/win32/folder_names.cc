#include "platform/folder_names.h"

#include "platform/win32/system.h"

// Through the wide API (FindFirstFileExW over "FOLDER\*"), the names turned
// into UTF-8. This file never sees <windows.h>: find_file.h declares the
// directory search under the system's own names.
bool ReadFolderNames(const std::string& folder, std::vector<std::string>* names,
                     DWORD* error) {
  return win32::ListFolder(folder, names, error);
}
