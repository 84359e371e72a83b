// The disk failing a run: flushes that report an error of the disk. (A
// disk too full for a copy or a record line is tried in run_test, by a
// limit on the size of the files the run writes.)
#include <gtest/gtest.h>

#include <cstring>

#include "platform/system/path_separator.h"
#include "tests/faults.h"
#include "tests/promise.h"
#include "tests/test_folder.h"

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
