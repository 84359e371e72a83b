#include "platform/system/code_page.h"

#include <errno.h>
#include <iconv.h>

#include <map>
#include <utility>

namespace {

const char* IconvName(CodePage page) {
  switch (page) {
    case CodePage::kAscii:
      return "ASCII";
    case CodePage::kLatin1:
      return "ISO-8859-1";
    case CodePage::kLatin2:
      return "ISO-8859-2";
    case CodePage::kLatin3:
      return "ISO-8859-3";
    case CodePage::kLatin4:
      return "ISO-8859-4";
    case CodePage::kCyrillic:
      return "ISO-8859-5";
    case CodePage::kArabic:
      return "ISO-8859-6";
    case CodePage::kGreek:
      return "ISO-8859-7";
    case CodePage::kHebrew:
      return "ISO-8859-8";
    case CodePage::kLatin5:
      return "ISO-8859-9";
    case CodePage::kLatin9:
      return "ISO-8859-15";
    case CodePage::kThai:
      return "TIS-620";
    case CodePage::kJisX0201:
      return "SHIFT_JIS";
    case CodePage::kEucJp:
      return "EUC-JP";
    case CodePage::kEucKr:
      return "EUC-KR";
    case CodePage::kEucCn:
      return "GB2312";
    case CodePage::kGbk:
      return "GBK";
    case CodePage::kGb18030:
      return "GB18030";
    case CodePage::kUtf8:
      return "UTF-8";
  }
  return "";
}

// One converter per direction and code page for each thread, opened when
// first needed: opening one costs far more than a name takes to convert.
class Converters {
 public:
  ~Converters() {
    for (auto& open : open_) iconv_close(open.second);
  }
  iconv_t Get(CodePage page, bool toUtf8) {
    const auto key = std::make_pair(page, toUtf8);
    auto found = open_.find(key);
    if (found != open_.end()) return found->second;
    iconv_t cd = toUtf8 ? iconv_open("UTF-8", IconvName(page))
                        : iconv_open(IconvName(page), "UTF-8");
    if (cd != reinterpret_cast<iconv_t>(-1)) open_[key] = cd;
    return cd;
  }

 private:
  std::map<std::pair<CodePage, bool>, iconv_t> open_;
};

bool Convert(iconv_t cd, const std::string& in, std::string* out) {
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  iconv(cd, nullptr, nullptr, nullptr, nullptr);  // the initial state
  out->clear();
  char* from = const_cast<char*>(in.data());
  size_t left = in.size();
  char piece[256];
  for (bool flushing = false;;) {
    char* to = piece;
    size_t room = sizeof piece;
    const size_t rc = flushing ? iconv(cd, nullptr, nullptr, &to, &room)
                               : iconv(cd, &from, &left, &to, &room);
    out->append(piece, static_cast<size_t>(to - piece));
    if (rc != static_cast<size_t>(-1)) {
      if (flushing) return true;
      flushing = true;
    } else if (errno != E2BIG) {
      return false;  // an invalid or unconvertible sequence, or one cut short
    }
  }
}

thread_local Converters converters;

}  // namespace

bool CodePageToUtf8(CodePage page, const std::string& bytes,
                    std::string* utf8) {
  return Convert(converters.Get(page, true), bytes, utf8);
}

bool Utf8ToCodePage(CodePage page, const std::string& utf8,
                    std::string* bytes) {
  return Convert(converters.Get(page, false), utf8, bytes);
}
