#include "dicom/nesting_bound.h"

#include <gtest/gtest.h>

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

// The preamble and a meta header naming the deflated transfer syntax:
// (0002,0001) OB and (0002,0010) UI, explicit VR little endian.
const std::string kPreamble = std::string(128, '\0') + "DICM";
const std::string kDeflatedSyntax =
    std::string("\x02\0\x01\0OB\0\0\x02\0\0\0\0\x01", 14) +
    std::string(
        "\x02\0\x10\0UI\x17\0"
        "1.2.840.10008.1.2.1.99\0",
        31);
// A meta element (0002,0102) OB of 9000 bytes: past the head that is read.
const std::string kUnwalkable =
    std::string("\x02\0\x02\x01OB\0\0\x28\x23\0\0", 12) +
    std::string(9000, 'x');

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
  const std::string deflated = kPreamble + kDeflatedSyntax;
  EXPECT_EQ(Check(deflated + RawDeflate(Incompressible(kLimit))),
            Nesting::kWithin);
  EXPECT_EQ(Check(deflated + RawDeflate(Incompressible(kLimit + 1))),
            Nesting::kTooDeep);

  EXPECT_EQ(Check(kPreamble + kUnwalkable), Nesting::kWithin);
  EXPECT_EQ(Check(kPreamble + kDeflatedSyntax + kUnwalkable),
            Nesting::kUnreadable);
}
