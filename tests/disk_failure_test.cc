// The disk failing a run: a small memory file system that fills up while
// the copies are written (where mounting one is refused, that test says it
// is skipped; a record line that no longer fits is tried in run_test), and
// flushes that report an error of the disk.
#include <dlfcn.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

#include "anonymize/folder_run.h"
#include "tests/promise.h"
#include "tests/test_folder.h"

namespace {

// What a flush call is for, told by what it flushes.
enum class Flush { kNone, kCopy, kFolder, kRecord };

// The kind of flush that fails, and whether only its next call does.
std::atomic<Flush> failing{Flush::kNone};
std::atomic<bool> failOnce{false};

Flush KindOf(int fd) {
  struct stat st;
  if (::fstat(fd, &st) != 0) return Flush::kNone;
  if (S_ISDIR(st.st_mode)) return Flush::kFolder;
  char path[4096];
  std::string link = "/proc/self/fd/" + std::to_string(fd);
  ssize_t length = ::readlink(link.c_str(), path, sizeof path - 1);
  std::string name(path, length > 0 ? static_cast<size_t>(length) : 0);
  if (name.find("/anonymous_record.csv") != std::string::npos) {
    return Flush::kRecord;
  }
  if (name.find("/.veilmark-") != std::string::npos) return Flush::kCopy;
  return Flush::kNone;
}

// True, with errno set, when this flush is to fail.
bool Fails(Flush kind) {
  Flush expected = kind;
  if (kind == Flush::kNone || failing.load() != kind) return false;
  if (failOnce && !failing.compare_exchange_strong(expected, Flush::kNone)) {
    return false;
  }
  errno = EIO;
  return true;
}

template <typename Real>
Real Next(const char* name) {
  return reinterpret_cast<Real>(dlsym(RTLD_NEXT, name));
}

}  // namespace

extern "C" int fsync(int fd) {
  static auto real = Next<int (*)(int)>("fsync");
  return Fails(KindOf(fd)) ? -1 : real(fd);
}

extern "C" int fdatasync(int fd) {
  static auto real = Next<int (*)(int)>("fdatasync");
  return Fails(KindOf(fd)) ? -1 : real(fd);
}

// The copies of a group are flushed with their whole file system.
extern "C" int syncfs(int fd) {
  static auto real = Next<int (*)(int)>("syncfs");
  return Fails(Flush::kCopy) ? -1 : real(fd);
}

namespace {

// A tmpfs of `bytes` mounted over a scratch folder for the object's life.
class SmallDisk {
 public:
  explicit SmallDisk(size_t bytes) {
    std::string options = "size=" + std::to_string(bytes);
    mounted_ = ::mount("tmpfs", folder_.path().c_str(), "tmpfs", 0,
                       options.c_str()) == 0;
  }
  ~SmallDisk() {
    if (mounted_) ::umount2(folder_.path().c_str(), MNT_DETACH);
  }
  bool mounted() const { return mounted_; }
  const ScratchFolder& folder() const { return folder_; }

 private:
  ScratchFolder folder_;
  bool mounted_ = false;
};

}  // namespace

TEST(DiskFailure, CopiesThatNoLongerFitFailAndLoseNothing) {
  SmallDisk disk(2048 * 1024);
  if (!disk.mounted()) GTEST_SKIP() << "SKIPPED: mounting a tmpfs is refused";
  const ScratchFolder& folder = disk.folder();
  // The copies of four small files fit beside the rest, all at once; a
  // large one never does.
  for (int i = 0; i < 4; ++i) {
    folder.Write("a" + std::to_string(i) + ".ima",
                 Patient("DOE^JOHN", "2007080" + std::to_string(i), 65536));
  }
  folder.Write("b0.ima", Patient("DOE^JOHN", "20070810", 700 * 1024));
  folder.Write("b1.ima", Patient("DOE^JOHN", "20070811", 700 * 1024));
  Promise promise(folder.path());

  std::string log = RunFolder(folder.path());
  EXPECT_NE(log.find("ERROR:Couldn't save new file: " + folder.path() +
                     "/ANONDN20070810.ima\r\n"),
            std::string::npos)
      << log;
  EXPECT_NE(log.find("Done. 4 file(s) modified."), std::string::npos) << log;
  EXPECT_EQ(promise.Broken(), std::vector<std::string>{});
  EXPECT_EQ(promise.UntouchedOriginals(),
            (std::vector<std::string>{"b0.ima", "b1.ima"}));
}

// A flush that fails leaves the copies it was to cover unsure: they go, and
// their originals stay. One file at a time, only the first file's flush
// fails; at any speed, every flush of that kind does.
TEST(DiskFailure, FailedFlushesKeepTheOriginalsOfTheirFiles) {
  const std::pair<Flush, const char*> kinds[] = {
      {Flush::kCopy, "Couldn't save new file: "},
      {Flush::kFolder, "Couldn't save new file: "},
      {Flush::kRecord, "Couldn't write to anonymous_record.csv: "},
  };
  for (const auto& kind : kinds) {
    for (bool once : {true, false}) {
      SCOPED_TRACE(std::to_string(static_cast<int>(kind.first)) +
                   (once ? " once" : " always"));
      ScratchFolder folder;
      RunFolder(folder.path());  // a record with its header
      for (int i = 0; i < 6; ++i) {
        folder.Write("IM" + std::to_string(i) + ".ima",
                     Patient("DOE^JOHN", "2007080" + std::to_string(i)));
      }
      Promise promise(folder.path());
      struct Lines : RunLog {
        void Add(const LogLine& line) override {
          if (line.error) errors.push_back(line.message.str());
        }
        std::vector<std::string> errors;
      } log;
      RunOptions options;
      options.jobs = once ? 1 : 0;
      failOnce = once;
      failing = kind.first;
      RunResult result = FolderRun(folder.path().c_str(), &log, options).Run();
      failing = Flush::kNone;

      std::vector<std::string> kept = promise.UntouchedOriginals();
      EXPECT_EQ(promise.Broken(), std::vector<std::string>{});
      EXPECT_EQ(result.failed, once ? 1 : 6);
      EXPECT_EQ(result.modified, once ? 5 : 0);
      EXPECT_EQ(kept.size(), once ? 1u : 6u);
      if (once) {
        EXPECT_EQ(kept, std::vector<std::string>{"IM0.ima"});
      }
      ASSERT_EQ(log.errors.size(), kept.size());
      for (const std::string& error : log.errors) {
        EXPECT_EQ(error.rfind(kind.second, 0), 0u) << error;
      }
      // The next run finishes the folder.
      RunFolder(folder.path());
      EXPECT_EQ(promise.Broken(), std::vector<std::string>{});
      EXPECT_EQ(promise.UntouchedOriginals(), std::vector<std::string>{});
    }
  }
}
