#include "profile/keyed_hash.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string Hex(const Digest& digest) {
  static const char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (std::uint8_t byte : digest) {
    hex += kDigits[byte >> 4];
    hex += kDigits[byte & 15];
  }
  return hex;
}

// The standards' own examples: a pseudonym or UID that came out otherwise
// would not be the one earlier runs of a folder gave.
TEST(KeyedHash, TheStandardsExamples) {
  EXPECT_EQ(Hex(Sha256("abc")),
            "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  EXPECT_EQ(Hex(Sha256("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq")),
            "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
  // RFC 4231, cases 2 and 6 (a key longer than a block).
  EXPECT_EQ(Hex(KeyedHash("Jefe").Of("what do ya want for nothing?")),
            "5bdcc146bf60754e6a042426089575c75a003f089d2739839dec58b964ec3843");
  const KeyedHash longKey(std::string(131, '\xaa'));
  EXPECT_EQ(Hex(longKey.Of("Test Using Larger Than Block-Size Key - Hash Key First")),
            "60e431591ee0b67f0d8a26aacbf5b77f8e0bc6213728c5140546040f0ee37f54");
}

}  // namespace
