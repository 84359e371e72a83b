#include "platform/framework/find_file.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/system/folder_names.h"
#include "platform/system/path_separator.h"

// The wildcard is matched here, the same on every system, rather than by
// the system, which on Windows would also match the short 8.3 names it
// makes up.

namespace {

thread_local DWORD lastError = 0;

struct Search {
  std::vector<std::string> names;
  size_t next = 0;
};

char Folded(char c) { return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c; }

// '*' and '?' over bytes, letters in either case.
bool Matches(const char* wildcard, const char* name) {
  const char* star = nullptr;
  const char* resume = nullptr;
  while (*name) {
    if (*wildcard == '*') {
      star = ++wildcard;
      resume = name;
    } else if (*wildcard == '?' || Folded(*wildcard) == Folded(*name)) {
      ++wildcard;
      ++name;
    } else if (star) {
      wildcard = star;
      name = ++resume;
    } else {
      return false;
    }
  }
  while (*wildcard == '*') ++wildcard;
  return *wildcard == '\0';
}

bool CaseInsensitiveLess(const std::string& a, const std::string& b) {
  const size_t common = std::min(a.size(), b.size());
  for (size_t i = 0; i < common; ++i) {
    const unsigned char x = static_cast<unsigned char>(Folded(a[i]));
    const unsigned char y = static_cast<unsigned char>(Folded(b[i]));
    if (x != y) return x < y;
  }
  return a.size() != b.size() ? a.size() < b.size() : a < b;
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
  size_t slash = full.find_last_of(kPathSeparators);
  std::string folder =
      slash == std::string::npos ? "." : full.substr(0, slash + 1);
  std::string wildcard =
      slash == std::string::npos ? full : full.substr(slash + 1);

  std::vector<std::string> names;
  switch (ReadFolderNames(folder, &names)) {
    case FolderRead::kRead:
      break;
    case FolderRead::kMissing:
      lastError = ERROR_PATH_NOT_FOUND;
      return INVALID_HANDLE_VALUE;
    case FolderRead::kDenied:
      lastError = ERROR_ACCESS_DENIED;
      return INVALID_HANDLE_VALUE;
    case FolderRead::kFailed:
      lastError = ERROR_READ_FAULT;
      return INVALID_HANDLE_VALUE;
  }
  auto search = std::make_unique<Search>();
  for (const std::string& name : names) {
    // A name that would not fit the platform's buffer cannot be returned.
    if (name.size() >= MAX_PATH) continue;
    if (Matches(wildcard.c_str(), name.c_str())) search->names.push_back(name);
  }
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
