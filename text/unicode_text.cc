#include "text/unicode_text.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace {

struct Decomposition {
  std::uint32_t code, first, second;  // second 0: a single character
};
struct CombiningClass {
  std::uint32_t code, value;
};
enum class Break {
  kOther,
  kControl,
  kExtend,
  kSpacingMark,
  kZwj,
  kPrepend,
  kL,
  kV,
  kT,
  kLV,
  kLVT,
  kRegionalIndicator,
};
struct BreakRange {
  std::uint32_t first, last;
  Break kind;
};

#include "text/unicode_tables.inc"

// A byte that is not part of UTF-8 stands for itself, out of Unicode's
// range, so that it comes back as it was.
constexpr std::uint32_t kRawByte = 0x110000;

// Hangul syllables decompose by arithmetic, not by table.
constexpr std::uint32_t kSyllables = 0xAC00, kSyllableCount = 11172;
constexpr std::uint32_t kLeads = 0x1100, kVowels = 0x1161, kTrails = 0x11A7;
constexpr std::uint32_t kVowelCount = 21, kTrailCount = 28;

std::vector<std::uint32_t> Decode(const std::string& utf8,
                                  std::vector<size_t>* starts = nullptr) {
  std::vector<std::uint32_t> codes;
  for (size_t i = 0; i < utf8.size();) {
    const unsigned char lead = utf8[i];
    size_t length = lead < 0x80                   ? 1
                    : lead >= 0xC2 && lead < 0xE0 ? 2
                    : lead >= 0xE0 && lead < 0xF0 ? 3
                    : lead >= 0xF0 && lead < 0xF5 ? 4
                                                  : 0;
    std::uint32_t code = length == 1   ? lead
                         : length == 2 ? lead & 0x1F
                         : length == 3 ? lead & 0x0F
                                       : lead & 0x07;
    for (size_t k = 1; k < length; ++k) {
      const unsigned char next = i + k < utf8.size() ? utf8[i + k] : 0;
      if ((next & 0xC0) != 0x80) {
        length = 0;
        break;
      }
      code = code << 6 | (next & 0x3F);
    }
    const bool shortest =
        length == 1 || (length == 2 && code >= 0x80) ||
        (length == 3 && code >= 0x800 && (code < 0xD800 || code > 0xDFFF)) ||
        (length == 4 && code >= 0x10000 && code <= 0x10FFFF);
    if (length == 0 || !shortest) {
      code = kRawByte + lead;
      length = 1;
    }
    if (starts) starts->push_back(i);
    codes.push_back(code);
    i += length;
  }
  if (starts) starts->push_back(utf8.size());
  return codes;
}

void Encode(std::uint32_t code, std::string* utf8) {
  if (code >= kRawByte) {
    *utf8 += static_cast<char>(code - kRawByte);
  } else if (code < 0x80) {
    *utf8 += static_cast<char>(code);
  } else if (code < 0x800) {
    *utf8 += static_cast<char>(0xC0 | code >> 6);
    *utf8 += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    *utf8 += static_cast<char>(0xE0 | code >> 12);
    *utf8 += static_cast<char>(0x80 | (code >> 6 & 0x3F));
    *utf8 += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    *utf8 += static_cast<char>(0xF0 | code >> 18);
    *utf8 += static_cast<char>(0x80 | (code >> 12 & 0x3F));
    *utf8 += static_cast<char>(0x80 | (code >> 6 & 0x3F));
    *utf8 += static_cast<char>(0x80 | (code & 0x3F));
  }
}

void Decompose(std::uint32_t code, std::vector<std::uint32_t>* out) {
  if (code >= kSyllables && code < kSyllables + kSyllableCount) {
    const std::uint32_t index = code - kSyllables;
    out->push_back(kLeads + index / (kVowelCount * kTrailCount));
    out->push_back(kVowels + index % (kVowelCount * kTrailCount) / kTrailCount);
    if (index % kTrailCount != 0) out->push_back(kTrails + index % kTrailCount);
    return;
  }
  const auto found = std::lower_bound(
      std::begin(kDecompositions), std::end(kDecompositions), code,
      [](const Decomposition& d, std::uint32_t c) { return d.code < c; });
  if (found == std::end(kDecompositions) || found->code != code) {
    out->push_back(code);
    return;
  }
  Decompose(found->first, out);
  if (found->second != 0) Decompose(found->second, out);
}

std::uint32_t ClassOf(std::uint32_t code) {
  const auto found = std::lower_bound(
      std::begin(kCombiningClasses), std::end(kCombiningClasses), code,
      [](const CombiningClass& c, std::uint32_t v) { return c.code < v; });
  return found != std::end(kCombiningClasses) && found->code == code
             ? found->value
             : 0;
}

Break BreakOf(std::uint32_t code) {
  if (code >= kSyllables && code < kSyllables + kSyllableCount) {
    return (code - kSyllables) % kTrailCount == 0 ? Break::kLV : Break::kLVT;
  }
  const auto found = std::upper_bound(
      std::begin(kBreakRanges), std::end(kBreakRanges), code,
      [](std::uint32_t c, const BreakRange& r) { return c < r.first; });
  if (found == std::begin(kBreakRanges)) return Break::kOther;
  const BreakRange& range = *(found - 1);
  return code <= range.last ? range.kind : Break::kOther;
}

// Whether a character boundary falls between `before` and `after`, with
// `indicators` regional indicators in a row up to `before` (Unicode's
// extended grapheme cluster rules, but for emoji sequences).
bool Boundary(Break before, Break after, int indicators) {
  if (before == Break::kControl || after == Break::kControl) return true;
  if (before == Break::kL && (after == Break::kL || after == Break::kV ||
                              after == Break::kLV || after == Break::kLVT)) {
    return false;
  }
  if ((before == Break::kLV || before == Break::kV) &&
      (after == Break::kV || after == Break::kT)) {
    return false;
  }
  if ((before == Break::kLVT || before == Break::kT) && after == Break::kT) {
    return false;
  }
  if (after == Break::kExtend || after == Break::kZwj ||
      after == Break::kSpacingMark || before == Break::kPrepend) {
    return false;
  }
  if (before == Break::kRegionalIndicator &&
      after == Break::kRegionalIndicator) {
    return indicators % 2 == 0;
  }
  return true;
}

// The byte offsets at which characters start, and the end.
std::vector<size_t> CharacterStarts(const std::string& utf8) {
  std::vector<size_t> starts;
  const std::vector<std::uint32_t> codes = Decode(utf8, &starts);
  std::vector<size_t> boundaries;
  int indicators = 0;
  for (size_t i = 0; i < codes.size(); ++i) {
    const Break kind = BreakOf(codes[i]);
    if (i == 0 || Boundary(BreakOf(codes[i - 1]), kind, indicators)) {
      boundaries.push_back(starts[i]);
    }
    indicators = kind == Break::kRegionalIndicator ? indicators + 1 : 0;
  }
  boundaries.push_back(utf8.size());
  return boundaries;
}

}  // namespace

std::string CanonicalText(const std::string& utf8) {
  std::vector<std::uint32_t> codes;
  for (std::uint32_t code : Decode(utf8)) Decompose(code, &codes);
  // Marks that follow one base are put in the order of their classes.
  for (size_t i = 1; i < codes.size(); ++i) {
    const std::uint32_t value = ClassOf(codes[i]);
    if (value == 0) continue;
    for (size_t j = i; j > 0 && ClassOf(codes[j - 1]) > value; --j) {
      std::swap(codes[j - 1], codes[j]);
    }
  }
  std::string text;
  for (std::uint32_t code : codes) Encode(code, &text);
  return text;
}

bool SameText(const std::string& a, const std::string& b) {
  return a == b || CanonicalText(a) == CanonicalText(b);
}

size_t FirstCharacterEnd(const std::string& utf8) {
  if (utf8.empty()) return 0;
  return CharacterStarts(utf8)[1];
}

size_t LastCharacterStart(const std::string& utf8) {
  if (utf8.empty()) return 0;
  const std::vector<size_t> starts = CharacterStarts(utf8);
  return starts[starts.size() - 2];
}
