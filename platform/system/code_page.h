// Text in the character encodings that DICOM's character sets use, turned
// into UTF-8 and back with the operating system's own conversion tables
// (iconv here, the code pages of MultiByteToWideChar on Windows). Nothing
// is guessed or replaced: a byte or character without an exact counterpart
// fails the conversion.
#ifndef VEILMARK_PLATFORM_SYSTEM_CODE_PAGE_H_
#define VEILMARK_PLATFORM_SYSTEM_CODE_PAGE_H_

#include <string>

enum class CodePage {
  kAscii,
  kLatin1,    // ISO 8859-1
  kLatin2,    // ISO 8859-2
  kLatin3,    // ISO 8859-3
  kLatin4,    // ISO 8859-4
  kCyrillic,  // ISO 8859-5
  kArabic,    // ISO 8859-6
  kGreek,     // ISO 8859-7
  kHebrew,    // ISO 8859-8
  kLatin5,    // ISO 8859-9
  kLatin9,    // ISO 8859-15
  kThai,      // TIS 620
  kJisX0201,  // Japanese single bytes: Roman and half-width katakana
  kEucJp,     // JIS X 0208 and JIS X 0212 in EUC form
  kEucKr,     // KS X 1001 in EUC form
  kEucCn,     // GB 2312 in EUC form
  kGbk,
  kGb18030,
  kUtf8,
};

// Converts `bytes`, text in `page`, to UTF-8. False when they are not valid
// text in `page`.
bool CodePageToUtf8(CodePage page, const std::string& bytes, std::string* utf8);

// Converts `utf8` to `page`. False when it is not valid UTF-8 or holds a
// character that `page` does not have.
bool Utf8ToCodePage(CodePage page, const std::string& utf8, std::string* bytes);

#endif  // VEILMARK_PLATFORM_SYSTEM_CODE_PAGE_H_
