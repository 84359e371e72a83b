#include "key/record_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <utility>

#include "tests/test_folder.h"

// A line a crash cut short at the record's end is taken off (its copies
// never got their names); a whole last line without its line break keeps
// its place.
TEST(RecordFile, ALineCutShortByACrashGoes) {
  ScratchFolder folder;
  const std::string path = folder / "anonymous_record.csv";
  for (const auto& end :
       {std::make_pair("IM0.ima,ANO", ""), std::make_pair("IM0.ima,\"A,B", ""),
        std::make_pair("IM0.ima,A.ima,B,A", "IM0.ima,A.ima,B,A\r\n")}) {
    WriteBytes(path, std::string(kRecordHeader) + end.first);
    CFile record;
    RecordContents contents;
    std::string error;
    ASSERT_EQ(OpenRecordFile(&record, path.c_str(), &contents, &error),
              RecordOpen::kOpened);
    EXPECT_EQ(contents.cutLine, *end.second ? 0 : 2);
    std::uint64_t start = 0;
    EXPECT_TRUE(
        AppendRecordLines(&record, "IM1.ima,A.ima,B,A\r\n", &start, &error));
    record.Close();
    EXPECT_EQ(ReadBytes(path), std::string(kRecordHeader) + end.second +
                                   "IM1.ima,A.ima,B,A\r\n");
  }
}

TEST(RecordFile, ARecordThatIsAFifoIsNotOpened) {
  if (!HasFifos()) GTEST_SKIP() << "SKIPPED: the system has no FIFOs";
  ScratchFolder folder;
  CFile record;
  RecordContents contents;
  std::string error;
  const std::string fifo = folder / "fifo.csv";
  ASSERT_TRUE(MakeFifo(fifo));
  EXPECT_EQ(OpenRecordFile(&record, fifo.c_str(), &contents, &error),
            RecordOpen::kOpenFailed);
}

TEST(RecordFile, ARecordThatIsALinkIsNotFollowed) {
  if (!HasSymbolicLinks()) {
    GTEST_SKIP() << "SKIPPED: the file system has no symbolic links";
  }
  ScratchFolder folder;
  CFile record;
  RecordContents contents;
  std::string error;
  const std::string link = folder / "anonymous_record.csv";
  ASSERT_TRUE(MakeSymbolicLink(folder / "elsewhere.csv", link));
  EXPECT_EQ(OpenRecordFile(&record, link.c_str(), &contents, &error),
            RecordOpen::kOpenFailed);
  EXPECT_EQ(
      ProbeRecordFile(link.c_str(), folder.path().c_str(), &contents, &error),
      RecordOpen::kOpenFailed);
  EXPECT_FALSE(Exists(folder / "elsewhere.csv"));
}

// Every line a run can write reads back as it was written: names of the
// bytes a file or patient name can hold, those the record quotes, line
// breaks and tabs among them, whatever lines stand around it; in this
// program's layout and in those a spreadsheet saves back, behind their
// header.
TEST(RecordFile, EveryLineReadsBackAsWritten) {
  const std::string alphabet[] = {"a",  "Z",  ",",        "\"",  "\r",
                                  "\n", "\t", ".",        " ",   "^",
                                  "=",  ";",  "\xc3\xa9", "\xff"};
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
  const unsigned files = static_cast<unsigned>(fileAlphabet.size());
  const unsigned all = static_cast<unsigned>(std::size(alphabet));
  auto name = [&](bool file) {
    std::string text;
    for (unsigned n = next(9); n > 0; --n) {
      text += file ? fileAlphabet[next(files)] : alphabet[next(all)];
    }
    return file ? text + ".ima" : text + "x";
  };
  RecordFormat spreadsheet;
  spreadsheet.separator = ';';
  spreadsheet.columns = 6;
  const int order[4] = {0, 5, 3, 1};
  std::copy(order, order + 4, spreadsheet.field);
  RecordFormat tabs = spreadsheet;
  tabs.separator = '\t';
  const struct {
    RecordFormat format;
    std::string header;
  } layouts[] = {
      {RecordFormat(), kRecordHeader},
      {spreadsheet,
       "\xEF\xBB\xBF\"Original Filename\";\"Anonymous Patient Name\";Notes;"
       "\"Original Patient Name\";;Anonymous Filename\r\r\n"},
      {tabs,
       "Original Filename\tAnonymous Patient Name\tNotes\t"
       "Original Patient Name\t\tAnonymous Filename\n"},
  };
  for (const auto& layout : layouts) {
    std::string text = layout.header;
    std::vector<std::vector<std::string>> written;
    for (int i = 0; i < 700; ++i) {
      written.push_back({name(true), name(true), name(false), name(false)});
      const auto& w = written.back();
      text += RecordLine(w[0], w[1], w[2], w[3], layout.format);
    }
    std::vector<RecordEntry> entries;
    RecordFormat format;
    ParseRecordText(text, &entries, &format);
    EXPECT_EQ(format.separator, layout.format.separator);
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
}
