// The system calls of a real run, traced: an original is removed only after
// a flush that covers its copy's data, a flush of the folder after the copy
// got its name, and a flush of its record line; whether each is flushed on
// its own or a whole group at once.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <set>

#include "tests/test_folder.h"

namespace {

struct Call {
  std::string name;     // the system call
  std::string fd;       // the path of its first argument's descriptor
  std::string text[2];  // its first two string arguments, unescaped
  bool ok = false;
};

Call Parse(const std::string& line) {
  Call call;
  size_t open = line.find('(');
  if (open == std::string::npos) return call;
  size_t name = line.find_last_of(' ', open) + 1;  // after the thread's id
  call.name = line.substr(name, open - name);
  size_t lt = line.find('<', open);
  if (lt != std::string::npos && lt < line.find_first_of(",)", open)) {
    call.fd = line.substr(lt + 1, line.find('>', lt) - lt - 1);
  }
  size_t at = open;
  for (std::string& text : call.text) {
    at = line.find('"', at);
    if (at == std::string::npos) break;
    for (++at; at < line.size() && line[at] != '"'; ++at) {
      if (line[at] != '\\') {
        text += line[at];
        continue;
      }
      const char c = line[++at];
      text += c == 'r' ? '\r' : c == 'n' ? '\n' : c;
    }
    ++at;
  }
  size_t equals = line.rfind(" = ");
  call.ok = equals != std::string::npos && line.compare(equals + 3, 1, "-");
  return call;
}

std::string BaseName(const std::string& path) {
  return path.substr(path.rfind('/') + 1);
}

}  // namespace

TEST(FlushOrder, OriginalsAreRemovedOnlyAfterTheirCopyAndRecordAreOnDisk) {
  if (std::system("strace -V >/dev/null 2>&1") != 0) {
    GTEST_SKIP() << "SKIPPED: strace is not installed";
  }
  ScratchFolder folder, out;
  const int kFiles = 40;
  for (int i = 0; i < kFiles; ++i) {
    folder.Write("IM" + std::to_string(i) + ".ima",
                 Patient("DOE^JOHN", "20070801", 8192));
  }
  const std::string trace = out / "trace";
  if (std::system(
          ("ASAN_OPTIONS=detect_leaks=0 strace -f -y -qq -s 65536 -e "
           "trace=write,fdatasync,fsync,syncfs,renameat2,link,unlink -o '" +
           trace + "' " VEILMARK_CLI " --jobs 4 '" + folder.path() +
           "' >/dev/null")
              .c_str()) != 0) {
    GTEST_SKIP() << "SKIPPED: tracing is not permitted here";
  }

  const std::string record = folder / "anonymous_record.csv";
  auto isTemp = [](const std::string& path) {
    return BaseName(path).rfind(".veilmark-", 0) == 0;
  };
  std::set<std::string> dirty, flushed;  // copies, since their last write
  std::set<std::string> named, namesOnDisk;
  std::set<std::string> recorded, recordOnDisk;   // originals
  std::map<std::string, std::string> copyOf;      // original -> new name
  std::map<std::string, std::string> unfinished;  // by thread
  int removed = 0;
  std::ifstream in(trace);
  for (std::string line; std::getline(in, line);) {
    // A call that another thread's calls interrupted counts when it ends.
    const std::string pid = line.substr(0, line.find(' '));
    const std::string cut = " <unfinished ...>";
    if (line.size() > cut.size() &&
        line.compare(line.size() - cut.size(), cut.size(), cut) == 0) {
      unfinished[pid] = line.substr(0, line.size() - cut.size());
      continue;
    }
    size_t resumed = line.find(" resumed>");
    if (resumed != std::string::npos) {
      line = unfinished[pid] + line.substr(resumed + 9);
    }
    const Call call = Parse(line);
    if (!call.ok) continue;
    const bool all = call.name == "syncfs";
    const bool flush = all || call.name == "fdatasync" || call.name == "fsync";
    if (call.name == "write" && isTemp(call.fd)) {
      dirty.insert(call.fd);
      flushed.erase(call.fd);
    } else if (call.name == "write" && call.fd == record) {
      for (size_t at = 0, end;
           (end = call.text[0].find("\r\n", at)) != std::string::npos;
           at = end + 2) {
        std::string row = call.text[0].substr(at, end - at);
        size_t c1 = row.find(','), c2 = row.find(',', c1 + 1);
        copyOf[row.substr(0, c1)] = row.substr(c1 + 1, c2 - c1 - 1);
        recorded.insert(row.substr(0, c1));
      }
    } else if (flush) {
      if (all || isTemp(call.fd)) {
        for (const std::string& copy : dirty) {
          if (all || copy == call.fd) flushed.insert(copy);
        }
      }
      if (all || call.fd == folder.path()) namesOnDisk = named;
      if (all || call.fd == record) recordOnDisk = recorded;
    } else if (call.name == "renameat2" || call.name == "link") {
      EXPECT_TRUE(flushed.count(call.text[0]))
          << "named before its data was flushed: " << line;
      named.insert(BaseName(call.text[1]));
    } else if (call.name == "unlink" && !isTemp(call.text[0]) &&
               call.text[0].rfind(folder.path() + "/", 0) == 0) {
      ++removed;
      const std::string original = BaseName(call.text[0]);
      EXPECT_TRUE(recordOnDisk.count(original))
          << "removed before its record line was flushed: " << line;
      EXPECT_TRUE(namesOnDisk.count(copyOf[original]))
          << "removed before its copy's name was flushed: " << line;
    }
  }
  EXPECT_EQ(removed, kFiles);
}
