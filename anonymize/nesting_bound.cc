#include "anonymize/nesting_bound.h"

#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <vector>

namespace {

constexpr char kDeflatedUid[] = "1.2.840.10008.1.2.1.99";
constexpr size_t kChunk = 1 << 16;

// Counts item tags, in either byte order, in a stream of bytes fed in
// pieces; a tag split between two pieces is counted too.
class ItemTagCounter {
 public:
  explicit ItemTagCounter(unsigned long limit) : limit_(limit) {}
  void Feed(const unsigned char* bytes, size_t size) {
    for (size_t i = 0; i < size && count_ <= limit_; ++i) {
      last_ = (last_ << 8) | bytes[i];
      // FFFE,E000 as written little endian (FE FF 00 E0) or big endian.
      if (last_ == 0xFEFF00E0u || last_ == 0xFFFEE000u) ++count_;
    }
  }
  bool Exceeded() const { return count_ > limit_; }

 private:
  unsigned long limit_;
  unsigned long count_ = 0;
  uint32_t last_ = 0;
};

uint16_t Le16(const unsigned char* p) { return p[0] | (p[1] << 8); }
uint32_t Le32(const unsigned char* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t{p[3]} << 24);
}

// Finds where a file's meta header ends (it is always explicit VR little
// endian) and whether it names the deflated transfer syntax. False when the
// header cannot be walked.
bool WalkMetaHeader(const std::vector<unsigned char>& head, size_t* end,
                    bool* deflated) {
  size_t at = 132;
  *deflated = false;
  while (at + 8 <= head.size() && Le16(&head[at]) == 0x0002) {
    uint16_t element = Le16(&head[at + 2]);
    char vr[3] = {static_cast<char>(head[at + 4]),
                  static_cast<char>(head[at + 5]), 0};
    uint32_t length;
    size_t value;
    if (!strcmp(vr, "OB") || !strcmp(vr, "OW") || !strcmp(vr, "UN") ||
        !strcmp(vr, "SQ") || !strcmp(vr, "UT") || !strcmp(vr, "OF")) {
      if (at + 12 > head.size()) return false;
      length = Le32(&head[at + 8]);
      value = at + 12;
    } else {
      length = Le16(&head[at + 6]);
      value = at + 8;
    }
    if (length == 0xFFFFFFFFu || value + length > head.size()) return false;
    if (element == 0x0010) {
      std::string uid(reinterpret_cast<const char*>(&head[value]), length);
      while (!uid.empty() && (uid.back() == '\0' || uid.back() == ' ')) {
        uid.pop_back();
      }
      *deflated = uid == kDeflatedUid;
    }
    at = value + length;
  }
  *end = at;
  return true;
}

bool CountInflated(std::ifstream& in, ItemTagCounter* counter,
                   std::string* error) {
  z_stream zs;
  std::memset(&zs, 0, sizeof zs);
  if (inflateInit2(&zs, -MAX_WBITS) != Z_OK) {
    *error = "cannot inflate";
    return false;
  }
  std::vector<unsigned char> input(kChunk), output(kChunk);
  int rc = Z_OK;
  while (rc != Z_STREAM_END && !counter->Exceeded()) {
    in.read(reinterpret_cast<char*>(input.data()), kChunk);
    zs.next_in = input.data();
    zs.avail_in = static_cast<uInt>(in.gcount());
    if (zs.avail_in == 0) break;  // a stream cut short: the load will tell
    do {
      zs.next_out = output.data();
      zs.avail_out = kChunk;
      rc = inflate(&zs, Z_NO_FLUSH);
      if (rc != Z_OK && rc != Z_STREAM_END && rc != Z_BUF_ERROR) break;
      counter->Feed(output.data(), kChunk - zs.avail_out);
    } while (zs.avail_out == 0 && rc != Z_STREAM_END && !counter->Exceeded());
    if (rc != Z_OK && rc != Z_STREAM_END && rc != Z_BUF_ERROR) break;
  }
  inflateEnd(&zs);
  return true;
}

}  // namespace

Nesting CheckNesting(const std::string& path, unsigned long limit,
                     std::string* error) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  if (!in) {
    *error = std::strerror(errno);
    return Nesting::kUnreadable;
  }
  const std::streamoff size = in.tellg();
  in.seekg(0);
  std::vector<unsigned char> head(
      static_cast<size_t>(std::min<std::streamoff>(size, kChunk)));
  in.read(reinterpret_cast<char*>(head.data()),
          static_cast<std::streamsize>(head.size()));

  bool deflated = false;
  size_t datasetStart = 0;
  if (head.size() >= 132 && std::memcmp(&head[128], "DICM", 4) == 0 &&
      !WalkMetaHeader(head, &datasetStart, &deflated)) {
    // A header the toolkit may still read, naming deflate: not checkable.
    std::string text(head.begin(), head.end());
    if (text.find(kDeflatedUid) != std::string::npos) {
      *error = "unreadable file meta information";
      return Nesting::kUnreadable;
    }
  }
  // An item tag takes 8 bytes: a small enough file cannot hold too many.
  if (!deflated && static_cast<unsigned long long>(size) / 8 <= limit) {
    return Nesting::kWithinLimit;
  }

  ItemTagCounter counter(limit);
  in.clear();
  in.seekg(static_cast<std::streamoff>(deflated ? datasetStart : 0));
  if (deflated) {
    if (!CountInflated(in, &counter, error)) return Nesting::kUnreadable;
  } else {
    std::vector<unsigned char> chunk(kChunk);
    while (!counter.Exceeded() &&
           in.read(reinterpret_cast<char*>(chunk.data()), kChunk).gcount() >
               0) {
      counter.Feed(chunk.data(), static_cast<size_t>(in.gcount()));
    }
  }
  return counter.Exceeded() ? Nesting::kTooDeep : Nesting::kWithinLimit;
}
