// A run on a small memory file system that fills up while the copies are
// written. Needs permission to mount one; where that is refused, the test
// says it is skipped. (A record line that no longer fits is tried in
// run_test.)
#include <gtest/gtest.h>
#include <sys/mount.h>

#include "tests/promise.h"
#include "tests/test_folder.h"

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

TEST(DiskFull, CopiesThatNoLongerFitFailAndLoseNothing) {
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
