#include "platform/framework/cstring.h"

#include <cstdio>
#include <vector>

void CString::Format(LPCTSTR format, ...) {
  va_list args;
  va_start(args, format);
  FormatV(format, args);
  va_end(args);
}

void CString::FormatV(LPCTSTR format, va_list args) {
  va_list copy;
  va_copy(copy, args);
  char small[256];
  int needed = std::vsnprintf(small, sizeof small, format, copy);
  va_end(copy);
  if (needed < 0) {
    text_.clear();
    return;
  }
  if (static_cast<size_t>(needed) < sizeof small) {
    text_.assign(small, needed);
    return;
  }
  std::vector<char> big(static_cast<size_t>(needed) + 1);
  std::vsnprintf(big.data(), big.size(), format, args);
  text_.assign(big.data(), needed);
}

int CString::Find(char c) const {
  size_t at = text_.find(c);
  return at == std::string::npos ? -1 : static_cast<int>(at);
}

CString CString::Mid(int first) const {
  if (first < 0) first = 0;
  if (static_cast<size_t>(first) >= text_.size()) return CString();
  return CString(text_.substr(first));
}
