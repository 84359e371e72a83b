// Folders and files the user may not write. Root may write anywhere, so
// when the tests run as root the run itself goes as the user "nobody".
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

#include "tests/test_folder.h"

namespace {

const uid_t kNobody = 65534;

// veilmark-cli on `folder` as an ordinary user: its exit status and output.
int RunAsUser(const ScratchFolder& folder, std::string* out) {
  std::string as = geteuid() == 0 ? "setpriv --reuid=65534 --regid=65534 "
                                    "--clear-groups "
                                  : "";
  std::string log = folder.path() + ".log";
  int status = std::system(
      (as + VEILMARK_CLI " '" + folder.path() + "' > '" + log + "' 2>/dev/null")
          .c_str());
  *out = ReadBytes(log);
  ::unlink(log.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

TEST(Permissions, WhatTheUserMayNotWriteIsNotTouched) {
  if (geteuid() == 0 && std::system("setpriv --version >/dev/null 2>&1")) {
    GTEST_SKIP() << "SKIPPED: setpriv is needed to run as another user";
  }
  // folder writable, record writable, IM1.ima readable
  const bool cases[][3] = {
      {false, true, true}, {true, false, true}, {true, true, false}};
  for (const auto& [folderWritable, recordWritable, readable] : cases) {
    ScratchFolder folder;
    folder.Write("IM1.ima", Patient("DOE^JOHN", "20070801"));
    folder.Write("IM2.ima", Patient("SMITH^ANN", "20070802"));
    if (!recordWritable) WriteBytes(folder / "anonymous_record.csv", "x\r\n");
    const std::vector<std::string> before = folder.Names();
    for (const std::string& name : before) {
      if (geteuid() == 0) ::chown((folder / name).c_str(), kNobody, 0);
      ::chmod((folder / name).c_str(), 0644);
    }
    if (geteuid() == 0) {
      ::chown(folder.path().c_str(), folderWritable ? kNobody : 0, 0);
    }
    ::chmod(folder.path().c_str(), folderWritable ? 0755 : 0555);
    if (!recordWritable)
      ::chmod((folder / "anonymous_record.csv").c_str(), 0444);
    if (!readable) ::chmod((folder / "IM1.ima").c_str(), 0200);

    std::string out;
    int status = RunAsUser(folder, &out);
    if (!folderWritable || !recordWritable) {
      EXPECT_EQ(status, 2);
      EXPECT_EQ(out,
                "ERROR:Couldn't create/open anonymous_record.csv to store "
                "original patient names in.\nCheck folder permissions in: " +
                    folder.path() + "\nQuitting...\n");
      EXPECT_EQ(folder.Names(), before);
    } else {
      EXPECT_EQ(status, 1);
      EXPECT_NE(out.find("ERROR:Couldn't load file: " + folder.path() +
                         "/IM1.ima (Permission denied)\n"),
                std::string::npos)
          << out;
      EXPECT_NE(out.find("Done. 1 file(s) modified.\n"), std::string::npos);
      EXPECT_TRUE(Exists(folder / "IM1.ima"));
    }
  }
}
