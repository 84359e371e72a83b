// veilmark-cli as scripts use it: output, exit status, options.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>

#include "anonymize/record_file.h"
#include "tests/test_folder.h"
#include "veilmark_version.h"

namespace {

struct Result {
  int status;
  std::string out;
};

Result RunCli(const std::string& arguments) {
  std::string command =
      std::string(VEILMARK_CLI) + " " + arguments + " 2>/dev/null";
  Result result{-1, ""};
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return result;
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) {
    result.out.append(buffer, n);
  }
  int status = pclose(pipe);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

std::string Quoted(const std::string& path) { return "'" + path + "'"; }

}  // namespace

TEST(Cli, ExitStatusTellsWhetherAnyFileFailed) {
  ScratchFolder folder;
  Fixture good;
  folder.Write("IM0001.ima", good);
  Result ok = RunCli(Quoted(folder.path()));
  EXPECT_EQ(ok.status, 0);
  EXPECT_EQ(ok.out,
            "Anonymizing file: IM0001.ima\nDone. 1 file(s) modified.\n");

  Fixture noName;
  noName.patientNamePresence = Presence::kAbsent;
  folder.Write("IM0002.ima", noName);
  Result failed = RunCli(Quoted(folder.path()));
  EXPECT_EQ(failed.status, 1);
  EXPECT_NE(failed.out.find("ERROR:No patient name in file: " + folder.path() +
                            "/IM0002.ima\n"),
            std::string::npos);
}

TEST(Cli, RunThatCannotStartExitsWithTwo) {
  Result noFolder = RunCli("x");
  EXPECT_EQ(noFolder.status, 2);
  EXPECT_EQ(noFolder.out, "ERROR:No folder selected.\n");

  Result missing = RunCli("/nonexistent/scans");
  EXPECT_EQ(missing.status, 2);
  EXPECT_EQ(missing.out,
            "ERROR:Couldn't create/open anonymous_record.csv to store original "
            "patient names in.\nCheck folder permissions in: "
            "/nonexistent/scans\nQuitting...\n");

  for (const char* usage : {"", "--frobnicate", "a b", "--jobs 0 ab",
                            "--jobs x ab", "ab --jobs 2", "--jobs"}) {
    EXPECT_EQ(RunCli(usage).status, 2) << usage;
  }

  // Another run holds the folder.
  ScratchFolder folder;
  CFile other;
  std::string error;
  ASSERT_EQ(
      OpenRecordFile(&other, (folder / "anonymous_record.csv").c_str(), &error),
      RecordOpen::kOpened);
  Result busy = RunCli(Quoted(folder.path()));
  EXPECT_EQ(busy.status, 2);
  EXPECT_EQ(busy.out,
            "ERROR:Another run is using this folder: " + folder.path() + "\n");
}

TEST(Cli, VersionAndHelp) {
  Result version = RunCli("--version");
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, "veilmark-cli " VEILMARK_VERSION "\n");
  Result help = RunCli("--help");
  EXPECT_EQ(help.status, 0);
  for (const char* option : {"--jobs N", "--dry-run", "--help", "--version"}) {
    EXPECT_NE(help.out.find(option), std::string::npos) << option;
  }
}

TEST(Cli, DryRunExitsAsTheRunWouldAndWritesNothing) {
  ScratchFolder folder;
  folder.Write("IM1.ima", Fixture());
  Fixture noName;
  noName.patientNamePresence = Presence::kAbsent;
  folder.Write("IM2.ima", noName);
  Result dry = RunCli("--dry-run --jobs 1 " + Quoted(folder.path()));
  EXPECT_EQ(dry.status, 1);
  EXPECT_EQ(
      dry.out.rfind("Anonymizing file: IM1.ima\n  -> ANONDN20070801.ima\n", 0),
      0u)
      << dry.out;
  EXPECT_EQ(folder.Names(), (std::vector<std::string>{"IM1.ima", "IM2.ima"}));
  EXPECT_EQ(RunCli("--dry-run /nonexistent/scans").status, 2);
}

TEST(Cli, FolderStartingWithADash) {
  ScratchFolder folder;
  std::string dashed = folder / "-scans";
  ASSERT_EQ(::mkdir(dashed.c_str(), 0777), 0);
  Result result = RunCli("-- " + Quoted(dashed));
  EXPECT_EQ(result.status, 0);
  EXPECT_TRUE(Exists(dashed + "/anonymous_record.csv"));
}
