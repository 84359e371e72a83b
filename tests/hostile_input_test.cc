// Hostile file names and contents: nothing crashes or hangs, what cannot be
// read whole is left as it was, and what is anonymized is recorded under
// the exact bytes of its name.
#include <gtest/gtest.h>
#include <zlib.h>

#include <random>

#include "platform/large_stack.h"
#include "tests/promise.h"
#include "tests/run_folder.h"
#include "tests/test_folder.h"

namespace {

std::string Le16(unsigned v) { return {char(v & 0xFF), char(v >> 8)}; }
std::string Le32(unsigned v) { return Le16(v & 0xFFFF) + Le16(v >> 16); }
std::string Element(unsigned group, unsigned element, const char* vr,
                    const std::string& value) {
  return Le16(group) + Le16(element) + vr + Le16(value.size()) + value;
}

std::string RawDeflate(const std::string& bytes) {
  z_stream zs{};
  deflateInit2(&zs, Z_BEST_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8,
               Z_DEFAULT_STRATEGY);
  std::string out(deflateBound(&zs, bytes.size()), '\0');
  zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
  zs.avail_in = bytes.size();
  zs.next_out = reinterpret_cast<Bytef*>(&out[0]);
  zs.avail_out = out.size();
  deflate(&zs, Z_FINISH);
  out.resize(zs.total_out);
  deflateEnd(&zs);
  return out;
}

// A file whose dataset nests `levels` sequences of undefined length.
std::string DeeplyNested(int levels, bool deflated) {
  std::string uid = deflated ? "1.2.840.10008.1.2.1.99" : "1.2.840.10008.1.2.1";
  uid += std::string(uid.size() % 2, '\0');
  std::string meta = Element(2, 0x10, "UI", uid);
  meta = Le16(2) + Le16(0) + "UL" + Le16(4) + Le32(meta.size()) + meta;
  std::string dataset = Element(8, 0x20, "DA", "20070801") +
                        Element(8, 0x18, "UI", "1.2.3.4.5.6.7.8") +
                        Element(0x10, 0x10, "PN", "DOE^JOHN");
  std::string open = Le16(8) + Le16(0x1140) + "SQ" + Le16(0) +
                     Le32(0xFFFFFFFF) + Le16(0xFFFE) + Le16(0xE000) +
                     Le32(0xFFFFFFFF);
  std::string close = Le16(0xFFFE) + Le16(0xE00D) + Le32(0) + Le16(0xFFFE) +
                      Le16(0xE0DD) + Le32(0);
  std::string nested;
  nested.reserve(levels * (open.size() + close.size()));
  for (int i = 0; i < levels; ++i) nested += open;
  for (int i = 0; i < levels; ++i) nested += close;
  dataset += nested;
  return std::string(128, '\0') + "DICM" + meta +
         (deflated ? RawDeflate(dataset) : dataset);
}

// The bytes of `fixture` as a file.
std::string Bytes(const Fixture& fixture) {
  ScratchFolder scratch;
  scratch.Write("f.ima", fixture);
  return ReadBytes(scratch / "f.ima");
}

// Sets the 16-bit length of the element whose header starts with `tag`.
std::string WithLength16(std::string bytes, const std::string& tag,
                         unsigned length) {
  size_t at = bytes.find(tag);
  if (at != std::string::npos) bytes.replace(at + 6, 2, Le16(length));
  return bytes;
}

}  // namespace

TEST(HostileInput, NamesOfAnyBytesAreKeptExactly) {
  ScratchFolder folder;
  const std::vector<std::string> names = {"IM\xFF\xFE.ima",
                                          "my scan 1.ima",
                                          "-rf.ima",
                                          "--help.ima",
                                          "it's \"quoted\".ima",
                                          "a,b,c.ima",
                                          std::string(251, 'n') + ".ima",
                                          "\xE2\x80\xAE"
                                          "ami.exe.ima"};
  for (size_t i = 0; i < names.size(); ++i) {
    Fixture fixture;
    fixture.patientName = "DOE,\"JR\"^JOHN";  // quoted in the record
    fixture.studyDate = "2007080" + std::to_string(i);
    folder.Write(names[i], fixture);
  }
  Promise promise(folder.path());
  std::string log = RunFolder(folder.path());
  EXPECT_NE(log.find("Done. 8 file(s) modified."), std::string::npos) << log;
  EXPECT_EQ(promise.Broken(), std::vector<std::string>{});
  auto rows = ReadRecord(folder / "anonymous_record.csv");
  ASSERT_EQ(rows.size(), names.size() + 1);
  std::vector<std::string> recorded, expected = names;
  for (size_t i = 1; i < rows.size(); ++i) {
    recorded.push_back(rows[i][0]);
    EXPECT_EQ(rows[i][2], "DOE,\"JR\"^JOHN");
  }
  std::sort(recorded.begin(), recorded.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(recorded, expected);
  EXPECT_TRUE(Exists(folder / "ANONDN20070806.ima"));
  EXPECT_TRUE(Exists(folder / "ANONDN20070807.exe.ima"));
}

TEST(HostileInput, NewNamesAtTheLengthLimitFailCleanly) {
  ScratchFolder folder;
  Fixture fixture;
  // "ANON" + 2 + 245 + ".ima" is 255 bytes, the longest name there is; the
  // second file would need "_2" on top, and a longer date fits nowhere.
  fixture.studyDate = std::string(245, '7');
  folder.Write("a.ima", fixture);
  folder.Write("b.ima", fixture);
  fixture.studyDate = std::string(300, '7');
  folder.Write("c.ima", fixture);
  Promise promise(folder.path());
  std::string log = RunFolder(folder.path());
  EXPECT_NE(log.find("Done. 1 file(s) modified."), std::string::npos) << log;
  EXPECT_NE(log.find("ERROR:Couldn't save new file: " + folder.path() +
                     "/ANONDN" + std::string(245, '7') + ".ima\r\n"),
            std::string::npos)
      << log;
  EXPECT_EQ(promise.Broken(), std::vector<std::string>{});
  EXPECT_EQ(promise.UntouchedOriginals(),
            (std::vector<std::string>{"b.ima", "c.ima"}));
  for (const std::string& name : folder.Names()) {
    EXPECT_EQ(name.find(".veilmark-"), std::string::npos) << name;
  }
}

TEST(HostileInput, BrokenContentsNeverCrashAndAreLeftAlone) {
  ScratchFolder folder;
  Fixture rich;
  rich.sequence = true;
  rich.privateBytes = 5000;
  rich.pixelBytes = 8192;
  const std::string valid = Bytes(rich);

  WriteBytes(folder / "empty.ima", "");
  std::mt19937 random(7);
  for (size_t size : {1, 132, 5000, 100000}) {
    std::string noise(size, '\0');
    for (char& c : noise) c = static_cast<char>(random());
    WriteBytes(folder / ("noise" + std::to_string(size) + ".ima"), noise);
  }
  for (size_t cut = 64; cut < valid.size(); cut += 64) {
    WriteBytes(folder / ("cut" + std::to_string(cut) + ".ima"),
               valid.substr(0, cut));
  }
  // (0010,0020) Patient ID: its length pointed far past the end, or to
  // the end of everything.
  const std::string patientId = Le16(0x10) + Le16(0x20) + "LO";
  WriteBytes(folder / "past_end.ima", WithLength16(valid, patientId, 0x7FF0));
  std::string huge = valid;
  size_t pixels = huge.find(Le16(0x7FE0) + Le16(0x10) + "OW");
  ASSERT_NE(pixels, std::string::npos);
  huge.replace(pixels + 8, 4, Le32(0xFFFFFFF0));
  WriteBytes(folder / "huge_length.ima", huge);

  Promise promise(folder.path());
  std::string log = RunFolder(folder.path());
  EXPECT_NE(log.find("Done."), std::string::npos);
  EXPECT_EQ(promise.Broken(), std::vector<std::string>{});
  for (const char* name : {"empty.ima", "noise1.ima", "noise5000.ima",
                           "past_end.ima", "huge_length.ima"}) {
    EXPECT_TRUE(Exists(folder / name)) << name;
  }
}

TEST(HostileInput, DeepSequencesAreTakenUpToALimit) {
  ScratchFolder folder;
  WriteBytes(folder / "deep.ima", DeeplyNested(20000, false));
  const std::string deeper = DeeplyNested(150000, false);
  const std::string deflated = DeeplyNested(150000, true);
  WriteBytes(folder / "deeper.ima", deeper);
  WriteBytes(folder / "deflated.ima", deflated);
  std::string log = RunFolder(folder.path());
  const std::string p = folder.path() + "/";
  EXPECT_EQ(log,
            "Anonymizing file: deep.ima\r\n"
            "Anonymizing file: deeper.ima\r\n"
            "ERROR:Couldn't load file: " +
                p +
                "deeper.ima (sequences nested too deeply)\r\n"
                "Anonymizing file: deflated.ima\r\n"
                "ERROR:Couldn't load file: " +
                p +
                "deflated.ima (sequences nested too deeply)\r\n"
                "Done. 1 file(s) modified.\r\n");
  EXPECT_EQ(ReadBytes(folder / "deeper.ima"), deeper);
  EXPECT_EQ(ReadBytes(folder / "deflated.ima"), deflated);
  // Reading the copy back needs the deep stack too.
  std::string uid, error;
  ASSERT_TRUE(RunOnLargeStack(
      [&] { uid = InstanceUid(folder / "ANONDN20070801.ima"); }, &error));
  EXPECT_EQ(uid, "1.2.3.4.5.6.7.8");
}
