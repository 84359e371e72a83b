// The system calls of a real run, traced: each new file is flushed before it
// gets its name, the folder after, and the record line before the original
// is removed.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "tests/test_folder.h"

namespace {

// What has reached the disk since the last new file got its name.
struct Order {
  bool fileSynced = false, folderSynced = false, recordSynced = false;
};

bool Succeeded(const std::string& line) {
  return line.size() > 3 && line.compare(line.size() - 3, 3, "= 0") == 0;
}

// The text between the first `open` and the next `close`.
std::string Between(const std::string& line, char open, char close) {
  size_t from = line.find(open);
  size_t to = from == std::string::npos ? from : line.find(close, from + 1);
  return to == std::string::npos ? "" : line.substr(from + 1, to - from - 1);
}

// The `n`th double-quoted argument.
std::string Quoted(const std::string& line, int n) {
  size_t at = 0;
  for (int i = 0; i <= n; ++i) {
    at = line.find('"', at);
    if (at == std::string::npos) return "";
    size_t end = line.find('"', at + 1);
    if (end == std::string::npos) return "";
    if (i == n) return line.substr(at + 1, end - at - 1);
    at = end + 1;
  }
  return "";
}

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
      "ASAN_OPTIONS=detect_leaks=0 strace -f -y -qq -e "
      "trace=fdatasync,fsync,renameat2,link,unlink,unlinkat"
      " -o '" +
      trace + "' " VEILMARK_CLI " '" + folder.path() + "' >/dev/null";
  if (std::system(command.c_str()) != 0) {
    GTEST_SKIP() << "SKIPPED: tracing is not permitted here";
  }

  const std::string record = folder / "anonymous_record.csv";
  std::ifstream in(trace);
  std::string line, syncedTemp;
  Order order;
  int removed = 0;
  while (std::getline(in, line)) {
    if (!Succeeded(line)) continue;
    if (line.find("sync(") != std::string::npos) {
      std::string path = Between(line, '<', '>');
      if (path == folder.path()) {
        order.folderSynced = true;
      } else if (path == record) {
        order.recordSynced = true;
      } else {
        syncedTemp = path;
      }
    } else if (line.find(" renameat2(") != std::string::npos) {
      std::string from = Quoted(line, 0);
      EXPECT_EQ(from, syncedTemp)
          << "published before it was flushed: " << line;
      order = Order{from == syncedTemp, false, false};
    } else if (line.find(" unlink(") != std::string::npos) {
      if (Quoted(line, 0).find(".veilmark-") != std::string::npos) continue;
      ++removed;
      EXPECT_TRUE(order.fileSynced && order.folderSynced && order.recordSynced)
          << "removed too early: " << line;
      order.recordSynced = false;
    }
  }
  EXPECT_EQ(removed, 8);
}
