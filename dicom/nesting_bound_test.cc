#include "dicom/nesting_bound.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include "tests/test_folder.h"

namespace {

constexpr unsigned long kLimit = 1000;
constexpr size_t kPiece = 1 << 20;  // what the check reads at a time

// 2 MiB and more of bytes that are no tags but hold E0 bytes all over,
// with `tags` item tags in the byte order asked for: one of them split
// where the check's first piece ends, the others near the start.
std::string Dataset(unsigned long tags, bool bigEndian) {
  std::string bytes(2 * kPiece + 4096, '\xE0');
  const std::string tag = bigEndian ? std::string("\xFF\xFE\xE0\x00", 4)
                                    : std::string("\xFE\xFF\x00\xE0", 4);
  // Big endian: the E0 the last byte of the piece; little: the E0 the
  // first of the next.
  bytes.replace(kPiece - (bigEndian ? 3 : 2), 4, tag);
  for (unsigned long i = 1; i < tags; ++i) bytes.replace(100 + 8 * i, 4, tag);
  return bytes;
}

// A meta header (explicit VR little endian) of `elements`.
std::string MetaHeader(const std::string& elements) {
  return std::string(128, '\0') + "DICM" + elements;
}

std::string Element(uint16_t element, const char* vr,
                    const std::string& value) {
  std::string out = {'\x02',
                     '\x00',
                     static_cast<char>(element & 0xFF),
                     static_cast<char>(element >> 8),
                     vr[0],
                     vr[1]};
  const uint32_t length = static_cast<uint32_t>(value.size());
  if (std::string(vr) == "OB") {
    out += std::string(2, '\0');
    for (int k = 0; k < 4; ++k) out += static_cast<char>(length >> (8 * k));
  } else {
    out += {static_cast<char>(length & 0xFF), static_cast<char>(length >> 8)};
  }
  return out + value;
}

const std::string kDeflatedSyntax =
    Element(0x0001, "OB", std::string("\x00\x01", 2)) +
    Element(0x0010, "UI", std::string("1.2.840.10008.1.2.1.99\0", 23));

// `bytes` deflated as the transfer syntax has it: raw, no zlib header.
std::string Deflated(const std::string& bytes) {
  z_stream zs = {};
  deflateInit2(&zs, Z_BEST_SPEED, Z_DEFLATED, -MAX_WBITS, 8,
               Z_DEFAULT_STRATEGY);
  std::string out(deflateBound(&zs, bytes.size()), '\0');
  zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
  zs.avail_in = static_cast<uInt>(bytes.size());
  zs.next_out = reinterpret_cast<Bytef*>(&out[0]);
  zs.avail_out = static_cast<uInt>(out.size());
  deflate(&zs, Z_FINISH);
  out.resize(zs.total_out);
  deflateEnd(&zs);
  return out;
}

// Bytes that deflate cannot shrink, holding no tag, then `tags` tags: the
// compressed tags lie past the check's first piece.
std::string Incompressible(unsigned long tags) {
  std::string bytes;
  unsigned seed = 7;
  for (size_t i = 0; i < 3 * kPiece / 2; ++i) {
    seed = seed * 1103515245u + 12345u;
    bytes += static_cast<char>((seed >> 16) & 0x7F);  // never FE, FF or E0
  }
  for (unsigned long i = 0; i < tags; ++i) {
    bytes += std::string("\xFE\xFF\x00\xE0", 4);
  }
  return bytes;
}

Nesting Check(const std::string& bytes) {
  ScratchFolder folder;
  WriteBytes(folder / "f.ima", bytes);
  SourceFile file;
  std::string error;
  EXPECT_EQ(file.Open(folder / "f.ima", &error, false), SourceFile::kOpened);
  return CheckNesting(file, kLimit, &error);
}

}  // namespace

// Item tags in either byte order, one split between two reads, deflated
// or not: as many as the limit pass, one more is too deep; no other byte
// counts. A meta header that cannot be walked is refused only where it
// names the deflated syntax, which leaves the tags out of sight.
TEST(NestingBound, EveryItemTagCountsAndNothingElse) {
  for (bool bigEndian : {false, true}) {
    SCOPED_TRACE(bigEndian ? "big endian" : "little endian");
    EXPECT_EQ(Check(Dataset(kLimit, bigEndian)), Nesting::kWithin);
    std::string deeper = Dataset(kLimit + 1, bigEndian);
    EXPECT_EQ(Check(deeper), Nesting::kTooDeep);
    deeper[kPiece] = '\x01';  // the split tag's third byte: no tag
    EXPECT_EQ(Check(deeper), Nesting::kWithin);
  }
  const std::string deflated = MetaHeader(kDeflatedSyntax);
  EXPECT_EQ(Check(deflated + Deflated(Incompressible(kLimit))),
            Nesting::kWithin);
  EXPECT_EQ(Check(deflated + Deflated(Incompressible(kLimit + 1))),
            Nesting::kTooDeep);

  const std::string unwalkable = Element(0x0102, "OB", std::string(9000, 'x'));
  EXPECT_EQ(Check(MetaHeader(unwalkable)), Nesting::kWithin);
  EXPECT_EQ(Check(MetaHeader(kDeflatedSyntax + unwalkable)),
            Nesting::kUnreadable);
}
