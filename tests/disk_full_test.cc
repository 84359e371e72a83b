// Runs on a small memory file system that fills up: during a save, and
// while the record line is written. Needs permission to mount one; where
// that is refused, the tests say they are skipped.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/statvfs.h>

#include "tests/promise.h"
#include "tests/run_folder.h"
#include "tests/test_folder.h"

namespace {

constexpr size_t kPage = 4096;

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
  size_t FreeBytes() const {
    struct statvfs st;
    statvfs(folder_.path().c_str(), &st);
    return st.f_bavail * st.f_frsize;
  }

 private:
  ScratchFolder folder_;
  bool mounted_ = false;
};

size_t Pages(size_t bytes) { return (bytes + kPage - 1) / kPage; }

Fixture Sized(size_t pixelBytes, const char* date) {
  Fixture fixture;
  fixture.pixelBytes = pixelBytes;
  fixture.studyDate = date;
  return fixture;
}

}  // namespace

TEST(DiskFull, SavesThatNoLongerFitFailAndLoseNothing) {
  SmallDisk disk(2048 * 1024);
  if (!disk.mounted())
    GTEST_SKIP() << "SKIPPED: mounting a tmpfs is not permitted here";
  const ScratchFolder& folder = disk.folder();
  // The copies of four small files fit beside the rest, all at once; a
  // large one never does.
  for (int i = 0; i < 4; ++i) {
    folder.Write("a" + std::to_string(i) + ".ima",
                 Sized(64 * 1024, ("2007080" + std::to_string(i)).c_str()));
  }
  folder.Write("b0.ima", Sized(700 * 1024, "20070810"));
  folder.Write("b1.ima", Sized(700 * 1024, "20070811"));
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
  EXPECT_EQ(ReadRecord(folder / "anonymous_record.csv").size(), 5u);
  for (const std::string& name : folder.Names()) {
    EXPECT_EQ(name.find(".veilmark-"), std::string::npos) << name;
  }
}

TEST(DiskFull, RecordLineThatDoesNotFitKeepsTheOriginal) {
  // Leave exactly as much room as the new file takes, and have the record
  // line need a page of its own: the save succeeds, the line cannot be
  // written. The exact sizes of one file system are not known in advance,
  // so the free space is tried a page either side.
  Fixture fixture = Sized(40 * 1024, "20070801");
  size_t newFileBytes;
  {
    ScratchFolder dry;
    dry.Write("IM1.ima", fixture);
    RunFolder(dry.path());
    newFileBytes = ReadBytes(dry / "ANONDN20070801.ima").size();
  }
  bool recordFailed = false, saveFailed = false;
  for (int extra = -1; extra <= 1; ++extra) {
    SmallDisk disk(1024 * 1024);
    if (!disk.mounted())
      GTEST_SKIP() << "SKIPPED: mounting a tmpfs is not permitted here";
    const ScratchFolder& folder = disk.folder();
    folder.Write("IM1.ima", fixture);
    // An earlier record that ends a few bytes short of a page boundary.
    std::string earlier = "Original Filename\r\n";
    earlier += std::string(2 * kPage - earlier.size() - 4, 'x') + "\r\n";
    WriteBytes(folder / "anonymous_record.csv", earlier);
    size_t leave = (Pages(newFileBytes) + extra) * kPage;
    size_t fill = disk.FreeBytes() - leave;
    WriteBytes(folder / "filler", std::string(fill, '\0'));
    Promise promise(folder.path());

    std::string log = RunFolder(folder.path());
    if (log.find("ERROR:Couldn't write to anonymous_record.csv: No space left "
                 "on device\r\n") != std::string::npos) {
      recordFailed = true;
      EXPECT_EQ(folder.Names(),
                (std::vector<std::string>{"IM1.ima", "anonymous_record.csv",
                                          "filler"}));
      EXPECT_EQ(ReadBytes(folder / "anonymous_record.csv"), earlier);
    }
    if (log.find("ERROR:Couldn't save new file:") != std::string::npos) {
      saveFailed = true;
    }
    EXPECT_EQ(promise.Broken(), std::vector<std::string>{}) << log;
  }
  EXPECT_TRUE(recordFailed);
  EXPECT_TRUE(saveFailed);
}
