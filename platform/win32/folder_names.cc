#include "platform/system/folder_names.h"

#include "platform/win32/system.h"

// Through the wide API (FindFirstFileExW over "FOLDER\*"), the names turned
// into UTF-8.
FolderRead ReadFolderNames(const std::string& folder,
                           std::vector<std::string>* names) {
  return win32::ListFolder(folder, names);
}
