// veilmark-cli as scripts use it: output, exit status, options.
#include <gtest/gtest.h>

#include <filesystem>

#include "key/record_file.h"
#include "tests/faults.h"
#include "tests/test_folder.h"
#include "veilmark_version.h"

namespace {

struct Result {
  int status;
  std::string out;
  std::string err;
};

// veilmark-cli with `arguments`, in the folder `where` (empty: this
// process's): its exit status, standard output and standard error.
Result RunCli(const std::vector<std::string>& arguments,
              const std::string& where = "") {
  ScratchFolder output;
  const Process process = StartProgram(Program(VEILMARK_CLI), arguments, {},
                                       output / "out", output / "err", where);
  const int status = Finish(process);
  return {status, ReadBytes(output / "out"), ReadBytes(output / "err")};
}

std::string Quoted(const std::string& path) { return "'" + path + "'"; }

}  // namespace

// Each line is out before the next file is through: the program stops
// itself before the second file's original goes, and its first line must
// be there to read while it waits.
TEST(Cli, LinesComeAsTheyAreAdded) {
  ScratchFolder folder, out;
  for (const char* name : {"IM1.ima", "IM2.ima", "IM3.ima"}) {
    folder.Write(name, Fixture());
  }
  const std::string log = out / "log";
  const Process process =
      StartCli({"--jobs", "1", folder.path()},
               "signal:unlink:2:" + std::to_string(faults::kStop), log);
  if (!WaitStopped(process)) {
    Kill(process);
    Finish(process);
    FAIL() << "it never stopped";
  }
  const std::string first = ReadBytes(log);
  EXPECT_EQ(first.substr(0, first.find('\n') + 1),
            "Anonymizing file: IM1.ima\n");
  GoOn(process);
  EXPECT_EQ(Finish(process), 0);
  EXPECT_EQ(ReadBytes(log),
            "Anonymizing file: IM1.ima\nAnonymizing file: IM2.ima\n"
            "Anonymizing file: IM3.ima\nDone. 3 file(s) modified.\n");
}

// What scripts see: the log on standard output, usage on standard error,
// the exit status the highest of the folders'; each folder its own run.
TEST(Cli, OutputAndExitStatus) {
  ScratchFolder one, two, busy, parent, usable, dash;
  one.Write("IM1.ima", Fixture());
  two.Write("IM1.ima", Fixture());
  Fixture noName;
  noName.patientNamePresence = Presence::kAbsent;
  two.Write("IM2.ima", noName);
  CFile other;
  RecordContents contents;
  std::string error;
  ASSERT_EQ(OpenRecordFile(&other, (busy / "anonymous_record.csv").c_str(),
                           &contents, &error),
            RecordOpen::kOpened);
  std::filesystem::create_directory(FsPath(dash / "-scans"));
  const std::string cannot =
      "ERROR:Couldn't create/open anonymous_record.csv to store original "
      "patient names in.\nCheck folder permissions in: ";
  const std::string u = usable.path();
  const struct {
    std::vector<std::string> arguments;
    int status;
    std::string out;
  } cases[] = {
      {{"--jobs", "1", "--", one.path()},
       0,
       "Anonymizing file: IM1.ima\nDone. 1 file(s) modified.\n"},
      {{"--dry-run", two.path()},
       1,
       "Anonymizing file: IM1.ima\n  -> ANONDN20070801.ima\nAnonymizing file: "
       "IM2.ima\nERROR:No patient name in file: " +
           two / "IM2.ima" + "\nDry run: 1 file(s) would be modified.\n"},
      {{""}, 2, "ERROR:No folder selected.\n"},
      // One character names a folder of the current one, here not there.
      {{"x"},
       2,
       cannot + (std::filesystem::current_path() / "x").u8string() +
           "\nQuitting...\n"},
      // Two characters make a folder, here one that is not there.
      {{"ab"}, 2, cannot + "ab\nQuitting...\n"},
      {{"--dry-run", "/nonexistent/scans"},
       2,
       cannot + "/nonexistent/scans\nQuitting...\n"},
      // A busy and a missing folder say so, the others run.
      {{busy.path(), one.path(), parent / "missing"},
       2,
       "ERROR:Another run is using this folder: " + busy.path() +
           "\nLeft 1 file(s) that an earlier run anonymized.\nDone. 0 "
           "file(s) modified.\n" +
           cannot + parent / "missing" + "\nQuitting...\n"},
      {{"--dry-run", busy.path()},
       2,
       "ERROR:Another run is using this folder: " + busy.path() + "\n"},
      {{"--", dash / "-scans"}, 0, "Done. 0 file(s) modified.\n"},
      {{"--version"}, 0, "veilmark-cli " VEILMARK_VERSION "\n"},
      // Bad usage, around a folder that would run, touches nothing.
      {{}, 2, ""},
      {{"--frobnicate", u}, 2, ""},
      {{"--jobs", "0", u}, 2, ""},
      {{"--jobs", "1025", u}, 2, ""},
      {{"--jobs", "x", u}, 2, ""},
      {{u, "--jobs", "2"}, 2, ""},
      {{"--jobs"}, 2, ""},
      {{"--retain-uids", u}, 2, ""},
      {{"--profile", "full", u}, 2, ""},
      {{"--profile", "basic", "--restore", u}, 2, ""},
      {{"--profile", "basic", "--retain-full-dates", "--retain-modified-dates",
        u},
       2,
       ""},
  };
  for (const auto& c : cases) {
    std::string arguments;
    for (const std::string& argument : c.arguments) {
      arguments += Quoted(argument) + " ";
    }
    Result result = RunCli(c.arguments);
    EXPECT_EQ(result.status, c.status) << arguments;
    EXPECT_EQ(result.out, c.out) << arguments;
  }
  EXPECT_EQ(usable.Names(), std::vector<std::string>{});
  EXPECT_EQ(RunCli({"--frobnicate"}).err.substr(0, 19), "usage: veilmark-cli");
  const std::string help = RunCli({"--help"}).out;
  for (const char* option : {"--jobs N", "--dry-run", "--restore", "--help"}) {
    EXPECT_PRED_FORMAT2(testing::IsSubstring, option, help);
  }
  // "." is the current folder's absolute path.
  EXPECT_EQ(RunCli({"."}, busy.path()).out,
            "ERROR:Another run is using this folder: " + busy.path() + "\n");
}

// An undo as scripts use it: its dry run, its exit statuses, many folders.
TEST(Cli, RestoreExitStatus) {
  ScratchFolder none, done, failing;
  done.Write("IM1.ima", Patient("DOE^JOHN", "20070801"));
  failing.Write("IM1.ima", Patient("DOE^JOHN", "20070801"));
  EXPECT_EQ(RunCli({done.path(), failing.path()}).status, 0);
  RemoveEntry(failing / "ANONDN20070801.ima");
  EXPECT_EQ(RunCli({"--restore", "--dry-run", done.path()}).out,
            "Restoring file: ANONDN20070801.ima\n  -> IM1.ima\nDry run: 1 "
            "file(s) would be restored.\n");
  Result all = RunCli({"--restore", done.path(), failing.path(), none.path()});
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
  EXPECT_EQ(RunCli({"--restore", failing.path()}).status, 1);
  const Result missing = RunCli({"--restore", none / "missing"});
  EXPECT_EQ(missing.status, 2);
  EXPECT_EQ(missing.out, "ERROR:Couldn't list folder: " + none / "missing" +
                             " (No such file or directory)\n");
}

// What DCMTK says of a file goes to standard error with the file's name;
// standard output keeps the log's lines alone.
TEST(Cli, ToolkitWarningsNameTheirFile) {
  ScratchFolder folder;
  folder.Write("IM1.ima", Patient("DOE^JOHN", "20070801", 8));
  // Pixel data one byte short of an even length.
  std::string bytes = ReadBytes(folder / "IM1.ima");
  const size_t length = bytes.find(std::string("\xe0\x7f\x10\0OW", 6)) + 8;
  bytes[length] = 7;
  bytes.pop_back();
  WriteBytes(folder / "IM1.ima", bytes);
  Result result = RunCli({folder.path()});
  EXPECT_EQ(result.out,
            "Anonymizing file: IM1.ima\nDone. 1 file(s) modified.\n");
  // Each once, although the copy is read back and says the same.
  const std::string warning = "Warning in file: " + folder / "IM1.ima" +
                              " (DcmItem: Length of element (7fe0,0010) ";
  EXPECT_EQ(result.err, warning + "is not a multiple of 2 (VR=OW))\n" +
                            warning + "is odd)\n");
}
