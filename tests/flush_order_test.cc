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
  std::string name;   // the system call
  std::string fd;     // the path of its first argument's descriptor
  std::string text;   // the text of its first string argument, unescaped
  std::string text2;  // of its second
  bool ok = false;
};

// The string argument of a traced call starting at `at` (its quote),
// unescaped as far as this test needs; `at` moves past it.
std::string Unquote(const std::string& line, size_t* at) {
  std::string out;
  size_t i = *at + 1;
  for (; i < line.size() && line[i] != '"'; ++i) {
    if (line[i] == '\\' && i + 1 < line.size()) {
      char c = line[++i];
      out += c == 'r' ? '\r' : c == 'n' ? '\n' : c;
    } else {
      out += line[i];
    }
  }
  *at = i + 1;
  return out;
}

Call Parse(const std::string& line) {
  Call call;
  size_t open = line.find('(');
  if (open == std::string::npos) return call;
  size_t name = line.find_last_of(' ', open) + 1;  // after the thread's id
  call.name = line.substr(name, open - name);
  size_t lt = line.find('<', open);
  size_t comma = line.find_first_of(",)", open);
  if (lt != std::string::npos && lt < comma) {
    call.fd = line.substr(lt + 1, line.find('>', lt) - lt - 1);
  }
  size_t at = line.find('"', open);
  if (at != std::string::npos) call.text = Unquote(line, &at);
  at = line.find('"', at);
  if (at != std::string::npos) call.text2 = Unquote(line, &at);
  size_t equals = line.rfind(" = ");
  call.ok =
      equals != std::string::npos && line.compare(equals + 3, 1, "-") != 0;
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
  ScratchFolder folder;
  const int kFiles = 40;
  for (int i = 0; i < kFiles; ++i) {
    Fixture fixture;
    fixture.pixelBytes = 8192;
    folder.Write("IM" + std::to_string(i) + ".ima", fixture);
  }
  ScratchFolder out;
  std::string trace = out / "trace";
  std::string command =
      "ASAN_OPTIONS=detect_leaks=0 strace -f -y -qq -s 65536 -e "
      "trace=write,fdatasync,fsync,syncfs,renameat2,link,unlink,unlinkat"
      " -o '" +
      trace + "' " VEILMARK_CLI " --jobs 4 '" + folder.path() + "' >/dev/null";
  if (std::system(command.c_str()) != 0) {
    GTEST_SKIP() << "SKIPPED: tracing is not permitted here";
  }

  const std::string record = folder / "anonymous_record.csv";
  auto isTemp = [](const std::string& path) {
    return BaseName(path).rfind(".veilmark-", 0) == 0;
  };
  std::set<std::string> dirtyTemps, flushedTemps;  // since their last write
  std::set<std::string> named, namesOnDisk;        // new names
  std::set<std::string> recordedOriginals, recordOnDisk;
  std::map<std::string, std::string> copyOf;  // original -> new name
  int removed = 0;
  std::ifstream in(trace);
  std::string line;
  std::map<std::string, std::string> unfinished;  // by thread
  while (std::getline(in, line)) {
    // A call that another thread's calls interrupted counts when it ends.
    std::string pid = line.substr(0, line.find(' '));
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
    Call call = Parse(line);
    if (!call.ok) continue;
    if (call.name == "write" && isTemp(call.fd)) {
      dirtyTemps.insert(call.fd);
      flushedTemps.erase(call.fd);
    } else if (call.name == "write" && call.fd == record) {
      for (size_t at = 0; at < call.text.size();) {
        size_t end = call.text.find("\r\n", at);
        if (end == std::string::npos) break;
        std::string row = call.text.substr(at, end - at);
        size_t c1 = row.find(','), c2 = row.find(',', c1 + 1);
        copyOf[row.substr(0, c1)] = row.substr(c1 + 1, c2 - c1 - 1);
        recordedOriginals.insert(row.substr(0, c1));
        at = end + 2;
      }
    } else if (call.name == "syncfs") {
      flushedTemps.insert(dirtyTemps.begin(), dirtyTemps.end());
      dirtyTemps.clear();
      namesOnDisk.insert(named.begin(), named.end());
      recordOnDisk.insert(recordedOriginals.begin(), recordedOriginals.end());
    } else if (call.name == "fdatasync" || call.name == "fsync") {
      if (isTemp(call.fd)) {
        dirtyTemps.erase(call.fd);
        flushedTemps.insert(call.fd);
      } else if (call.fd == folder.path()) {
        namesOnDisk.insert(named.begin(), named.end());
      } else if (call.fd == record) {
        recordOnDisk.insert(recordedOriginals.begin(), recordedOriginals.end());
      }
    } else if (call.name == "renameat2" || call.name == "link") {
      EXPECT_TRUE(flushedTemps.count(call.text))
          << "named before its data was flushed: " << line;
      named.insert(BaseName(call.text2));
    } else if (call.name == "unlink" && !isTemp(call.text) &&
               call.text.rfind(folder.path() + "/", 0) == 0) {
      ++removed;
      std::string original = BaseName(call.text);
      EXPECT_TRUE(recordOnDisk.count(original))
          << "removed before its record line was flushed: " << line;
      EXPECT_TRUE(namesOnDisk.count(copyOf[original]))
          << "removed before its copy's name was flushed: " << line;
    }
  }
  EXPECT_EQ(removed, kFiles);
}
