#include "text/character_set.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace {

using Graphic = CharacterSet::Graphic;

// The sets DICOM lets a value invoke by escape sequence.
const Graphic kAscii{"\x1b(B", false, 1, CodePage::kAscii, 0};
const Graphic kRoman{"\x1b(J", false, 1, CodePage::kJisX0201, 0};
const Graphic kKatakana{"\x1b)I", true, 1, CodePage::kJisX0201, 0};
const Graphic kLatin1{"\x1b-A", true, 1, CodePage::kLatin1, 0};
const Graphic kLatin2{"\x1b-B", true, 1, CodePage::kLatin2, 0};
const Graphic kLatin3{"\x1b-C", true, 1, CodePage::kLatin3, 0};
const Graphic kLatin4{"\x1b-D", true, 1, CodePage::kLatin4, 0};
const Graphic kCyrillic{"\x1b-L", true, 1, CodePage::kCyrillic, 0};
const Graphic kArabic{"\x1b-G", true, 1, CodePage::kArabic, 0};
const Graphic kGreek{"\x1b-F", true, 1, CodePage::kGreek, 0};
const Graphic kHebrew{"\x1b-H", true, 1, CodePage::kHebrew, 0};
const Graphic kLatin5{"\x1b-M", true, 1, CodePage::kLatin5, 0};
const Graphic kLatin9{"\x1b-b", true, 1, CodePage::kLatin9, 0};
const Graphic kThai{"\x1b-T", true, 1, CodePage::kThai, 0};
const Graphic kJisX0208{"\x1b$B", false, 2, CodePage::kEucJp, 0};
const Graphic kJisX0212{"\x1b$(D", false, 2, CodePage::kEucJp, '\x8f'};
const Graphic kKsX1001{"\x1b$)C", true, 2, CodePage::kEucKr, 0};
const Graphic kGb2312{"\x1b$)A", true, 2, CodePage::kEucCn, 0};

struct Term {
  const char* name;
  // With code extensions: its G0 and G1 sets (either may be missing).
  const Graphic* g0;
  const Graphic* g1;
};

const Term kExtendedTerms[] = {
    {"ISO 2022 IR 6", &kAscii, nullptr},
    {"ISO 2022 IR 100", &kAscii, &kLatin1},
    {"ISO 2022 IR 101", &kAscii, &kLatin2},
    {"ISO 2022 IR 109", &kAscii, &kLatin3},
    {"ISO 2022 IR 110", &kAscii, &kLatin4},
    {"ISO 2022 IR 144", &kAscii, &kCyrillic},
    {"ISO 2022 IR 127", &kAscii, &kArabic},
    {"ISO 2022 IR 126", &kAscii, &kGreek},
    {"ISO 2022 IR 138", &kAscii, &kHebrew},
    {"ISO 2022 IR 148", &kAscii, &kLatin5},
    {"ISO 2022 IR 203", &kAscii, &kLatin9},
    {"ISO 2022 IR 166", &kAscii, &kThai},
    {"ISO 2022 IR 13", &kRoman, &kKatakana},
    // Multi-byte sets: never the first value.
    {"ISO 2022 IR 87", &kJisX0208, nullptr},
    {"ISO 2022 IR 159", &kJisX0212, nullptr},
    {"ISO 2022 IR 149", nullptr, &kKsX1001},
    {"ISO 2022 IR 58", nullptr, &kGb2312},
};

const std::pair<const char*, CodePage> kPlainTerms[] = {
    {"ISO_IR 6", CodePage::kAscii},    {"ISO_IR 100", CodePage::kLatin1},
    {"ISO_IR 101", CodePage::kLatin2}, {"ISO_IR 109", CodePage::kLatin3},
    {"ISO_IR 110", CodePage::kLatin4}, {"ISO_IR 144", CodePage::kCyrillic},
    {"ISO_IR 127", CodePage::kArabic}, {"ISO_IR 126", CodePage::kGreek},
    {"ISO_IR 138", CodePage::kHebrew}, {"ISO_IR 148", CodePage::kLatin5},
    {"ISO_IR 166", CodePage::kThai},   {"ISO_IR 13", CodePage::kJisX0201},
    {"ISO_IR 203", CodePage::kLatin9}, {"ISO_IR 192", CodePage::kUtf8},
    {"GB18030", CodePage::kGb18030},   {"GBK", CodePage::kGbk},
};

std::string Trimmed(const std::string& text) {
  const size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

bool PlainAscii(const std::string& bytes) {
  for (unsigned char c : bytes) {
    if (c >= 0x80 || c == 0x1b) return false;
  }
  return true;
}

// Where a character set is switched back to the default: PN's component
// and group separators, the value separator, and the control characters
// that end a line or a field.
bool IsDelimiter(unsigned char c) {
  return c == '^' || c == '=' || c == '\\' || c == '\r' || c == '\n' ||
         c == '\f' || c == '\t';
}

// The length of the UTF-8 character that starts with `lead`, or 0.
size_t Utf8Length(unsigned char lead) {
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead < 0xE0) return 2;
  if (lead >= 0xE0 && lead < 0xF0) return 3;
  if (lead >= 0xF0 && lead < 0xF5) return 4;
  return 0;
}

// JIS X 0201 is read through Shift_JIS, which has two-byte characters too:
// only its single bytes, Roman and half-width katakana, are JIS X 0201.
bool SingleBytesOf(CodePage page, const std::string& bytes) {
  if (page != CodePage::kJisX0201) return true;
  for (unsigned char c : bytes) {
    if (c >= 0x80 && (c < 0xA1 || c > 0xDF)) return false;
  }
  return true;
}

bool AllAtLeast(const std::string& bytes, unsigned char least) {
  for (unsigned char c : bytes) {
    if (c < least) return false;
  }
  return true;
}

}  // namespace

bool CharacterSet::Parse(const std::string& declared, std::string* error) {
  *this = CharacterSet();
  declared_ = Trimmed(declared);
  std::vector<std::string> terms;
  for (size_t at = 0;;) {
    const size_t end = declared.find('\\', at);
    terms.push_back(Trimmed(declared.substr(at, end - at)));
    if (end == std::string::npos) break;
    at = end + 1;
  }
  if (terms.size() == 1 && terms[0].compare(0, 9, "ISO 2022 ") != 0) {
    if (terms[0].empty()) return true;
    undeclared_ = false;
    for (const auto& plain : kPlainTerms) {
      if (terms[0] == plain.first) {
        page_ = plain.second;
        return true;
      }
    }
    *error = terms[0];
    return false;
  }
  undeclared_ = false;
  extended_ = true;
  if (terms[0].empty()) terms[0] = "ISO 2022 IR 6";
  for (size_t i = 0; i < terms.size(); ++i) {
    const Term* found = nullptr;
    for (const Term& term : kExtendedTerms) {
      if (terms[i] == term.name) found = &term;
    }
    // The first value is the default: a set of single bytes.
    if (!found || (i == 0 && !(found->g0 && found->g0->width == 1))) {
      *error = terms[i];
      return false;
    }
    if (i == 0) initial_ = State{found->g0, found->g1};
    for (const Graphic* set : {found->g0, found->g1}) {
      if (set) sets_.push_back(set);
    }
  }
  return true;
}

std::string CharacterSet::FirstValue(const std::string& value) const {
  size_t end = 0;
  if (!extended_) {
    const bool gb = page_ == CodePage::kGb18030 || page_ == CodePage::kGbk;
    // In GB 18030 and GBK a backslash may be a character's second byte.
    while (end < value.size() && value[end] != '\\') {
      const unsigned char c = value[end];
      if (!gb || c < 0x81 || end + 1 == value.size()) {
        ++end;
      } else {
        const unsigned char next = value[end + 1];
        end +=
            page_ == CodePage::kGb18030 && next >= '0' && next <= '9' ? 4 : 2;
      }
    }
  } else {
    State state = initial_;
    while (end < value.size()) {
      const unsigned char c = value[end];
      if (c == 0x1b) {
        size_t skip = 1;
        for (const Graphic* set : sets_) {
          if (value.compare(end, std::strlen(set->escape), set->escape) == 0) {
            (set->g1 ? state.g1 : state.g0) = set;
            skip = std::strlen(set->escape);
          }
        }
        end += skip;
      } else if (c < 0x80 && state.g0->width == 2) {
        end += 2;
      } else if (c >= 0x80 && state.g1 && state.g1->width == 2) {
        end += 2;
      } else if (c == '\\') {
        break;
      } else {
        if (IsDelimiter(c)) state = initial_;
        ++end;
      }
    }
  }
  std::string first = value.substr(0, std::min(end, value.size()));
  first.erase(first.find_last_not_of(' ') + 1);
  return first;
}

bool CharacterSet::Decode(const std::string& bytes, std::string* utf8) const {
  // Escape sequences are code extensions, which only the ISO 2022 terms
  // allow.
  if (!extended_ && bytes.find('\x1b') != std::string::npos) return false;
  const bool asciiBased =
      extended_ ? initial_.g0 == &kAscii : page_ != CodePage::kJisX0201;
  if (asciiBased && PlainAscii(bytes)) {
    *utf8 = bytes;
    return true;
  }
  if (extended_) return DecodeExtended(bytes, utf8);
  return SingleBytesOf(page_, bytes) &&
         CodePageToUtf8(undeclared_ ? CodePage::kLatin1 : page_, bytes, utf8);
}

bool CharacterSet::DecodeExtended(const std::string& bytes,
                                  std::string* utf8) const {
  utf8->clear();
  State state = initial_;
  std::string run;  // bytes of one set, converted together
  const Graphic* runSet = nullptr;
  auto flush = [&] {
    if (run.empty()) return true;
    std::string text;
    if (runSet->page == CodePage::kAscii) {
      text = run;
    } else if (runSet->width == 2 && !runSet->g1) {
      // A two-byte G0 set is read as EUC-JP: each byte with its high bit.
      std::string euc;
      for (size_t i = 0; i < run.size(); i += 2) {
        if (runSet->lead) euc += runSet->lead;
        euc += static_cast<char>(run[i] | 0x80);
        euc += static_cast<char>(run[i + 1] | 0x80);
      }
      if (!CodePageToUtf8(runSet->page, euc, &text)) return false;
    } else if (!SingleBytesOf(runSet->page, run) ||
               !CodePageToUtf8(runSet->page, run, &text)) {
      return false;
    }
    *utf8 += text;
    run.clear();
    return true;
  };
  auto take = [&](const Graphic* set, size_t at, size_t count) {
    if (set != runSet && !flush()) return false;
    runSet = set;
    run.append(bytes, at, count);
    return true;
  };
  for (size_t i = 0; i < bytes.size();) {
    const unsigned char c = bytes[i];
    if (c == 0x1b) {
      const Graphic* invoked = nullptr;
      for (const Graphic* set : sets_) {
        if (bytes.compare(i, std::strlen(set->escape), set->escape) == 0) {
          invoked = set;
        }
      }
      if (!invoked) return false;
      (invoked->g1 ? state.g1 : state.g0) = invoked;
      i += std::strlen(invoked->escape);
      continue;
    }
    const Graphic* set = c < 0x80 ? state.g0 : state.g1;
    if (!set) return false;
    if (set->width == 1) {
      if (!set->g1 && IsDelimiter(c)) {
        if (!flush()) return false;
        *utf8 += static_cast<char>(c);
        state = initial_;
        ++i;
        continue;
      }
      if (!take(set, i, 1)) return false;
      ++i;
      continue;
    }
    if (i + 1 >= bytes.size()) return false;
    const std::string pair = bytes.substr(i, 2);
    const bool valid = set->g1 ? AllAtLeast(pair, 0xA1)
                               : pair[0] >= 0x21 && pair[0] < 0x7F &&
                                     pair[1] >= 0x21 && pair[1] < 0x7F;
    if (!valid || !take(set, i, 2)) return false;
    i += 2;
  }
  return flush();
}

bool CharacterSet::Place(const Graphic& set, const std::string& character,
                         std::string* bytes) {
  const unsigned char first = character[0];
  if (!set.g1 && set.width == 1) {
    // ASCII, or JIS X 0201's Roman half, which has the yen sign and the
    // overline where ASCII has the backslash and the tilde.
    if (character.size() != 1 || first >= 0x80 ||
        (set.page != CodePage::kAscii && (first == '\\' || first == '~'))) {
      return false;
    }
    *bytes = character;
    return true;
  }
  std::string coded;
  if (!Utf8ToCodePage(set.page, character, &coded)) return false;
  if (set.g1) {
    const unsigned char least =
        set.width == 1 && set.page != CodePage::kJisX0201 ? 0xA0 : 0xA1;
    if (coded.size() != static_cast<size_t>(set.width) ||
        !AllAtLeast(coded, least) ||
        (set.page == CodePage::kJisX0201 &&
         static_cast<unsigned char>(coded[0]) > 0xDF)) {
      return false;
    }
    *bytes = coded;
    return true;
  }
  // A two-byte G0 set, from EUC-JP: the high bits go.
  const size_t skip = set.lead ? 1 : 0;
  if (coded.size() != 2 + skip || (set.lead && coded[0] != set.lead) ||
      !AllAtLeast(coded.substr(skip), 0xA1)) {
    return false;
  }
  bytes->clear();
  for (size_t i = skip; i < coded.size(); ++i) {
    *bytes += static_cast<char>(coded[i] & 0x7F);
  }
  return true;
}

bool CharacterSet::EncodeExtended(const std::string& utf8,
                                  std::string* bytes) const {
  bytes->clear();
  State state = initial_;
  // Before a delimiter and at the end, the sets of the first declared term
  // are invoked again: a set it has no G1 for stays until the delimiter,
  // after which none is.
  auto restore = [&] {
    if (state.g0 != initial_.g0) *bytes += initial_.g0->escape;
    if (initial_.g1 && state.g1 != initial_.g1) *bytes += initial_.g1->escape;
    state = initial_;
  };
  for (size_t i = 0; i < utf8.size();) {
    const size_t length = Utf8Length(utf8[i]);
    if (length == 0 || i + length > utf8.size()) return false;
    const std::string character = utf8.substr(i, length);
    i += length;
    if (length == 1 && IsDelimiter(character[0])) {
      restore();
      *bytes += character;
      continue;
    }
    std::vector<const Graphic*> candidates = {state.g0, state.g1};
    candidates.insert(candidates.end(), sets_.begin(), sets_.end());
    bool placed = false;
    for (const Graphic* set : candidates) {
      std::string coded;
      if (!set || !Place(*set, character, &coded)) continue;
      const Graphic*& invoked = set->g1 ? state.g1 : state.g0;
      if (invoked != set) *bytes += set->escape;
      invoked = set;
      *bytes += coded;
      placed = true;
      break;
    }
    if (!placed) return false;
  }
  restore();
  return true;
}

bool CharacterSet::Encode(const std::string& utf8, std::string* bytes,
                          bool declaredOnly) const {
  const bool asciiBased =
      extended_ ? initial_.g0 == &kAscii : page_ != CodePage::kJisX0201;
  if (asciiBased && PlainAscii(utf8)) {
    *bytes = utf8;
    return true;
  }
  if (undeclared_ && declaredOnly) return false;
  const bool coded =
      extended_ ? EncodeExtended(utf8, bytes)
                : Utf8ToCodePage(undeclared_ ? CodePage::kLatin1 : page_, utf8,
                                 bytes);
  // Only what reads back as the same text is ever written.
  std::string back;
  return coded && SingleBytesOf(page_, *bytes) && Decode(*bytes, &back) &&
         back == utf8;
}
