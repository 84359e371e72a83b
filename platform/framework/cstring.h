// CString: 8-bit text kept as bytes. No character-set conversion; the length
// is the number of bytes.
#ifndef VEILMARK_PLATFORM_FRAMEWORK_CSTRING_H_
#define VEILMARK_PLATFORM_FRAMEWORK_CSTRING_H_

#include <cstdarg>
#include <string>

#include "platform/framework/win_types.h"

class CString {
 public:
  CString() = default;
  CString(const char* text) : text_(text ? text : "") {}  // NOLINT
  CString(const char* bytes, int length) : text_(bytes, length) {}
  CString(const std::string& text) : text_(text) {}  // NOLINT

  int GetLength() const { return static_cast<int>(text_.size()); }
  bool IsEmpty() const { return text_.empty(); }
  operator LPCTSTR() const { return text_.c_str(); }  // NOLINT
  const std::string& str() const { return text_; }

  CString& operator+=(const CString& more) {
    text_ += more.text_;
    return *this;
  }

  // printf-style formatting; replaces the text.
  void Format(LPCTSTR format, ...) __attribute__((format(printf, 2, 3)));
  void FormatV(LPCTSTR format, va_list args)
      __attribute__((format(printf, 2, 0)));

  // Position of the first `c`, or -1.
  int Find(char c) const;
  CString Mid(int first) const;

  friend CString operator+(const CString& a, const CString& b) {
    return CString(a.text_ + b.text_);
  }

 private:
  std::string text_;
};

#endif  // VEILMARK_PLATFORM_FRAMEWORK_CSTRING_H_
