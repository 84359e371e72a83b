#include "anonymize/record_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

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

TEST(RecordFile, OnlyARegularFileInTheFolderIsOpened) {
  ScratchFolder folder;
  CFile record;
  std::string error;
  const std::string fifo = folder / "fifo.csv";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0666), 0);
  EXPECT_EQ(OpenRecordFile(&record, fifo.c_str(), &error),
            RecordOpen::kOpenFailed);
  const std::string link = folder / "anonymous_record.csv";
  ASSERT_EQ(::symlink((folder / "elsewhere.csv").c_str(), link.c_str()), 0);
  EXPECT_EQ(OpenRecordFile(&record, link.c_str(), &error),
            RecordOpen::kOpenFailed);
  EXPECT_EQ(ProbeRecordFile(link.c_str(), folder.path().c_str()),
            RecordOpen::kOpenFailed);
  EXPECT_FALSE(Exists(folder / "elsewhere.csv"));
}
