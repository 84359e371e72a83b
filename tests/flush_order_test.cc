// The system calls of a real run, traced: each new file is flushed before it
// gets its name, the folder after, and the record line before the original
// is removed.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <regex>

#include "tests/test_folder.h"

namespace {

// What has reached the disk since the last new file got its name.
struct Order {
  bool fileSynced = false, folderSynced = false, recordSynced = false;
};

}  // namespace

TEST(FlushOrder, OriginalsAreRemovedOnlyAfterTheirCopyAndRecordAreOnDisk) {
  if (std::system("strace -V >/dev/null 2>&1") != 0) {
    GTEST_SKIP() << "SKIPPED: strace is not installed";
  }
  ScratchFolder folder;
  for (int i = 0; i < 8; ++i) {
    Fixture fixture;
    fixture.pixelBytes = 8192;
    folder.Write("IM" + std::to_string(i) + ".ima", fixture);
  }
  ScratchFolder out;
  std::string trace = out / "trace";
  std::string command =
      "strace -f -y -qq -e trace=fdatasync,fsync,renameat2,link,unlink,unlinkat"
      " -o '" +
      trace + "' " VEILMARK_CLI " '" + folder.path() + "' >/dev/null";
  if (std::system(command.c_str()) != 0) {
    GTEST_SKIP() << "SKIPPED: tracing is not permitted here";
  }

  const std::regex syncFile(R"re((fdatasync|fsync)\(\d+<([^>]*)>\)\s*= 0)re");
  const std::regex rename(
      R"re(renameat2\(.*"([^"]*)", .*"([^"]*)", RENAME_NOREPLACE\)\s*= 0)re");
  const std::regex unlink(R"re(unlink\("([^"]*)"\)\s*= 0)re");
  const std::string record = folder / "anonymous_record.csv";
  std::ifstream in(trace);
  std::string line, syncedTemp;
  Order order;
  int removed = 0;
  std::smatch m;
  while (std::getline(in, line)) {
    if (std::regex_search(line, m, syncFile)) {
      if (m[2] == folder.path())
        order.folderSynced = true;
      else if (m[2] == record)
        order.recordSynced = true;
      else
        syncedTemp = m[2];
    } else if (std::regex_search(line, m, rename)) {
      EXPECT_EQ(m[1], syncedTemp)
          << "published before it was flushed: " << line;
      order = Order{m[1] == syncedTemp, false, false};
    } else if (std::regex_search(line, m, unlink)) {
      std::string path = m[1];
      if (path.find(".veilmark-") != std::string::npos) continue;
      ++removed;
      EXPECT_TRUE(order.fileSynced && order.folderSynced && order.recordSynced)
          << "removed too early: " << line;
      order.recordSynced = false;
    }
  }
  EXPECT_EQ(removed, 8);
}
