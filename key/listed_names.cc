#include "key/listed_names.h"

#include "platform/framework/find_file.h"
#include "platform/system/path_separator.h"
#include "text/unicode_text.h"

ListedNames::ListedNames(const std::vector<CString>& names) {
  for (const CString& name : names) Add(name.str());
}

bool ListedNames::List(const CString& folder) {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(folder + kPathSeparator + "*.ima", &found);
  if (search == INVALID_HANDLE_VALUE) {
    return GetLastError() == ERROR_FILE_NOT_FOUND;
  }
  do {
    Add(found.cFileName);
  } while (FindNextFileA(search, &found));
  FindClose(search);
  return true;
}

void ListedNames::Add(const std::string& name) {
  exact_.insert(name);
  text_.emplace(CanonicalText(name), name);
}

std::string ListedNames::Find(const std::string& name) const {
  if (exact_.count(name)) return name;
  const auto found = text_.find(CanonicalText(name));
  return found == text_.end() ? std::string() : found->second;
}

void ListedNames::Forget(const std::string& name) {
  exact_.erase(name);
  const auto found = text_.find(CanonicalText(name));
  if (found != text_.end() && found->second == name) text_.erase(found);
}
