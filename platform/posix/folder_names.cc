#include "platform/folder_names.h"

#include <dirent.h>
#include <errno.h>

namespace {

// Says why the folder could not be read, keeping errno.
bool Unreadable(DWORD* error) {
  const int reason = errno;
  *error = reason == ENOENT || reason == ENOTDIR ? ERROR_PATH_NOT_FOUND
           : reason == EACCES || reason == EPERM ? ERROR_ACCESS_DENIED
                                                 : ERROR_READ_FAULT;
  errno = reason;
  return false;
}

}  // namespace

bool ReadFolderNames(const std::string& folder, std::vector<std::string>* names,
                     DWORD* error) {
  DIR* dir = opendir(folder.c_str());
  if (!dir) return Unreadable(error);
  for (;;) {
    errno = 0;
    struct dirent* entry = readdir(dir);
    if (!entry) break;
    names->push_back(entry->d_name);
  }
  if (errno != 0) {
    const int reason = errno;
    closedir(dir);
    errno = reason;
    return Unreadable(error);
  }
  closedir(dir);
  return true;
}
