#include "profile/keyed_hash.h"

#include <gtest/gtest.h>

#include <string>

static std::string Hex(const Digest& digest) {
  static const char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (std::uint8_t byte : digest)
    hex += {kDigits[byte >> 4], kDigits[byte & 15]};
  return hex;
}

// The standards' own examples: a pseudonym or UID that came out otherwise
// would not be the one earlier runs of a folder gave.
TEST(KeyedHash, TheStandardsExamples) {
  // RFC 4231, cases 2 and 6 (a key longer than a block), which take in
  // SHA-256 of one block and of several.
  EXPECT_EQ(Hex(KeyedHash("Jefe").Of("what do ya want for nothing?")),
            "5bdcc146bf60754e6a042426089575c75a003f089d2739839dec58b964ec3843");
  const KeyedHash longKey(std::string(131, '\xaa'));
  EXPECT_EQ(
      Hex(longKey.Of("Test Using Larger Than Block-Size Key - Hash Key First")),
      "60e431591ee0b67f0d8a26aacbf5b77f8e0bc6213728c5140546040f0ee37f54");
}
