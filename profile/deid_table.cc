#include "profile/deid_table.h"

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace {

const DeidRow kRows[] = {
#include "profile/deid_table.inc"
};

// A tag as the table writes it, with 'x' for any hexadecimal digit.
struct Pattern {
  std::uint32_t value = 0, mask = 0;
  bool matches(std::uint32_t tag) const { return (tag & mask) == value; }
};

bool Parse(const std::string& tag, Pattern* pattern) {
  std::string digits;
  for (char c : tag) {
    if (c != '(' && c != ')' && c != ',') digits += c;
  }
  if (digits.size() != 8) return false;
  for (char c : digits) {
    const int nibble = c >= '0' && c <= '9'   ? c - '0'
                       : c >= 'A' && c <= 'F' ? c - 'A' + 10
                       : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                              : -1;
    pattern->value <<= 4;
    pattern->mask <<= 4;
    if (nibble >= 0) {
      pattern->value |= static_cast<std::uint32_t>(nibble);
      pattern->mask |= 0xF;
    }
  }
  return true;
}

struct Lookup {
  std::unordered_map<std::uint32_t, const DeidRow*> exact;
  std::vector<std::pair<Pattern, const DeidRow*>> patterns;
  const DeidRow* privateRow = nullptr;  // "(gggg,eeee)"
};

const Lookup& Rows() {
  static const Lookup* lookup = [] {
    auto* made = new Lookup;
    for (const DeidRow& row : kRows) {
      Pattern pattern;
      if (std::string(row.tag) == "(gggg,eeee)") {
        made->privateRow = &row;
      } else if (!Parse(row.tag, &pattern)) {
        continue;
      } else if (pattern.mask == 0) {
        made->privateRow = &row;
      } else if (pattern.mask == 0xFFFFFFFF) {
        made->exact.emplace(pattern.value, &row);
      } else {
        made->patterns.emplace_back(pattern, &row);
      }
    }
    return made;
  }();
  return *lookup;
}

}  // namespace

size_t DeidRowCount() { return sizeof kRows / sizeof kRows[0]; }

const DeidRow& DeidRowAt(size_t index) { return kRows[index]; }

const DeidRow* FindDeidRow(const DcmTagKey& key) {
  const Lookup& rows = Rows();
  if (key.getGroup() % 2 == 1) return rows.privateRow;
  const std::uint32_t tag =
      std::uint32_t{key.getGroup()} << 16 | key.getElement();
  const auto found = rows.exact.find(tag);
  if (found != rows.exact.end()) return found->second;
  for (const auto& pattern : rows.patterns) {
    if (pattern.first.matches(tag)) return pattern.second;
  }
  return nullptr;
}
