#include "platform/system/code_page.h"

#include <initializer_list>

#include "platform/win32/windows_api.h"

namespace {

// The first of `numbers` the system has.
UINT FirstValid(std::initializer_list<UINT> numbers) {
  for (UINT number : numbers) {
    if (IsValidCodePage(number)) return number;
  }
  return *numbers.begin();
}

// The code page that holds each character set: Windows' own tables, some of
// which add characters the set does not have (BytesFit refuses those).
UINT CodePageNumber(CodePage page) {
  switch (page) {
    case CodePage::kAscii:
      return 20127;
    case CodePage::kLatin1:
      return 28591;
    case CodePage::kLatin2:
      return 28592;
    case CodePage::kLatin3:
      return 28593;
    case CodePage::kLatin4:
      return 28594;
    case CodePage::kCyrillic:
      return 28595;
    case CodePage::kArabic:
      return 28596;
    case CodePage::kGreek:
      return 28597;
    case CodePage::kHebrew:
      return 28598;
    case CodePage::kLatin5:
      return 28599;
    case CodePage::kLatin9:
      return 28605;
    case CodePage::kThai:
      return 874;
    case CodePage::kJisX0201:
      return 932;
    case CodePage::kEucJp:
      return FirstValid({20932, 51932});
    case CodePage::kEucKr:
      return FirstValid({51949, 949});  // 949 holds EUC-KR and more
    case CodePage::kEucCn:
      return FirstValid({20936, 936});  // and 936 GB 2312
    case CodePage::kGbk:
      return 936;
    case CodePage::kGb18030:
      return 54936;
    case CodePage::kUtf8:
      return CP_UTF8;
  }
  return 0;
}

// Whether `bytes` keep to the set itself where its code page holds more:
// EUC-KR and GB 2312 are pairs of bytes from A1 to FE (949 and 936 also
// take other pairs), TIS 620 has nothing from 80 to A0 (874 puts the euro
// sign and punctuation there).
bool BytesFit(CodePage page, const std::string& bytes) {
  if (page == CodePage::kEucKr || page == CodePage::kEucCn) {
    for (size_t i = 0; i < bytes.size(); ++i) {
      const unsigned char c = static_cast<unsigned char>(bytes[i]);
      if (c < 0x80) continue;
      if (c < 0xA1 || c == 0xFF || i + 1 == bytes.size()) return false;
      const unsigned char next = static_cast<unsigned char>(bytes[++i]);
      if (next < 0xA1 || next == 0xFF) return false;
    }
  } else if (page == CodePage::kThai) {
    for (char c : bytes) {
      const unsigned char byte = static_cast<unsigned char>(c);
      if (byte >= 0x80 && byte <= 0xA0) return false;
    }
  }
  return true;
}

// The code pages whose conversions take no flag but the one for invalid
// input; the others are checked by converting back.
bool TakesNoBestFitFlag(UINT number) {
  return number != CP_UTF8 && number != 54936;
}

bool ToWide(UINT number, const std::string& bytes, std::wstring* wide) {
  wide->clear();
  if (bytes.empty()) return true;
  const int size = static_cast<int>(bytes.size());
  const int length = MultiByteToWideChar(number, MB_ERR_INVALID_CHARS,
                                         bytes.data(), size, nullptr, 0);
  if (length <= 0) return false;
  wide->resize(static_cast<size_t>(length));
  return MultiByteToWideChar(number, MB_ERR_INVALID_CHARS, bytes.data(), size,
                             &(*wide)[0], length) == length;
}

bool FromWide(UINT number, const std::wstring& wide, std::string* bytes) {
  bytes->clear();
  if (wide.empty()) return true;
  const int size = static_cast<int>(wide.size());
  const bool flags = TakesNoBestFitFlag(number);
  const DWORD flag = flags ? WC_NO_BEST_FIT_CHARS : WC_ERR_INVALID_CHARS;
  BOOL defaulted = FALSE;
  BOOL* usedDefault = flags ? &defaulted : nullptr;
  const int length = WideCharToMultiByte(number, flag, wide.data(), size,
                                         nullptr, 0, nullptr, usedDefault);
  if (length <= 0 || defaulted) return false;
  bytes->resize(static_cast<size_t>(length));
  return WideCharToMultiByte(number, flag, wide.data(), size, &(*bytes)[0],
                             length, nullptr, usedDefault) == length &&
         !defaulted;
}

// No table maps text of these sets into the private use area except for
// bytes the set leaves undefined, which are refused here.
bool HasPrivateUse(const std::wstring& wide) {
  for (wchar_t c : wide) {
    if (c >= 0xE000 && c <= 0xF8FF) return true;
  }
  return false;
}

}  // namespace

bool CodePageToUtf8(CodePage page, const std::string& bytes,
                    std::string* utf8) {
  const UINT number = CodePageNumber(page);
  std::wstring wide;
  std::string back;
  // Converting back catches what a table maps without saying so.
  return BytesFit(page, bytes) && ToWide(number, bytes, &wide) &&
         !HasPrivateUse(wide) && FromWide(number, wide, &back) &&
         back == bytes && FromWide(CP_UTF8, wide, utf8);
}

bool Utf8ToCodePage(CodePage page, const std::string& utf8,
                    std::string* bytes) {
  const UINT number = CodePageNumber(page);
  std::wstring wide;
  std::wstring back;
  return ToWide(CP_UTF8, utf8, &wide) && FromWide(number, wide, bytes) &&
         BytesFit(page, *bytes) && ToWide(number, *bytes, &back) &&
         back == wide;
}
