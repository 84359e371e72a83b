// HMAC-SHA-256 (RFC 2104, FIPS 180-4): a digest of a message that only
// the holder of a secret can make, and that tells nothing of the message.
#ifndef VEILMARK_PROFILE_KEYED_HASH_H_
#define VEILMARK_PROFILE_KEYED_HASH_H_

#include <array>
#include <cstdint>
#include <string>

using Digest = std::array<std::uint8_t, 32>;

Digest Sha256(const std::string& message);
Digest KeyedHash(const std::string& secret, const std::string& message);

#endif  // VEILMARK_PROFILE_KEYED_HASH_H_
