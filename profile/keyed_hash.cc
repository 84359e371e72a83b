#include "profile/keyed_hash.h"

namespace {

constexpr std::uint32_t kRounds[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1,
    0x923f82a4, 0xab1c5ed5, 0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3,
    0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174, 0xe49b69c1, 0xefbe4786,
    0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147,
    0x06ca6351, 0x14292967, 0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13,
    0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85, 0xa2bfe8a1, 0xa81a664b,
    0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a,
    0x5b9cca4f, 0x682e6ff3, 0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208,
    0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

std::uint32_t Rotate(std::uint32_t x, int n) { return x >> n | x << (32 - n); }

void Block(const std::uint8_t* p, std::uint32_t* h) {
  std::uint32_t w[64];
  for (int i = 0; i < 16; ++i) {
    w[i] = std::uint32_t{p[4 * i]} << 24 | std::uint32_t{p[4 * i + 1]} << 16 |
           std::uint32_t{p[4 * i + 2]} << 8 | p[4 * i + 3];
  }
  for (int i = 16; i < 64; ++i) {
    const std::uint32_t s0 =
        Rotate(w[i - 15], 7) ^ Rotate(w[i - 15], 18) ^ w[i - 15] >> 3;
    const std::uint32_t s1 =
        Rotate(w[i - 2], 17) ^ Rotate(w[i - 2], 19) ^ w[i - 2] >> 10;
    w[i] = w[i - 16] + s0 + w[i - 7] + s1;
  }
  std::uint32_t v[8];
  for (int i = 0; i < 8; ++i) v[i] = h[i];
  for (int i = 0; i < 64; ++i) {
    const std::uint32_t e = v[4], a = v[0];
    const std::uint32_t t1 = v[7] +
                             (Rotate(e, 6) ^ Rotate(e, 11) ^ Rotate(e, 25)) +
                             ((e & v[5]) ^ (~e & v[6])) + kRounds[i] + w[i];
    const std::uint32_t t2 = (Rotate(a, 2) ^ Rotate(a, 13) ^ Rotate(a, 22)) +
                             ((a & v[1]) ^ (a & v[2]) ^ (v[1] & v[2]));
    for (int k = 7; k > 0; --k) v[k] = v[k - 1];
    v[4] += t1;
    v[0] = t1 + t2;
  }
  for (int i = 0; i < 8; ++i) h[i] += v[i];
}

constexpr std::uint32_t kStart[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372,
                                     0xa54ff53a, 0x510e527f, 0x9b05688c,
                                     0x1f83d9ab, 0x5be0cd19};

// The digest of `prefix` bytes already taken into `h` (whole blocks)
// followed by `message`.
Digest Finish(const std::uint32_t* start, std::uint64_t prefix,
              const std::string& message) {
  std::uint32_t h[8];
  for (int i = 0; i < 8; ++i) h[i] = start[i];
  std::string padded = message;
  padded += '\x80';
  while (padded.size() % 64 != 56) padded += '\0';
  const std::uint64_t bits = (prefix + message.size()) * 8;
  for (int i = 7; i >= 0; --i) padded += static_cast<char>(bits >> (8 * i));
  for (size_t at = 0; at < padded.size(); at += 64) {
    Block(reinterpret_cast<const std::uint8_t*>(padded.data() + at), h);
  }
  Digest digest;
  for (int i = 0; i < 32; ++i) {
    digest[i] = static_cast<std::uint8_t>(h[i / 4] >> (24 - 8 * (i % 4)));
  }
  return digest;
}

}  // namespace

Digest Sha256(const std::string& message) { return Finish(kStart, 0, message); }

KeyedHash::KeyedHash(const std::string& secret) {
  std::string key = secret;
  if (key.size() > 64) {
    const Digest short_key = Sha256(key);
    key.assign(short_key.begin(), short_key.end());
  }
  key.resize(64, '\0');
  std::uint8_t inner[64], outer[64];
  for (int i = 0; i < 64; ++i) {
    inner[i] = static_cast<std::uint8_t>(key[i] ^ 0x36);
    outer[i] = static_cast<std::uint8_t>(key[i] ^ 0x5c);
  }
  for (int i = 0; i < 8; ++i) inner_[i] = outer_[i] = kStart[i];
  Block(inner, inner_);
  Block(outer, outer_);
}

Digest KeyedHash::Of(const std::string& message) const {
  const Digest first = Finish(inner_, 64, message);
  return Finish(outer_, 64, std::string(first.begin(), first.end()));
}
