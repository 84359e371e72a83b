// HMAC-SHA-256 (RFC 2104, FIPS 180-4): a digest of a message that only
// the holder of a secret can make, and that tells nothing of the message.
#ifndef VEILMARK_PROFILE_KEYED_HASH_H_
#define VEILMARK_PROFILE_KEYED_HASH_H_

#include <array>
#include <cstdint>
#include <string>

using Digest = std::array<std::uint8_t, 32>;

Digest Sha256(const std::string& message);

// HMAC-SHA-256 with one secret: its two padded keys are hashed once, here,
// not for each message.
class KeyedHash {
 public:
  explicit KeyedHash(const std::string& secret);
  Digest Of(const std::string& message) const;

 private:
  std::uint32_t inner_[8];
  std::uint32_t outer_[8];
};

#endif  // VEILMARK_PROFILE_KEYED_HASH_H_
