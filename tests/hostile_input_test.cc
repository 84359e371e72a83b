// Hostile file names and contents: nothing crashes or hangs, what cannot be
// read whole is left as it was, and what is anonymized is recorded under
// the exact bytes of its name. (Broken contents of every other kind are the
// fuzzer's: fuzz/.)
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>

#include "platform/large_stack.h"
#include "tests/promise.h"
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
  const std::string open = Le16(8) + Le16(0x1140) + "SQ" + Le16(0) +
                           Le32(0xFFFFFFFF) + Le16(0xFFFE) + Le16(0xE000) +
                           Le32(0xFFFFFFFF);
  const std::string close = Le16(0xFFFE) + Le16(0xE00D) + Le32(0) +
                            Le16(0xFFFE) + Le16(0xE0DD) + Le32(0);
  for (int i = 0; i < levels; ++i) dataset += open;
  for (int i = 0; i < levels; ++i) dataset += close;
  return std::string(128, '\0') + "DICM" + meta +
         (deflated ? RawDeflate(dataset) : dataset);
}

}  // namespace

TEST(HostileInput, NamesOfAnyBytesAreKeptExactly) {
  ScratchFolder folder;
  const std::vector<std::string> names = {
      "IM\xFF\xFE.ima",      "my scan 1.ima", "-rf.ima",
      "it's \"quoted\".ima", "a,b,c.ima",     std::string(251, 'n') + ".ima"};
  for (size_t i = 0; i < names.size(); ++i) {
    // Quoted in the record.
    folder.Write(names[i],
                 Patient("DOE,\"JR\"^JOHN", "2007080" + std::to_string(i)));
  }
  // A new name at the length limit, and one past it.
  folder.Write("long.ima", Patient("DOE^JOHN", std::string(245, '7')));
  folder.Write("longer.ima", Patient("DOE^JOHN", std::string(300, '7')));
  Promise promise(folder.path());
  std::string log = RunFolder(folder.path());
  EXPECT_NE(log.find("Done. 7 file(s) modified."), std::string::npos) << log;
  EXPECT_NE(log.find("ERROR:Couldn't save new file: " + folder.path() +
                     "/ANONDN" + std::string(300, '7') + ".ima\r\n"),
            std::string::npos);
  EXPECT_EQ(promise.Broken(), std::vector<std::string>{});
  EXPECT_EQ(promise.UntouchedOriginals(),
            std::vector<std::string>{"longer.ima"});
  Rows rows = ReadRecord(folder);
  std::vector<std::string> recorded;
  for (size_t i = 1; i < rows.size(); ++i) recorded.push_back(rows[i][0]);
  std::vector<std::string> expected = names;
  expected.push_back("long.ima");
  std::sort(recorded.begin(), recorded.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(recorded, expected);
  EXPECT_EQ(rows[1][2], "DOE,\"JR\"^JOHN");
}

TEST(HostileInput, DeepSequencesAreTakenUpToALimit) {
  ScratchFolder folder;
  WriteBytes(folder / "deep.ima", DeeplyNested(20000, false));
  const std::string deeper = DeeplyNested(150000, false);
  const std::string deflated = DeeplyNested(150000, true);
  WriteBytes(folder / "deeper.ima", deeper);
  WriteBytes(folder / "deflated.ima", deflated);
  const std::string p = folder.path() + "/";
  EXPECT_EQ(RunFolder(folder.path()),
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
  // Reading the copy back needs a deep stack too.
  std::string uid, error;
  LargeStackThread thread;
  ASSERT_TRUE(thread.Start(
      [&] { uid = InstanceUid(folder / "ANONDN20070801.ima"); }, &error));
  thread.Join();
  EXPECT_EQ(uid, "1.2.3.4.5.6.7.8");
}
