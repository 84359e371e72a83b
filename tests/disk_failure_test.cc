// The disk failing a run: a small memory file system that fills up while
// the copies are written (where mounting one is refused, that test says it
// is skipped; a record line that no longer fits is tried in run_test), and
// flushes that report an error of the disk.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/system/path_separator.h"
#include "tests/faults.h"
#include "tests/promise.h"
#include "tests/test_folder.h"

namespace {

// A memory file system of `bytes` mounted over a scratch folder for the
// object's life.
class SmallDisk {
 public:
  explicit SmallDisk(size_t bytes)
      : mounted_(MountMemoryDisk(folder_.path(), bytes)) {}
  ~SmallDisk() {
    if (mounted_) Unmount(folder_.path());
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
  if (!disk.mounted()) {
    GTEST_SKIP() << "SKIPPED: mounting a memory file system is refused, or "
                    "the system has none";
  }
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

  const std::string log = RunLogged(folder.path()).log;
  EXPECT_PRED_FORMAT2(
      testing::IsSubstring,
      "ERROR:Couldn't save new file: " + folder / "ANONDN20070810.ima" + "\r\n",
      log);
  EXPECT_PRED_FORMAT2(testing::IsSubstring, "Done. 4 file(s) modified.", log);
  EXPECT_EQ(promise.Broken(), std::vector<std::string>{});
  EXPECT_EQ(promise.UntouchedOriginals(),
            (std::vector<std::string>{"b0.ima", "b1.ima"}));
}

// A flush that fails leaves the files it was to cover unsure: their copies
// go, their lines too, and their originals stay. One file at a time, only
// the first file's flush fails; at any speed, every flush of that kind does.
TEST(DiskFailure, FailedFlushesKeepTheOriginalsOfTheirFiles) {
  using faults::Op;
  const std::string separator = kPathSeparator;
  const struct {
    const char* what;
    Op op;
    std::string part;
    const char* error;
  } kinds[] = {
      {"copies", Op::kFlushFile, separator + ".veilmark-",
       "Couldn't save new file: "},
      {"folder", Op::kFlushFolder, "", "Couldn't save new file: "},
      {"record", Op::kFlushFile, separator + "anonymous_record.csv",
       "Couldn't write to anonymous_record.csv: "},
  };
  for (const auto& kind : kinds) {
    for (bool once : {true, false}) {
      SCOPED_TRACE(std::string(kind.what) + (once ? " once" : " always"));
      ScratchFolder folder;
      RunLogged(folder.path());  // a record with its header
      for (int i = 0; i < 6; ++i) {
        folder.Write("IM" + std::to_string(i) + ".ima",
                     Patient("DOE^JOHN", "2007080" + std::to_string(i)));
      }
      Promise promise(folder.path());
      RunOptions options;
      options.jobs = once ? 1 : 0;
      LoggedRun run;
      {
        // A group of one flushes its copy alone, a larger one the whole
        // file system.
        const bool copies = std::string(kind.what) == "copies";
        faults::Hook fail = faults::Fail(kind.op, kind.part, EIO, once);
        faults::Hook all = faults::Fail(Op::kFlushAll, "", EIO);
        faults::Scope scope([&](const faults::Call& call) {
          const int error = fail(call);
          return error || !copies || once ? error : all(call);
        });
        run = RunLogged(folder.path(), options);
      }
      const std::vector<std::string> kept = promise.UntouchedOriginals();
      EXPECT_EQ(promise.Broken(), std::vector<std::string>{});
      EXPECT_EQ(run.result.failed, once ? 1 : 6);
      EXPECT_EQ(run.result.modified, once ? 5 : 0);
      EXPECT_EQ(kept.size(), once ? 1u : 6u);
      if (once) {
        EXPECT_EQ(kept, std::vector<std::string>{"IM0.ima"});
      }
      EXPECT_EQ(ReadRecord(folder).size(), once ? 5u : 0u);
      // Every error line is the kind's.
      size_t errors = 0;
      for (size_t at = 0;
           (at = run.log.find("ERROR:", at)) != std::string::npos;
           ++errors, ++at) {
        EXPECT_EQ(run.log.compare(at + 6, std::strlen(kind.error), kind.error),
                  0)
            << run.log;
      }
      EXPECT_EQ(errors, kept.size());
      // The next run finishes the folder.
      RunLogged(folder.path());
      EXPECT_EQ(promise.Broken(), std::vector<std::string>{});
      EXPECT_EQ(promise.UntouchedOriginals(), std::vector<std::string>{});
    }
  }
}
