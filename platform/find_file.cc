#include "platform/find_file.h"

#include <dirent.h>
#include <fnmatch.h>
#include <strings.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

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
  if (!dir) return INVALID_HANDLE_VALUE;
  auto* search = new Search;
  while (struct dirent* entry = readdir(dir)) {
    // A name that would not fit the platform's buffer cannot be returned.
    if (std::strlen(entry->d_name) >= MAX_PATH) continue;
    if (fnmatch(wildcard.c_str(), entry->d_name, FNM_CASEFOLD) == 0) {
      search->names.push_back(entry->d_name);
    }
  }
  closedir(dir);
  std::sort(search->names.begin(), search->names.end(), CaseInsensitiveLess);
  if (!Yield(search, data)) {
    delete search;
    return INVALID_HANDLE_VALUE;
  }
  return search;
}

BOOL FindNextFileA(HANDLE search, WIN32_FIND_DATAA* data) {
  return Yield(static_cast<Search*>(search), data);
}

BOOL FindClose(HANDLE search) {
  delete static_cast<Search*>(search);
  return TRUE;
}
