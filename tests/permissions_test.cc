// Folders and files the user may not write. Root may write anywhere, so
// when the tests run as root the run itself goes as the user "nobody".
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

#include "tests/promise.h"
#include "tests/test_folder.h"

namespace {

const uid_t kNobody = 65534;

// Runs veilmark-cli on `folder` as an ordinary user; returns its exit
// status and puts its output in `out`.
int RunAsUser(const ScratchFolder& folder, std::string* out) {
  std::string as = geteuid() == 0 ? "setpriv --reuid=65534 --regid=65534 "
                                    "--clear-groups "
                                  : "";
  std::string log = folder.path() + ".log";
  std::string command =
      as + VEILMARK_CLI " '" + folder.path() + "' > '" + log + "' 2>/dev/null";
  int status = std::system(command.c_str());
  *out = ReadBytes(log);
  ::unlink(log.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A folder the user can read and enter; `writable` says whether it may
// also create and remove entries in it.
void Prepare(const ScratchFolder& folder, bool writable) {
  if (geteuid() == 0) {
    ::chown(folder.path().c_str(), writable ? kNobody : 0, 0);
    for (const std::string& name : folder.Names()) {
      ::chown((folder / name).c_str(), kNobody, 0);
    }
  }
  ::chmod(folder.path().c_str(), writable ? 0755 : 0555);
}

}  // namespace

TEST(Permissions, FolderNotWritableIsNotTouched) {
  if (geteuid() == 0 && std::system("setpriv --version >/dev/null 2>&1")) {
    GTEST_SKIP() << "SKIPPED: setpriv is needed to run as another user";
  }
  ScratchFolder folder;
  folder.Write("IM1.ima", Fixture());
  Prepare(folder, false);
  Promise promise(folder.path());
  std::string out;
  EXPECT_EQ(RunAsUser(folder, &out), 2);
  EXPECT_EQ(out,
            "ERROR:Couldn't create/open anonymous_record.csv to store original "
            "patient names in.\nCheck folder permissions in: " +
                folder.path() + "\nQuitting...\n");
  EXPECT_EQ(promise.UntouchedOriginals(), std::vector<std::string>{"IM1.ima"});
  EXPECT_EQ(folder.Names(), std::vector<std::string>{"IM1.ima"});
}

TEST(Permissions, RecordNotWritableStopsTheRunBeforeAnyFile) {
  if (geteuid() == 0 && std::system("setpriv --version >/dev/null 2>&1")) {
    GTEST_SKIP() << "SKIPPED: setpriv is needed to run as another user";
  }
  ScratchFolder folder;
  folder.Write("IM1.ima", Fixture());
  WriteBytes(folder / "anonymous_record.csv", "earlier\r\n");
  Prepare(folder, true);
  ::chmod((folder / "anonymous_record.csv").c_str(), 0444);
  std::string out;
  EXPECT_EQ(RunAsUser(folder, &out), 2);
  EXPECT_EQ(out.rfind("ERROR:Couldn't create/open anonymous_record.csv", 0),
            0u);
  EXPECT_EQ(ReadBytes(folder / "anonymous_record.csv"), "earlier\r\n");
  EXPECT_EQ(folder.Names(),
            (std::vector<std::string>{"IM1.ima", "anonymous_record.csv"}));
}

TEST(Permissions, UnreadableOriginalFailsAlone) {
  if (geteuid() == 0 && std::system("setpriv --version >/dev/null 2>&1")) {
    GTEST_SKIP() << "SKIPPED: setpriv is needed to run as another user";
  }
  ScratchFolder folder;
  folder.Write("IM1.ima", Fixture());
  folder.Write("IM2.ima", Fixture());
  Prepare(folder, true);
  ::chmod((folder / "IM1.ima").c_str(), 0200);
  std::string out;
  EXPECT_EQ(RunAsUser(folder, &out), 1);
  EXPECT_NE(out.find("ERROR:Couldn't load file: " + folder.path() +
                     "/IM1.ima (Permission denied)\n"),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("Done. 1 file(s) modified.\n"), std::string::npos);
  EXPECT_TRUE(Exists(folder / "IM1.ima"));
}
