// Hostile file names and contents: nothing crashes or hangs, what cannot be
// read whole is left as it was, and what is anonymized is recorded under
// the exact bytes of its name. (Broken contents of every other kind are the
// fuzzer's: fuzz/.)
#include <gtest/gtest.h>

#include <algorithm>

#include "platform/system/large_stack.h"
#include "tests/promise.h"
#include "tests/test_folder.h"

namespace {

std::string Le16(unsigned v) { return {char(v & 0xFF), char(v >> 8)}; }
std::string Le32(unsigned v) { return Le16(v & 0xFFFF) + Le16(v >> 16); }
std::string Be16(unsigned v) { return {char(v >> 8), char(v & 0xFF)}; }
std::string Be32(unsigned v) { return Be16(v >> 16) + Be16(v & 0xFFFF); }

// Explicit VR, in little or big endian byte order.
struct Encoder {
  bool big;
  std::string U16(unsigned v) const { return big ? Be16(v) : Le16(v); }
  std::string U32(unsigned v) const { return big ? Be32(v) : Le32(v); }
  std::string Element(unsigned group, unsigned element, const char* vr,
                      const std::string& value) const {
    return U16(group) + U16(element) + vr + U16(value.size()) + value;
  }
};

enum class Encoding { kLittle, kBig, kDeflated };

// A file whose dataset nests `levels` sequences of undefined length.
std::string DeeplyNested(int levels, Encoding encoding) {
  static const char* const kUids[] = {
      "1.2.840.10008.1.2.1", "1.2.840.10008.1.2.2", "1.2.840.10008.1.2.1.99"};
  std::string uid = kUids[static_cast<int>(encoding)];
  uid += std::string(uid.size() % 2, '\0');
  const Encoder le{false}, e{encoding == Encoding::kBig};
  std::string meta = le.Element(2, 0x10, "UI", uid);
  meta = le.Element(2, 0, "UL", Le32(meta.size())) + meta;
  std::string dataset = e.Element(8, 0x20, "DA", "20070801") +
                        e.Element(8, 0x18, "UI", "1.2.3.4.5.6.7.8") +
                        e.Element(0x10, 0x10, "PN", "DOE^JOHN");
  const std::string open = e.U16(8) + e.U16(0x1140) + "SQ" + e.U16(0) +
                           e.U32(0xFFFFFFFF) + e.U16(0xFFFE) + e.U16(0xE000) +
                           e.U32(0xFFFFFFFF);
  const std::string close = e.U16(0xFFFE) + e.U16(0xE00D) + e.U32(0) +
                            e.U16(0xFFFE) + e.U16(0xE0DD) + e.U32(0);
  for (int i = 0; i < levels; ++i) dataset += open;
  for (int i = 0; i < levels; ++i) dataset += close;
  return std::string(128, '\0') + "DICM" + meta +
         (encoding == Encoding::kDeflated ? RawDeflate(dataset) : dataset);
}

}  // namespace

// Whatever a run records, its undo reads back: names of any bytes the
// system takes (Windows takes no name that is not UTF-8 or holds a quote or
// a control character), with the characters the record quotes, line breaks
// and tabs included.
TEST(HostileInput, NamesOfAnyBytesAreKeptExactly) {
  ScratchFolder folder;
  const std::vector<std::string> names = {
      "IM\xFF\xFE.ima",
      "my scan 1.ima",
      "-rf.ima",
      "it's \"quoted\".ima",
      "a,b,c.ima",
      std::string(251, 'n') + ".ima",
      ".ima",
      "tab\there.ima",
      "line\nbreak\r.ima",
      ".hidden.ima",
      "M\xc3\xbcller \xe5\xb1\xb1\xe7\x94\xb0.ima"};
  std::vector<std::string> expected;
  for (size_t i = 0; i < names.size(); ++i) {
    if (!IsPossibleName(names[i])) continue;
    expected.push_back(names[i]);
    // Quoted in the record.
    folder.Write(names[i], Patient(i % 2 ? "DOE,\"JR\"^JOHN" : "DOE\r\n\t^JOHN",
                                   "200708" + std::to_string(10 + i)));
  }
  // A new name at the length limit, and one past it.
  folder.Write("long.ima", Patient("DOE^JOHN", std::string(245, '7')));
  folder.Write("longer.ima", Patient("DOE^JOHN", std::string(300, '7')));
  const auto before = Datasets(folder.path());
  Promise promise(folder.path());
  const std::string log = RunLogged(folder.path()).log;
  const std::string done = std::to_string(expected.size() + 1) + " file(s)";
  EXPECT_PRED_FORMAT2(testing::IsSubstring, "Done. " + done + " modified.",
                      log);
  EXPECT_PRED_FORMAT2(testing::IsSubstring,
                      "ERROR:Couldn't save new file: " +
                          folder / ("ANONDN" + std::string(300, '7') + ".ima") +
                          "\r\n",
                      log);
  EXPECT_EQ(promise.Broken(), std::vector<std::string>{});
  EXPECT_EQ(promise.UntouchedOriginals(),
            std::vector<std::string>{"longer.ima"});
  Rows rows = ReadRecord(folder);
  std::vector<std::string> recorded;
  for (const auto& row : rows) recorded.push_back(row[0]);
  expected.push_back("long.ima");
  std::sort(recorded.begin(), recorded.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(recorded, expected);
  EXPECT_EQ(rows[0][2], "DOE\r\n\t^JOHN");
  EXPECT_EQ(rows[1][2], "DOE,\"JR\"^JOHN");

  RunOptions undo;
  undo.restore = true;
  const std::string undone = RunLogged(folder.path(), undo).log;
  EXPECT_PRED_FORMAT2(testing::IsSubstring, "Done. " + done + " restored.",
                      undone);
  EXPECT_TRUE(Datasets(folder.path()) == before) << undone;

  EXPECT_EQ(ReadRecord(folder).size(), 0u);
}

TEST(HostileInput, DeepSequencesAreTakenUpToALimit) {
  ScratchFolder folder;
  WriteBytes(folder / "deep.ima", DeeplyNested(20000, Encoding::kLittle));
  std::string expected = "Anonymizing file: deep.ima\r\n";
  const std::pair<const char*, Encoding> deeper[] = {
      {"deeper_big.ima", Encoding::kBig},
      {"deeper_deflated.ima", Encoding::kDeflated},
      {"deeper_little.ima", Encoding::kLittle}};
  std::vector<std::string> bytes;
  for (const auto& [name, encoding] : deeper) {
    bytes.push_back(DeeplyNested(150000, encoding));
    WriteBytes(folder / name, bytes.back());
    expected += "Anonymizing file: " + std::string(name) +
                "\r\nERROR:Couldn't load file: FOLDER/" + name +
                " (sequences nested too deeply)\r\n";
  }
  EXPECT_EQ(Folded(RunLogged(folder.path()).log, folder),
            expected + "Done. 1 file(s) modified.\r\n");
  for (size_t i = 0; i < bytes.size(); ++i) {
    EXPECT_EQ(ReadBytes(folder / deeper[i].first), bytes[i]);
  }
  // A deflated stream cut short fails its load; nothing waits for the rest.
  ScratchFolder cut;
  const std::string deflated = DeeplyNested(20000, Encoding::kDeflated);
  WriteBytes(cut / "cut.ima", deflated.substr(0, deflated.size() / 2));
  EXPECT_PRED_FORMAT2(testing::IsSubstring,
                      "ERROR:Couldn't load file: " + cut / "cut.ima",
                      RunLogged(cut.path()).log);
  // Reading the copy back needs a deep stack too.
  std::string uid, error;
  LargeStackThread thread;
  ASSERT_TRUE(thread.Start(
      [&] { uid = InstanceUid(folder / "ANONDN20070801.ima"); }, &error));
  thread.Join();
  EXPECT_EQ(uid, "1.2.3.4.5.6.7.8");
}
