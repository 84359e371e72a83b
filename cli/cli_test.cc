// veilmark-cli as scripts use it: output, exit status, options.
#include <gtest/gtest.h>
#include <sys/stat.h>
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

// Standard output only, unless `withErrors`.
Result RunCli(const std::string& arguments, bool withErrors = false) {
  Result result{-1, ""};
  FILE* pipe = popen(
      (VEILMARK_CLI " " + arguments + (withErrors ? " 2>&1" : " 2>/dev/null"))
          .c_str(),
      "r");
  if (!pipe) return result;
  char buffer[4096];
  for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
    result.out.append(buffer, n);
  }
  int status = pclose(pipe);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

std::string Quoted(const std::string& path) { return "'" + path + "'"; }

}  // namespace

TEST(Cli, ExitStatusAndLinesAsTheyCome) {
  ScratchFolder folder;
  folder.Write("IM0001.ima", Fixture());
  Result ok = RunCli("--jobs 1 -- " + Quoted(folder.path()));
  EXPECT_EQ(ok.status, 0);
  EXPECT_EQ(ok.out,
            "Anonymizing file: IM0001.ima\nDone. 1 file(s) modified.\n");

  Fixture noName;
  noName.patientNamePresence = Presence::kAbsent;
  folder.Write("IM0002.ima", noName);
  Result dry = RunCli("--dry-run " + Quoted(folder.path()));
  EXPECT_EQ(dry.status, 1);
  EXPECT_EQ(dry.out,
            "Anonymizing file: ANONDN20070801.ima\n  -> ANONA120070801.ima\n"
            "Anonymizing file: IM0002.ima\nERROR:No patient name in file: " +
                folder.path() +
                "/IM0002.ima\nDry run: 1 file(s) would be modified.\n");
  EXPECT_EQ(RunCli(Quoted(folder.path())).status, 1);
}

TEST(Cli, RunThatCannotStartExitsWithTwo) {
  Result noFolder = RunCli("x");
  EXPECT_EQ(noFolder.status, 2);
  EXPECT_EQ(noFolder.out, "ERROR:No folder selected.\n");
  // Two characters make a folder, here one that is not there.
  EXPECT_EQ(RunCli("ab").out.rfind("ERROR:Couldn't create/open", 0), 0u);
  EXPECT_EQ(RunCli("--dry-run /nonexistent/scans").out,
            "ERROR:Couldn't create/open anonymous_record.csv to store original "
            "patient names in.\nCheck folder permissions in: "
            "/nonexistent/scans\nQuitting...\n");
  // Bad usage, around a folder that would run: nothing is touched.
  ScratchFolder usable;
  const std::string f = Quoted(usable.path());
  for (const std::string& usage :
       {std::string(), "--frobnicate " + f, f + " " + f, "--jobs 0 " + f,
        "--jobs 1025 " + f, "--jobs x " + f, f + " --jobs 2",
        std::string("--jobs"), std::string("/nonexistent/scans")}) {
    EXPECT_EQ(RunCli(usage).status, 2) << usage;
  }
  EXPECT_EQ(usable.Names(), std::vector<std::string>{});
  // Bad usage says how to use it, on standard error.
  EXPECT_EQ(RunCli("--frobnicate").out, "");
  EXPECT_EQ(RunCli("--frobnicate", true).out.rfind("usage: veilmark-cli", 0),
            0u);

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

TEST(Cli, VersionHelpAndAFolderStartingWithADash) {
  Result version = RunCli("--version");
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, "veilmark-cli " VEILMARK_VERSION "\n");
  Result help = RunCli("--help");
  EXPECT_EQ(help.status, 0);
  for (const char* option : {"--jobs N", "--dry-run", "--help", "--version"}) {
    EXPECT_NE(help.out.find(option), std::string::npos) << option;
  }
  ScratchFolder folder;
  ASSERT_EQ(::mkdir((folder / "-scans").c_str(), 0777), 0);
  EXPECT_EQ(RunCli("-- " + Quoted(folder / "-scans")).status, 0);
  EXPECT_TRUE(Exists(folder / "-scans/anonymous_record.csv"));
}
