#include "platform/find_file.h"

#include <dirent.h>
#include <errno.h>
#include <fnmatch.h>
#include <strings.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

thread_local DWORD lastError = 0;

// Records why the folder could not be read, keeping errno.
HANDLE Unreadable() {
  const int reason = errno;
  lastError = reason == ENOENT || reason == ENOTDIR ? ERROR_PATH_NOT_FOUND
              : reason == EACCES || reason == EPERM ? ERROR_ACCESS_DENIED
                                                    : ERROR_READ_FAULT;
  errno = reason;
  return INVALID_HANDLE_VALUE;
}

struct Search {
  std::vector<std::string> names;
  size_t next = 0;
};

bool CaseInsensitiveLess(const std::string& a, const std::string& b) {
  int c = strcasecmp(a.c_str(), b.c_str());
  return c != 0 ? c < 0 : a < b;
}

BOOL Yield(Search* search, WIN32_FIND_DATAA* data) {
  if (search->next >= search->names.size()) {
    return FALSE;
  }
  const std::string& name = search->names[search->next++];
  std::memcpy(data->cFileName, name.c_str(), name.size() + 1);
  return TRUE;
}

}  // namespace

HANDLE FindFirstFileA(LPCSTR pattern, WIN32_FIND_DATAA* data) {
  std::string full(pattern);
  size_t slash = full.rfind('/');
  std::string folder =
      slash == std::string::npos ? "." : full.substr(0, slash + 1);
  std::string wildcard =
      slash == std::string::npos ? full : full.substr(slash + 1);

  DIR* dir = opendir(folder.c_str());
  if (!dir) return Unreadable();
  auto search = std::make_unique<Search>();
  for (;;) {
    errno = 0;
    struct dirent* entry = readdir(dir);
    if (!entry) break;
    // A name that would not fit the platform's buffer cannot be returned.
    if (std::strlen(entry->d_name) >= MAX_PATH) continue;
    if (fnmatch(wildcard.c_str(), entry->d_name, FNM_CASEFOLD) == 0) {
      search->names.push_back(entry->d_name);
    }
  }
  if (errno != 0) {
    const int reason = errno;
    closedir(dir);
    errno = reason;
    return Unreadable();
  }
  closedir(dir);
  std::sort(search->names.begin(), search->names.end(), CaseInsensitiveLess);
  if (!Yield(search.get(), data)) {
    lastError = ERROR_FILE_NOT_FOUND;
    return INVALID_HANDLE_VALUE;
  }
  return search.release();
}

BOOL FindNextFileA(HANDLE search, WIN32_FIND_DATAA* data) {
  return Yield(static_cast<Search*>(search), data);
}

DWORD GetLastError() { return lastError; }

BOOL FindClose(HANDLE search) {
  delete static_cast<Search*>(search);
  return TRUE;
}
