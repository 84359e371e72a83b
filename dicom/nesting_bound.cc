#include "dicom/nesting_bound.h"

#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

constexpr char kDeflatedUid[] = "1.2.840.10008.1.2.1.99";
constexpr size_t kChunk = 1 << 20;
constexpr size_t kHeadBytes = 8192;

// Counts item tags, in either byte order, in a stream of bytes fed in
// pieces; a tag split between two pieces is counted too. The tags are found
// by their E0 byte, which memchr finds fast.
class ItemTagCounter {
 public:
  explicit ItemTagCounter(unsigned long limit) : limit_(limit) {}
  void Feed(const unsigned char* bytes, size_t size) {
    if (size == 0) return;
    if (pending_ && bytes[0] == 0x00) ++count_;
    pending_ = false;
    // Byte k of this piece; negative k reaches back into earlier pieces.
    auto at = [&](std::ptrdiff_t k) -> int {
      return k >= 0 ? bytes[k] : before_[3 + k];
    };
    const unsigned char* end = bytes + size;
    for (const unsigned char* p = bytes; p < end && count_ <= limit_;) {
      const auto* e0 = static_cast<const unsigned char*>(
          std::memchr(p, 0xE0, static_cast<size_t>(end - p)));
      if (!e0) break;
      std::ptrdiff_t i = e0 - bytes;
      if (at(i - 3) == 0xFE && at(i - 2) == 0xFF && at(i - 1) == 0x00) {
        ++count_;  // FE FF 00 E0, little endian
      } else if (at(i - 2) == 0xFF && at(i - 1) == 0xFE) {
        // FF FE E0 00, big endian: the last byte may be in the next piece.
        if (e0 + 1 == end) {
          pending_ = true;
        } else if (e0[1] == 0x00) {
          ++count_;
        }
      }
      p = e0 + 1;
    }
    for (int k = 0; k < 3; ++k)
      before_[k] = at(static_cast<std::ptrdiff_t>(size) - 3 + k);
  }
  bool Exceeded() const { return count_ > limit_; }

 private:
  unsigned long limit_;
  unsigned long count_ = 0;
  int before_[3] = {-1, -1, -1};  // the last bytes fed, or none
  bool pending_ = false;          // a big-endian tag cut right after its E0
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

bool CountInflated(const SourceFile& file, unsigned long long offset,
                   ItemTagCounter* counter, std::string* error) {
  z_stream zs;
  std::memset(&zs, 0, sizeof zs);
  if (inflateInit2(&zs, -MAX_WBITS) != Z_OK) {
    *error = "cannot inflate";
    return false;
  }
  std::vector<unsigned char> input(kChunk), output(kChunk);
  int rc = Z_OK;
  while (rc != Z_STREAM_END && !counter->Exceeded()) {
    long got = file.ReadAt(offset, input.data(), kChunk);
    if (got <= 0) break;  // a stream cut short: the load will tell
    offset += static_cast<unsigned long long>(got);
    zs.next_in = input.data();
    zs.avail_in = static_cast<uInt>(got);
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

Nesting CheckNesting(const SourceFile& file, unsigned long limit,
                     std::string* error) {
  const unsigned long long size = file.Size();
  // The meta header, which says whether the dataset is deflated, is near
  // the start; one that runs past what is read here cannot be walked.
  std::vector<unsigned char> head(
      static_cast<size_t>(std::min<unsigned long long>(size, kHeadBytes)));
  long got = file.ReadAt(0, head.data(), head.size());
  if (got < 0) {
    *error = std::strerror(errno);
    return Nesting::kUnreadable;
  }
  head.resize(static_cast<size_t>(got));

  bool deflated = false;
  size_t datasetStart = 0;
  if (head.size() >= 132 && std::memcmp(&head[128], "DICM", 4) == 0 &&
      !WalkMetaHeader(head, &datasetStart, &deflated)) {
    // A header DCMTK may still read, naming deflate: not checkable.
    std::string text(head.begin(), head.end());
    if (text.find(kDeflatedUid) != std::string::npos) {
      *error = "unreadable file meta information";
      return Nesting::kUnreadable;
    }
  }
  // An item tag takes 8 bytes: a small enough file cannot hold too many.
  if (!deflated && size / 8 <= limit) return Nesting::kWithin;

  ItemTagCounter counter(limit);
  if (deflated) {
    if (!CountInflated(file, datasetStart, &counter, error)) {
      return Nesting::kUnreadable;
    }
  } else {
    std::vector<unsigned char> chunk(kChunk);
    unsigned long long offset = 0;
    while (!counter.Exceeded()) {
      long n = file.ReadAt(offset, chunk.data(), kChunk);
      if (n <= 0) break;
      counter.Feed(chunk.data(), static_cast<size_t>(n));
      offset += static_cast<unsigned long long>(n);
    }
  }
  return counter.Exceeded() ? Nesting::kTooDeep : Nesting::kWithin;
}
