#include "platform/system/folder_names.h"

#include <dirent.h>
#include <errno.h>

namespace {

// Says why the folder could not be read, keeping errno.
FolderRead Unreadable() {
  const int reason = errno;
  return reason == ENOENT || reason == ENOTDIR ? FolderRead::kMissing
         : reason == EACCES || reason == EPERM ? FolderRead::kDenied
                                               : FolderRead::kFailed;
}

}  // namespace

FolderRead ReadFolderNames(const std::string& folder,
                           std::vector<std::string>* names) {
  DIR* dir = opendir(folder.c_str());
  if (!dir) return Unreadable();
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
    return Unreadable();
  }
  closedir(dir);
  return FolderRead::kRead;
}
