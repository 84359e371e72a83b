// veilmark-cli as scripts use it: output, exit status, options.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <memory>

#include "anonymize/record_file.h"
#include "tests/promise.h"
#include "tests/test_folder.h"
#include "veilmark_version.h"

namespace {

struct Result {
  int status;
  std::string out;
};

// A shell command's exit status and standard output (and standard error
// with `withErrors`).
Result Shell(const std::string& command, bool withErrors = false) {
  Result result{-1, ""};
  FILE* pipe = popen(
      ("(" + command + ")" + (withErrors ? " 2>&1" : " 2>/dev/null")).c_str(),
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

Result RunCli(const std::string& arguments, bool withErrors = false) {
  return Shell(VEILMARK_CLI " " + arguments, withErrors);
}

std::string Quoted(const std::string& path) { return "'" + path + "'"; }

}  // namespace

// Each line is out before the next file is through: the program stops
// itself (SIGSTOP) before the second file's original goes, and its first
// lines must be there to read while it waits.
TEST(Cli, LinesComeAsTheyAreAdded) {
  ScratchFolder folder;
  for (const char* name : {"IM1.ima", "IM2.ima", "IM3.ima"}) {
    folder.Write(name, Fixture());
  }
  int out[2];
  ASSERT_EQ(::pipe(out), 0);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_addclose(&actions, out[0]);
  std::string cli = VEILMARK_CLI_FAULTS, jobs = "--jobs", one = "1",
              faults =
                  "VEILMARK_FAULTS=signal:unlink:2:" + std::to_string(SIGSTOP);
  char* argv[] = {&cli[0], &jobs[0], &one[0],
                  const_cast<char*>(folder.path().c_str()), nullptr};
  char* env[] = {&faults[0], nullptr};
  pid_t pid = -1;
  ASSERT_EQ(posix_spawn(&pid, argv[0], &actions, nullptr, argv, env), 0);
  posix_spawn_file_actions_destroy(&actions);
  ::close(out[1]);
  std::string printed;
  char buffer[256];
  struct pollfd ready = {out[0], POLLIN, 0};
  while (printed.find("\n") == std::string::npos &&
         ::poll(&ready, 1, 10000) > 0) {
    const ssize_t n = ::read(out[0], buffer, sizeof buffer);
    if (n <= 0) break;
    printed.append(buffer, static_cast<size_t>(n));
  }
  EXPECT_EQ(printed, "Anonymizing file: IM1.ima\n");
  int status = 0;
  EXPECT_EQ(::waitpid(pid, &status, WUNTRACED), pid);
  EXPECT_TRUE(WIFSTOPPED(status));
  ::kill(pid, SIGCONT);
  for (ssize_t n; (n = ::read(out[0], buffer, sizeof buffer)) > 0;) {
    printed.append(buffer, static_cast<size_t>(n));
  }
  ::close(out[0]);
  ::waitpid(pid, &status, 0);
  EXPECT_EQ(printed,
            "Anonymizing file: IM1.ima\nAnonymizing file: IM2.ima\n"
            "Anonymizing file: IM3.ima\nDone. 3 file(s) modified.\n");
}

TEST(Cli, ExitStatus) {
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
  Result noFolder = RunCli("''");
  EXPECT_EQ(noFolder.status, 2);
  EXPECT_EQ(noFolder.out, "ERROR:No folder selected.\n");
  // One character names a folder of the current one, here not there.
  EXPECT_EQ(RunCli("x").out,
            "ERROR:Couldn't create/open anonymous_record.csv to store original "
            "patient names in.\nCheck folder permissions in: " +
                std::filesystem::current_path().string() + "/x\nQuitting...\n");
  EXPECT_EQ(RunCli("--dry-run /nonexistent/scans").out,
            "ERROR:Couldn't create/open anonymous_record.csv to store original "
            "patient names in.\nCheck folder permissions in: "
            "/nonexistent/scans\nQuitting...\n");
  // Bad usage, around a folder that would run: nothing is touched.
  ScratchFolder usable;
  const std::string f = Quoted(usable.path());
  for (const std::string& usage :
       {std::string(), "--frobnicate " + f, "--jobs 0 " + f, "--jobs 1025 " + f,
        "--jobs x " + f, f + " --jobs 2", std::string("--jobs"),
        std::string("/nonexistent/scans")}) {
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

// Several folders in one call, each its own run: a busy one and a missing
// one say so, the others run, and the exit status is the highest. A folder
// of one character is the absolute path of that folder.
TEST(Cli, ManyFoldersEachAsItsOwnRun) {
  ScratchFolder busy, good, parent;
  good.Write("IM1.ima", Patient("DOE^JOHN", "20070801"));
  CFile other;
  std::string error;
  ASSERT_EQ(
      OpenRecordFile(&other, (busy / "anonymous_record.csv").c_str(), &error),
      RecordOpen::kOpened);
  Result all = RunCli(Quoted(busy.path()) + " " + Quoted(good.path()) + " " +
                      Quoted(parent / "missing"));
  EXPECT_EQ(all.status, 2);
  EXPECT_EQ(all.out,
            "ERROR:Another run is using this folder: " + busy.path() +
                "\nAnonymizing file: IM1.ima\nDone. 1 file(s) modified.\n"
                "ERROR:Couldn't create/open anonymous_record.csv to store "
                "original patient names in.\nCheck folder permissions in: " +
                parent.path() + "/missing\nQuitting...\n");

  ScratchFolder here;
  here.Write("IM1.ima", Patient("DOE^JOHN", "20070801"));
  Result dot = Shell("cd " + Quoted(here.path()) + " && " VEILMARK_CLI " .");
  EXPECT_EQ(dot.status, 0);
  EXPECT_PRED_FORMAT2(testing::IsSubstring, "Done. 1 file(s) modified.",
                      dot.out);
  EXPECT_TRUE(Exists(here / "ANONDN20070801.ima"));
}

// The README's recipe for many folders, with GNU parallel on this machine:
// each folder is anonymized exactly once.
TEST(Cli, GnuParallelRecipeTakesEachFolderOnce) {
  if (std::system("parallel --version >/dev/null 2>&1") != 0) {
    GTEST_SKIP() << "SKIPPED: GNU parallel is not installed";
  }
  ScratchFolder archive;
  std::vector<std::unique_ptr<Promise>> promises;
  for (int i = 0; i < 8; ++i) {
    const std::string series = archive / ("series" + std::to_string(i));
    std::filesystem::create_directory(series);
    for (int j = 0; j < 5; ++j) {
      std::string error;
      Fixture fixture = Patient(j % 2 ? "DOE^JOHN" : "ROE^JANE", "20070801");
      ASSERT_TRUE(WriteFixture(series + "/IM" + std::to_string(j) + ".ima",
                               fixture, &error));
    }
    promises.push_back(std::make_unique<Promise>(series));
  }
  Result run = Shell(
      "find " + Quoted(archive.path()) +
      " -name '*.ima' -printf '%h\\0' | sort -zu | parallel -0 --will-cite "
      "--jobs 4 " VEILMARK_CLI " --jobs 1 {}");
  EXPECT_EQ(run.status, 0) << run.out;
  for (const auto& promise : promises) {
    EXPECT_EQ(promise->Broken(), std::vector<std::string>{});
    EXPECT_EQ(promise->NotExactlyOnce(), std::vector<std::string>{});
    EXPECT_EQ(promise->UntouchedOriginals(), std::vector<std::string>{});
  }
}

// An undo as scripts use it: its exit statuses, and many folders.
TEST(Cli, RestoreExitStatus) {
  ScratchFolder none, done, failing;
  done.Write("IM1.ima", Patient("DOE^JOHN", "20070801"));
  failing.Write("IM1.ima", Patient("DOE^JOHN", "20070801"));
  EXPECT_EQ(RunCli(Quoted(done.path()) + " " + Quoted(failing.path())).status,
            0);
  ::unlink((failing / "ANONDN20070801.ima").c_str());
  Result dry = RunCli("--restore --dry-run " + Quoted(done.path()));
  EXPECT_EQ(dry.status, 0);
  EXPECT_EQ(dry.out,
            "Restoring file: ANONDN20070801.ima\n  -> IM1.ima\nDry run: 1 "
            "file(s) would be restored.\n");
  Result all = RunCli("--restore " + Quoted(done.path()) + " " +
                      Quoted(failing.path()) + " " + Quoted(none.path()));
  EXPECT_EQ(all.status, 2);
  EXPECT_PRED_FORMAT2(testing::IsSubstring,
                      "Restoring file: ANONDN20070801.ima\nDone. 1 file(s) "
                      "restored.\nRestoring file: ANONDN20070801.ima\nERROR:",
                      all.out);
  EXPECT_PRED_FORMAT2(
      testing::IsSubstring,
      "ERROR:No anonymous_record.csv to restore from in: " + none.path(),
      all.out);
  EXPECT_TRUE(Exists(done / "IM1.ima"));
  EXPECT_EQ(RunCli("--restore " + Quoted(failing.path())).status, 1);
}
