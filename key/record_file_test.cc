#include "key/record_file.h"

#include <gtest/gtest.h>

#include "tests/test_folder.h"

TEST(RecordFile, ALineCutShortByACrashStaysOnItsOwnLine) {
  ScratchFolder folder;
  const std::string path = folder / "anonymous_record.csv";
  WriteBytes(path, std::string(kRecordHeader) + "IM0.ima,ANO");
  CFile record;
  std::string error;
  ASSERT_EQ(OpenRecordFile(&record, path.c_str(), &error), RecordOpen::kOpened);
  std::uint64_t start = 0;
  EXPECT_TRUE(
      AppendRecordLines(&record, "IM1.ima,A.ima,B,A\r\n", &start, &error));
  record.Close();
  EXPECT_EQ(ReadBytes(path), std::string(kRecordHeader) +
                                 "IM0.ima,ANO\r\nIM1.ima,A.ima,B,A\r\n");
}

TEST(RecordFile, ARecordThatIsAFifoIsNotOpened) {
  if (!HasFifos()) GTEST_SKIP() << "SKIPPED: the system has no FIFOs";
  ScratchFolder folder;
  CFile record;
  std::string error;
  const std::string fifo = folder / "fifo.csv";
  ASSERT_TRUE(MakeFifo(fifo));
  EXPECT_EQ(OpenRecordFile(&record, fifo.c_str(), &error),
            RecordOpen::kOpenFailed);
}

TEST(RecordFile, ARecordThatIsALinkIsNotFollowed) {
  if (!HasSymbolicLinks()) {
    GTEST_SKIP() << "SKIPPED: the file system has no symbolic links";
  }
  ScratchFolder folder;
  CFile record;
  std::string error;
  const std::string link = folder / "anonymous_record.csv";
  ASSERT_TRUE(MakeSymbolicLink(folder / "elsewhere.csv", link));
  EXPECT_EQ(OpenRecordFile(&record, link.c_str(), &error),
            RecordOpen::kOpenFailed);
  EXPECT_EQ(ProbeRecordFile(link.c_str(), folder.path().c_str()),
            RecordOpen::kOpenFailed);
  EXPECT_FALSE(Exists(folder / "elsewhere.csv"));
}

// Every line a run can write reads back as it was written: names of the
// bytes a file or patient name can hold, those the record quotes, line
// breaks and tabs among them, whatever lines stand around it.
TEST(RecordFile, EveryLineReadsBackAsWritten) {
  const std::string alphabet[] = {"a", "Z", ",", "\"", "\r",       "\n",  "\t",
                                  ".", " ", "^", "=",  "\xc3\xa9", "\xff"};
  unsigned seed = 12345;
  auto next = [&seed](unsigned bound) {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 16) % bound;
  };
  // A file's name holds what the system's names can hold.
  std::vector<std::string> fileAlphabet;
  for (const std::string& symbol : alphabet) {
    if (IsPossibleName(symbol)) fileAlphabet.push_back(symbol);
  }
  auto name = [&](bool file) {
    std::string text;
    for (unsigned n = next(9); n > 0; --n) {
      text +=
          file ? fileAlphabet[next(static_cast<unsigned>(fileAlphabet.size()))]
               : alphabet[next(13)];
    }
    return file ? text + ".ima" : text + "x";
  };
  std::string text = kRecordHeader;
  std::vector<std::vector<std::string>> written;
  for (int i = 0; i < 2000; ++i) {
    written.push_back({name(true), name(true), name(false), name(false)});
    const auto& w = written.back();
    text += RecordLine(w[0], w[1], w[2], w[3]);
  }
  std::vector<RecordEntry> entries;
  ParseRecordText(text, &entries);
  ASSERT_EQ(entries.size(), written.size());
  for (size_t i = 0; i < written.size(); ++i) {
    const RecordEntry& e = entries[i];
    ASSERT_TRUE(e.parsed) << i;
    EXPECT_EQ((std::vector<std::string>{e.oldFile.str(), e.newFile.str(),
                                        e.oldName.str(), e.newName.str()}),
              written[i]);
    EXPECT_TRUE(e.Usable()) << i;
  }
}
