// The folder run on its own: the same log, record and folder whatever the
// number of threads, and one run per folder at a time.
#include "anonymize/folder_run.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "anonymize/record_file.h"
#include "tests/test_folder.h"

namespace {

// The log as the dialog shows it, with the folder's path as FOLDER.
struct TextLog : RunLog {
  explicit TextLog(const std::string& path) : folder(path) {}
  void Add(const LogLine& line) override {
    std::string message = line.message.str();
    for (size_t at; (at = message.find(folder)) != std::string::npos;) {
      message.replace(at, folder.size(), "FOLDER");
    }
    text += (line.error ? "ERROR:" : "") + message + "\r\n";
  }
  std::string folder, text;
};

Fixture Patient(const std::string& name, const std::string& date,
                size_t pixelBytes = 0) {
  Fixture fixture;
  fixture.patientName = name;
  fixture.studyDate = date;
  fixture.pixelBytes = pixelBytes;
  return fixture;
}

// Files that fail, names that collide with each other and with originals
// the run deletes, a kept original, and values left in the file on load.
void WriteMixedFolder(const ScratchFolder& folder) {
  for (int i = 0; i < 60; ++i) {
    Fixture fixture = Patient(i % 3 ? "SMITH^ANN" : "DOE^JOHN", "20070802",
                              i % 7 ? 2048 : 20000);
    fixture.privateBytes = i % 5 ? 0 : 6000;
    fixture.sopInstanceUid = "1.2.3." + std::to_string(i);
    folder.Write("IM" + std::to_string(100 + i) + ".ima", fixture);
  }
  // Anonymized before: each maps onto the names of the others.
  for (const char* name :
       {"ANONA220070802.ima", "ANONA220070802_2.ima", "ANONA220070802_3.ima"}) {
    folder.Write(name, Patient("ANONSN20070802", "20070802"));
  }
  Fixture noName;
  noName.patientNamePresence = Presence::kAbsent;
  folder.Write("IM105x.ima", noName);
  WriteBytes(folder / "IM107x.ima", "not DICOM at all");
  folder.Write("IM109x.ima", Patient("/ETC", "20070802"));
  ::mkdir((folder / "IM111x.ima").c_str(), 0777);
  folder.Write("IM113x.ima", Patient("SMITH^ANN", "20070802"));
  ::chmod((folder / "IM113x.ima").c_str(), 0444);  // kept, but counted
}

void CopyFolder(const ScratchFolder& from, const ScratchFolder& to) {
  for (const std::string& name : from.Names()) {
    struct stat st;
    ::lstat((from / name).c_str(), &st);
    if (S_ISDIR(st.st_mode)) {
      ::mkdir((to / name).c_str(), 0777);
    } else {
      WriteBytes(to / name, ReadBytes(from / name));
      ::chmod((to / name).c_str(), st.st_mode & 07777);
    }
  }
}

std::string RunWithJobs(const ScratchFolder& folder, int jobs,
                        bool dryRun = false) {
  TextLog log(folder.path());
  RunOptions options;
  options.jobs = jobs;
  options.dryRun = dryRun;
  FolderRun(folder.path().c_str(), &log, options).Run();
  return log.text;
}

// Every entry of `folder` with its kind, permissions, times and bytes.
std::string Snapshot(const ScratchFolder& folder) {
  std::string all;
  for (const std::string& name : folder.Names()) {
    struct stat st;
    ::lstat((folder / name).c_str(), &st);
    all += name + " " + std::to_string(st.st_mode) + " " +
           std::to_string(st.st_mtim.tv_sec) + "." +
           std::to_string(st.st_mtim.tv_nsec) + "\n" + ReadBytes(folder / name);
  }
  return all;
}

}  // namespace

TEST(FolderRun, SameOutputAtAnyNumberOfJobs) {
  ScratchFolder sequential, parallel;
  WriteMixedFolder(sequential);
  CopyFolder(sequential, parallel);

  std::string log = RunWithJobs(sequential, 1);
  EXPECT_EQ(RunWithJobs(parallel, 4), log);
  EXPECT_NE(log.find("Done. 64 file(s) modified."), std::string::npos) << log;
  EXPECT_EQ(sequential.Names(), parallel.Names());
  for (const std::string& name : sequential.Names()) {
    EXPECT_EQ(ReadBytes(sequential / name), ReadBytes(parallel / name)) << name;
  }
  // The names a run of one file at a time gives the files that were
  // anonymized before: each takes the name of the one before it, once that
  // one is gone.
  EXPECT_NE(ReadBytes(sequential / "anonymous_record.csv")
                .find("ANONA220070802_2.ima,ANONA220070802.ima,"),
            std::string::npos);
}

TEST(FolderRun, OneRunPerFolder) {
  ScratchFolder folder;
  folder.Write("IM1.ima", Patient("DOE^JOHN", "20070801"));
  // What a run that was killed leaves, and what only looks like it.
  WriteBytes(folder / ".veilmark-Ab3dE9.tmp", "partial copy");
  WriteBytes(folder / ".veilmark-Ab3dE9.tmp.keep", "not ours");
  CFile other;
  std::string error;
  ASSERT_EQ(
      OpenRecordFile(&other, (folder / "anonymous_record.csv").c_str(), &error),
      RecordOpen::kOpened);

  TextLog busy(folder.path());
  RunResult refused = FolderRun(folder.path().c_str(), &busy, {}).Run();
  EXPECT_FALSE(refused.started);
  EXPECT_EQ(busy.text, "ERROR:Another run is using this folder: FOLDER\r\n");
  EXPECT_TRUE(Exists(folder / "IM1.ima"));
  EXPECT_TRUE(Exists(folder / ".veilmark-Ab3dE9.tmp"));

  other.Close();
  TextLog log(folder.path());
  EXPECT_TRUE(FolderRun(folder.path().c_str(), &log, {}).Run().started);
  EXPECT_EQ(folder.Names(), (std::vector<std::string>{
                                ".veilmark-Ab3dE9.tmp.keep",
                                "ANONDN20070801.ima", "anonymous_record.csv"}));
}

TEST(FolderRun, DryRunChangesNothingAndForetellsTheRun) {
  ScratchFolder folder;
  WriteMixedFolder(folder);
  WriteBytes(folder / "anonymous_record.csv",
             "Original Filename,Anonymous Filename,Original Patient Name,"
             "Anonymous Patient Name\r\n");
  const std::string before = Snapshot(folder);

  std::string preview = RunWithJobs(folder, 4, true);
  EXPECT_EQ(Snapshot(folder), before);

  // The run's log is the preview's, but for the names and the last line;
  // the names are those the run writes, in the same order.
  std::string log = RunWithJobs(folder, 4);
  std::string expected, named;
  for (size_t at = 0; at < preview.size();) {
    size_t end = preview.find("\r\n", at) + 2;
    std::string line = preview.substr(at, end - at);
    if (line.rfind("  -> ", 0) == 0) {
      named += line.substr(5, line.size() - 7) + "\n";
    } else if (line.rfind("Dry run: ", 0) == 0) {
      expected +=
          "Done. " + line.substr(9, line.find(" would") - 9) + " modified.\r\n";
    } else {
      expected += line;
    }
    at = end;
  }
  EXPECT_EQ(log, expected);
  std::string written;
  auto rows = ReadRecord(folder / "anonymous_record.csv");
  for (size_t i = 1; i < rows.size(); ++i) written += rows[i][1] + "\n";
  EXPECT_EQ(written, named);
  EXPECT_NE(named.find("ANONA220070802_4.ima"), std::string::npos);
}

TEST(FolderRun, DryRunStartsWhereARunWouldAndTakesNothing) {
  ScratchFolder folder;
  folder.Write("IM1.ima", Patient("DOE^JOHN", "20070801"));
  TextLog log(folder.path());
  RunOptions dry;
  dry.dryRun = true;
  EXPECT_TRUE(FolderRun(folder.path().c_str(), &log, dry).Run().started);
  EXPECT_EQ(folder.Names(), std::vector<std::string>{"IM1.ima"});

  EXPECT_FALSE(
      FolderRun((folder / "missing").c_str(), &log, dry).Run().started);
  CFile other;
  std::string error;
  ASSERT_EQ(
      OpenRecordFile(&other, (folder / "anonymous_record.csv").c_str(), &error),
      RecordOpen::kOpened);
  TextLog busy(folder.path());
  EXPECT_FALSE(FolderRun(folder.path().c_str(), &busy, dry).Run().started);
  EXPECT_EQ(busy.text, "ERROR:Another run is using this folder: FOLDER\r\n");
  other.Close();
  // The dry run held no lock of its own.
  EXPECT_TRUE(FolderRun(folder.path().c_str(), &busy, {}).Run().started);
}
