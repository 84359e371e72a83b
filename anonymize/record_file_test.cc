#include "anonymize/record_file.h"

#include <gtest/gtest.h>

#include "tests/test_folder.h"

namespace {

std::string Line(CFile* record) {
  std::string error;
  EXPECT_TRUE(WriteRecordLine(record, "IM1.ima", "ANONDN1.ima", "DOE^JOHN",
                              "ANONDN1", &error))
      << error;
  return error;
}

bool Open(CFile* record, const std::string& path) {
  bool openFailed = false;
  std::string error;
  return OpenRecordFile(record, path.c_str(), &openFailed, &error);
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
  ASSERT_TRUE(Open(&record, path));
  Line(&record);
  record.Close();
  EXPECT_EQ(ReadBytes(path), std::string(kRecordHeader) +
                                 "IM0.ima,ANO\r\n"
                                 "IM1.ima,ANONDN1.ima,DOE^JOHN,ANONDN1\r\n");
}

TEST(RecordFile, OnlyARegularFileInTheFolderIsOpened) {
  ScratchFolder folder;
  CFile record;
  EXPECT_FALSE(Open(&record, folder.path()));  // a folder
  std::string link = folder / "anonymous_record.csv";
  ASSERT_EQ(::symlink((folder / "elsewhere.csv").c_str(), link.c_str()), 0);
  EXPECT_FALSE(Open(&record, link));  // never followed out of the folder
  EXPECT_FALSE(Exists(folder / "elsewhere.csv"));
}
