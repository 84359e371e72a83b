#include "anonymize/record_file.h"

#include <gtest/gtest.h>

#include "tests/test_folder.h"

namespace {

void Line(CFile* record) {
  std::string error;
  EXPECT_TRUE(AppendRecordLines(
      record, RecordLine("IM1.ima", "ANONDN1.ima", "DOE^JOHN", "ANONDN1"),
      &error))
      << error;
}

RecordOpen Open(CFile* record, const std::string& path) {
  std::string error;
  return OpenRecordFile(record, path.c_str(), &error);
}

}  // namespace

TEST(RecordFile, FieldsAreQuotedOnlyWhenTheyMustBe) {
  EXPECT_EQ(RecordField("DOE^JOHN"), "DOE^JOHN");
  EXPECT_EQ(RecordField(" lead and trail "), " lead and trail ");
  EXPECT_EQ(RecordField("DOE,JOHN"), "\"DOE,JOHN\"");
  EXPECT_EQ(RecordField("say \"hi\""), "\"say \"\"hi\"\"\"");
  EXPECT_EQ(RecordField("a\rb"), "\"a\rb\"");
  EXPECT_EQ(RecordField("a\nb"), "\"a\nb\"");
}

TEST(RecordFile, ALineCutShortByACrashStaysOnItsOwnLine) {
  ScratchFolder folder;
  std::string path = folder / "anonymous_record.csv";
  WriteBytes(path, std::string(kRecordHeader) + "IM0.ima,ANO");
  CFile record;
  ASSERT_EQ(Open(&record, path), RecordOpen::kOpened);
  Line(&record);
  record.Close();
  EXPECT_EQ(ReadBytes(path), std::string(kRecordHeader) +
                                 "IM0.ima,ANO\r\n"
                                 "IM1.ima,ANONDN1.ima,DOE^JOHN,ANONDN1\r\n");
}

TEST(RecordFile, OnlyARegularFileInTheFolderIsOpened) {
  ScratchFolder folder;
  CFile record;
  EXPECT_EQ(Open(&record, folder.path()), RecordOpen::kOpenFailed);
  std::string link = folder / "anonymous_record.csv";
  ASSERT_EQ(::symlink((folder / "elsewhere.csv").c_str(), link.c_str()), 0);
  // Never followed out of the folder.
  EXPECT_EQ(Open(&record, link), RecordOpen::kOpenFailed);
  EXPECT_FALSE(Exists(folder / "elsewhere.csv"));
}

TEST(RecordFile, OneRunAtATimeHoldsIt) {
  ScratchFolder folder;
  std::string path = folder / "anonymous_record.csv";
  CFile first, second;
  ASSERT_EQ(Open(&first, path), RecordOpen::kOpened);
  EXPECT_EQ(Open(&second, path), RecordOpen::kBusy);
  EXPECT_EQ(ReadBytes(path), kRecordHeader);  // the header once
  first.Close();
  EXPECT_EQ(Open(&second, path), RecordOpen::kOpened);
}
