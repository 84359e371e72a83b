// Runs over whole folders: what the log says, what is left on disk and what
// the record holds.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "anonymize/prepared_file.h"
#include "tests/run_folder.h"
#include "tests/test_folder.h"

namespace {

using Rows = std::vector<std::vector<std::string>>;
using Names = std::vector<std::string>;
const std::vector<std::string> kHeader = {
    "Original Filename", "Anonymous Filename", "Original Patient Name",
    "Anonymous Patient Name"};

Fixture Patient(const std::string& name, const std::string& date) {
  Fixture fixture;
  fixture.patientName = name;
  fixture.studyDate = date;
  return fixture;
}

// Limits the size of every file this process writes, for the length of a
// scope, so that writes past it fail.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    signal(SIGXFSZ, SIG_IGN);
    getrlimit(RLIMIT_FSIZE, &saved_);
    struct rlimit limit = saved_;
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &saved_); }

 private:
  struct rlimit saved_;
};

TEST(AnonymizeRun, ThreePatientsAreAnonymizedAndRecorded) {
  ScratchFolder folder;
  folder.Write("IM0001.ima", Patient("DOE^JOHN", "20070801"));
  folder.Write("IM0002.ima", Patient("SMITH^ANN", "20070802"));
  folder.Write("IM0003.IMA", Patient("X", "20070803"));
  std::string before1 = DatasetWithoutPatientName(folder / "IM0001.ima");

  EXPECT_EQ(RunFolder(folder.path()),
            "Anonymizing file: IM0001.ima\r\n"
            "Anonymizing file: IM0002.ima\r\n"
            "Anonymizing file: IM0003.IMA\r\n"
            "Done. 3 file(s) modified.\r\n");
  EXPECT_EQ(folder.Names(),
            (Names{"ANONDN20070801.ima", "ANONSN20070802.ima",
                   "ANONXX20070803.IMA", "anonymous_record.csv"}));
  EXPECT_EQ(StoredPatientName(folder / "ANONDN20070801.ima"), "ANONDN20070801");
  EXPECT_EQ(DatasetWithoutPatientName(folder / "ANONDN20070801.ima"), before1);
  EXPECT_EQ(ReadBytes(folder / "anonymous_record.csv"),
            "Original Filename,Anonymous Filename,Original Patient Name,"
            "Anonymous Patient Name\r\n"
            "IM0001.ima,ANONDN20070801.ima,DOE^JOHN,ANONDN20070801\r\n"
            "IM0002.ima,ANONSN20070802.ima,SMITH^ANN,ANONSN20070802\r\n"
            "IM0003.IMA,ANONXX20070803.IMA,X,ANONXX20070803\r\n");
}

TEST(AnonymizeRun, SecondFileFailingToSaveIsKeptAndNotRecorded) {
  ScratchFolder folder;
  folder.Write("IM0001.ima", Patient("DOE^JOHN", "20070801"));
  Fixture large = Patient("SMITH^ANN", "20070802");
  large.pixelBytes = 256 * 1024;
  folder.Write("IM0002.ima", large);
  std::string original2 = ReadBytes(folder / "IM0002.ima");

  std::string log;
  {
    FileSizeLimit limit(64 * 1024);  // room for the first file only
    log = RunFolder(folder.path());
  }
  EXPECT_EQ(log,
            "Anonymizing file: IM0001.ima\r\n"
            "Anonymizing file: IM0002.ima\r\n"
            "ERROR:Couldn't save new file: " +
                folder.path() +
                "/ANONSN20070802.ima\r\n"
                "Done. 1 file(s) modified.\r\n");
  EXPECT_EQ(folder.Names(), (Names{"ANONDN20070801.ima", "IM0002.ima",
                                   "anonymous_record.csv"}));
  EXPECT_EQ(ReadBytes(folder / "IM0002.ima"), original2);
  EXPECT_EQ(ReadRecord(folder / "anonymous_record.csv"),
            (Rows{kHeader,
                  {"IM0001.ima", "ANONDN20070801.ima", "DOE^JOHN",
                   "ANONDN20070801"}}));
}

TEST(AnonymizeRun, OneSeriesAndRepeatedPassesNeverReplaceAFile) {
  ScratchFolder folder;
  for (const char* name : {"a.ima", "b.ima", "c.ima"}) {
    folder.Write(name, Patient("SMITH^ANN", "20070802"));
  }
  std::string c = DatasetWithoutPatientName(folder / "c.ima");
  CVeilmarkDlg dlg;
  RunFolder(&dlg, folder.path());
  EXPECT_EQ(folder.Names(),
            (Names{"ANONSN20070802.ima", "ANONSN20070802_2.ima",
                   "ANONSN20070802_3.ima", "anonymous_record.csv"}));
  EXPECT_EQ(DatasetWithoutPatientName(folder / "ANONSN20070802_3.ima"), c);

  // The second pass maps every file to ANONA2...; the third maps each onto
  // its own name, which is taken, so each goes to the first free name.
  RunFolder(&dlg, folder.path());
  std::string third = RunFolder(&dlg, folder.path());
  EXPECT_EQ(third.substr(third.rfind("Done.")),
            "Done. 3 file(s) modified.\r\n");
  EXPECT_EQ(folder.Names(),
            (Names{"ANONA220070802.ima", "ANONA220070802_2.ima",
                   "ANONA220070802_4.ima", "anonymous_record.csv"}));
  EXPECT_EQ(StoredPatientName(folder / "ANONA220070802_2.ima"),
            "ANONA220070802");

  Rows rows = ReadRecord(folder / "anonymous_record.csv");
  ASSERT_EQ(rows.size(), 10u);  // one header, three runs of three
  EXPECT_EQ(rows[0], kHeader);
  auto moved = [&](size_t row) { return rows[row][0] + ">" + rows[row][1]; };
  EXPECT_EQ(moved(7), "ANONA220070802.ima>ANONA220070802_4.ima");
  EXPECT_EQ(moved(8), "ANONA220070802_2.ima>ANONA220070802.ima");
  EXPECT_EQ(moved(9), "ANONA220070802_3.ima>ANONA220070802_2.ima");
  // c.ima went to _3, then ANONA2..._3, and now holds _2.
  EXPECT_EQ(DatasetWithoutPatientName(folder / "ANONA220070802_2.ima"), c);
}

TEST(AnonymizeRun, EarlierRunsStayInTheRecordAndTheLog) {
  ScratchFolder folder;
  folder.Write("IM0001.ima", Patient("DOE^JOHN", "20070801"));
  CVeilmarkDlg dlg;
  RunFolder(&dlg, folder.path());
  folder.Write("IM0002.ima", Patient("SMITH^ANN", "20070802"));
  RunFolder(&dlg, folder.path());

  EXPECT_EQ(dlg.m_log.str(),
            "Anonymizing file: IM0001.ima\r\nDone. 1 file(s) modified.\r\n"
            "Anonymizing file: ANONDN20070801.ima\r\n"
            "Anonymizing file: IM0002.ima\r\nDone. 2 file(s) modified.\r\n");
  Rows rows = ReadRecord(folder / "anonymous_record.csv");
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[1][0], "IM0001.ima");
  EXPECT_EQ(rows[2][0], "ANONDN20070801.ima");
  EXPECT_EQ(rows[3][0], "IM0002.ima");
}

TEST(AnonymizeRun, EmptyFolderGetsAHeaderOnlyRecord) {
  ScratchFolder folder;
  EXPECT_EQ(RunFolder(folder.path()), "Done. 0 file(s) modified.\r\n");
  EXPECT_EQ(ReadRecord(folder / "anonymous_record.csv"), Rows{kHeader});
}

TEST(AnonymizeRun, WriteProtectedOriginalIsKeptButCounted) {
  ScratchFolder folder;
  folder.Write("IM0001.ima", Patient("DOE^JOHN", "20070801"));
  ::chmod((folder / "IM0001.ima").c_str(), 0444);
  EXPECT_EQ(RunFolder(folder.path()),
            "Anonymizing file: IM0001.ima\r\nERROR:Couldn't delete old file: " +
                folder.path() + "/IM0001.ima\r\nDone. 1 file(s) modified.\r\n");
  EXPECT_EQ(folder.Names(), (Names{"ANONDN20070801.ima", "IM0001.ima",
                                   "anonymous_record.csv"}));
  EXPECT_EQ(ReadRecord(folder / "anonymous_record.csv").size(), 2u);
}

TEST(AnonymizeRun, RecordThatCannotGrowKeepsTheOriginal) {
  ScratchFolder folder;
  // An earlier record far larger than the files: a size limit between the
  // two lets the new file be saved but not the record line.
  WriteBytes(
      folder / "anonymous_record.csv",
      std::string(kHeader[0]) + "\r\n" + std::string(200000, 'x') + "\r\n");
  std::string earlier = ReadBytes(folder / "anonymous_record.csv");
  folder.Write("IM0001.ima", Patient("DOE^JOHN", "20070801"));
  std::string original = ReadBytes(folder / "IM0001.ima");
  std::string log;
  {
    FileSizeLimit limit(100000);
    log = RunFolder(folder.path());
  }
  EXPECT_EQ(log,
            "Anonymizing file: IM0001.ima\r\n"
            "ERROR:Couldn't write to anonymous_record.csv: File too large\r\n"
            "Done. 0 file(s) modified.\r\n");
  EXPECT_EQ(folder.Names(), (Names{"IM0001.ima", "anonymous_record.csv"}));
  EXPECT_EQ(ReadBytes(folder / "IM0001.ima"), original);
  EXPECT_EQ(ReadBytes(folder / "anonymous_record.csv"), earlier);
}

TEST(AnonymizeRun, EntriesThatAreNotFilesAreRefusedWithoutBlocking) {
  ScratchFolder folder;
  ASSERT_EQ(::mkfifo((folder / "fifo.ima").c_str(), 0666), 0);
  ASSERT_EQ(::mkdir((folder / "dir.ima").c_str(), 0777), 0);
  ASSERT_EQ(::symlink("/nonexistent", (folder / "dangling.ima").c_str()), 0);
  const std::string p = folder.path() + "/";
  EXPECT_EQ(RunFolder(folder.path()),
            "Anonymizing file: dangling.ima\r\nERROR:Couldn't load file: " + p +
                "dangling.ima (No such file or directory)\r\n"
                "Anonymizing file: dir.ima\r\nERROR:Couldn't load file: " +
                p +
                "dir.ima (not a regular file)\r\n"
                "Anonymizing file: fifo.ima\r\nERROR:Couldn't load file: " +
                p +
                "fifo.ima (not a regular file)\r\n"
                "Done. 0 file(s) modified.\r\n");
  EXPECT_EQ(folder.Names(), (Names{"anonymous_record.csv", "dangling.ima",
                                   "dir.ima", "fifo.ima"}));
}

TEST(AnonymizeRun, FilesWithoutAnAnonymousNameAreLeftAlone) {
  ScratchFolder folder;
  Fixture noName = Patient("", "20070801");
  noName.patientNamePresence = Presence::kAbsent;
  folder.Write("a.ima", noName);
  noName.patientNamePresence = Presence::kEmpty;
  folder.Write("b.ima", noName);
  folder.Write("c.ima", Patient("    ", "20070801"));
  Fixture noDate = Patient("DOE^JOHN", "");
  noDate.studyDatePresence = Presence::kAbsent;
  folder.Write("d.ima", noDate);
  noDate.studyDatePresence = Presence::kEmpty;
  folder.Write("e.ima", noDate);
  folder.Write("f.ima", Patient("/DOE^JOHN", "20070801"));
  folder.Write("g.ima", Patient("DOE^JOHN",
                                "2007\x7f"
                                "0801"));
  folder.Write("h.ima", Patient("DOE^JOHN", std::string("2007\n0801", 9)));
  folder.Write("noext", Patient("DOE^JOHN", "20070801"));
  const std::pair<const char*, const char*> expected[] = {
      {"a", "No patient name in file"},
      {"b", "No patient name in file"},
      {"c", "No patient name in file"},
      {"d", "No study date in file"},
      {"e", "No study date in file"},
      {"f", "Anonymous patient name can't be used as a file name"},
      {"g", "Anonymous patient name can't be used as a file name"},
      {"h", "Anonymous patient name can't be used as a file name"}};
  std::string log;
  for (const auto& [file, message] : expected) {
    log += "Anonymizing file: " + std::string(file) +
           ".ima\r\nERROR:" + message + ": " + (folder / file) + ".ima\r\n";
  }
  EXPECT_EQ(RunFolder(folder.path()), log + "Done. 0 file(s) modified.\r\n");
  EXPECT_EQ(folder.Names().size(), 10u);  // all nine and the record
}

TEST(AnonymizeRun, TakenNamesAreSkippedNeverReplacedOrFollowed) {
  ScratchFolder folder;
  Fixture large = Patient("DOE^JOHN", "20070801");
  large.pixelBytes = 256 * 1024;
  folder.Write("IM1.ima", large);
  std::string before = DatasetWithoutPatientName(folder / "IM1.ima");
  ASSERT_EQ(::mkdir((folder / "ANONDN20070801.ima").c_str(), 0777), 0);
  ASSERT_EQ(::symlink((folder / "outside").c_str(),
                      (folder / "ANONDN20070801_2.ima").c_str()),
            0);
  RunFolder(folder.path());
  EXPECT_EQ(folder.Names(),
            (Names{"ANONDN20070801.ima", "ANONDN20070801_2.ima",
                   "ANONDN20070801_3.ima", "anonymous_record.csv"}));
  EXPECT_FALSE(Exists(folder / "outside"));
  EXPECT_EQ(DatasetWithoutPatientName(folder / "ANONDN20070801_3.ima"), before);
}

TEST(AnonymizeRun, NameWithoutADotIsRefusedWithThreeLineMessage) {
  // The listing takes only names with a dot; one without gets no copy.
  ScratchFolder folder;
  folder.Write("IM0001", Patient("DOE^JOHN", "20070801"));
  FileJob job;
  job.fileName = "IM0001";
  PrepareFile(folder.path().c_str(), false, &job);
  EXPECT_FALSE(job.ready);
  ASSERT_EQ(job.lines.size(), 2u);
  EXPECT_EQ(job.lines[0].message, "Anonymizing file: IM0001");
  EXPECT_TRUE(job.lines[1].error);
  EXPECT_EQ(job.lines[1].message,
            "Couldn't create anonymous file\r\nUnable to find first '.' in "
            "original filename: IM0001.\r\nQuitting...");
  EXPECT_EQ(folder.Names(), Names{"IM0001"});
}

}  // namespace
