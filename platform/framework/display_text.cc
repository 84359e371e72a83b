#include "platform/framework/display_text.h"

#include <vector>

namespace {

// The length of the valid UTF-8 sequence at `p` (before `end`), with its
// character in `c`; 0 when none starts there.
size_t ValidSequence(const unsigned char* p, const unsigned char* end,
                     char32_t* c) {
  unsigned lead = p[0];
  if (lead < 0x80) {
    *c = lead;
    return 1;
  }
  size_t length;
  char32_t value, least;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, value = lead & 0x1F, least = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, value = lead & 0x0F, least = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, value = lead & 0x07, least = 0x10000;
  } else {
    return 0;
  }
  if (static_cast<size_t>(end - p) < length) return 0;
  for (size_t i = 1; i < length; ++i) {
    if ((p[i] & 0xC0) != 0x80) return 0;
    value = (value << 6) | (p[i] & 0x3F);
  }
  if (value < least || value > 0x10FFFF ||
      (value >= 0xD800 && value <= 0xDFFF)) {
    return 0;
  }
  *c = value;
  return length;
}

// Decodes `bytes`; with `starts`, also the byte offset of each character
// and, last, the end.
std::u32string Decode(std::string_view bytes, std::vector<size_t>* starts) {
  std::u32string text;
  text.reserve(bytes.size());
  const auto* begin = reinterpret_cast<const unsigned char*>(bytes.data());
  const unsigned char* end = begin + bytes.size();
  for (const unsigned char* p = begin; p < end;) {
    if (starts) starts->push_back(static_cast<size_t>(p - begin));
    char32_t c;
    size_t length = ValidSequence(p, end, &c);
    if (length == 0) {
      c = *p;  // the byte as Latin-1
      length = 1;
    }
    text.push_back(c);
    p += length;
  }
  if (starts) starts->push_back(bytes.size());
  return text;
}

void AppendUtf8(char32_t c, std::string* out) {
  if (c < 0x80) {
    out->push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (c >> 6)));
    out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out->push_back(static_cast<char>(0xE0 | (c >> 12)));
    out->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xF0 | (c >> 18)));
    out->push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

}  // namespace

std::u32string DecodeForDisplay(std::string_view bytes) {
  return Decode(bytes, nullptr);
}

bool EndsOnCharacterBoundary(std::string_view bytes) {
  // A lead byte among the last three whose sequence is longer than what
  // follows it might be completed by the next bytes.
  for (size_t back = 1; back <= 3 && back <= bytes.size(); ++back) {
    auto lead = static_cast<unsigned char>(bytes[bytes.size() - back]);
    size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
    if (length > back) return false;
  }
  return true;
}

std::string BytesAfterEdit(std::string_view original,
                           const std::u32string& edited) {
  std::vector<size_t> starts;
  std::u32string shown = Decode(original, &starts);
  size_t limit = std::min(shown.size(), edited.size());
  size_t prefix = 0;
  while (prefix < limit && shown[prefix] == edited[prefix]) ++prefix;
  size_t suffix = 0;
  while (suffix < limit - prefix && shown[shown.size() - 1 - suffix] ==
                                        edited[edited.size() - 1 - suffix]) {
    ++suffix;
  }
  std::string bytes(original.substr(0, starts[prefix]));
  for (size_t i = prefix; i < edited.size() - suffix; ++i) {
    AppendUtf8(edited[i], &bytes);
  }
  bytes.append(original.substr(starts[shown.size() - suffix]));
  return bytes;
}
