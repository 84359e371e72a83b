// Another process changes an original while the run has it in hand:
// between the listing and the load, and between the load and the save.
// Whatever it does, the file fails with its error line or is anonymized
// from what was read whole, and nothing of ours is lost.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>

#include "anonymize/folder_run.h"
#include "anonymize/verified_save.h"
#include "tests/test_folder.h"

namespace {

// Run once, on whichever thread of the run reaches the moment; and on
// every copy's temporary file.
std::function<void()> beforeOpen, beforeSave, everyCopy;

void RunOnce(std::function<void()>* action) {
  if (*action) {
    auto run = std::move(*action);
    *action = nullptr;
    run();
  }
}

}  // namespace

// An original is first looked at after the listing, before it is opened.
extern "C" int stat(const char* path, struct stat* st) {
  using Real = int (*)(const char*, struct stat*);
  static Real real = reinterpret_cast<Real>(dlsym(RTLD_NEXT, "stat"));
  const std::string name(path);
  if (name.size() > 8 && name.compare(name.size() - 8, 8, "/IM1.ima") == 0) {
    RunOnce(&beforeOpen);
  }
  return real(path, st);
}

// The temporary file of a copy is made once the original is loaded and
// before the copy is written.
extern "C" int mkostemps(char* name, int suffixLength, int flags) {
  using Real = int (*)(char*, int, int);
  static Real real = reinterpret_cast<Real>(dlsym(RTLD_NEXT, "mkostemps"));
  RunOnce(&beforeSave);
  if (everyCopy) everyCopy();
  return real(name, suffixLength, flags);
}

TEST(Race, OriginalRemovedTruncatedOrReplacedUnderTheRun) {
  const std::pair<const char*, std::function<void(const ScratchFolder&)>>
      races[] = {
          {"removed",
           [](const ScratchFolder& f) { ::unlink((f / "IM1.ima").c_str()); }},
          {"truncated",
           [](const ScratchFolder& f) {
             ::truncate((f / "IM1.ima").c_str(), 50 * 1024);
           }},
          {"replaced",
           [](const ScratchFolder& f) {
             Fixture other = Patient("SMITH^ANN", "20070801", 300 * 1024);
             other.sopInstanceUid = "1.2.3.999";
             f.Write("other.tmp", other);
             ::rename((f / "other.tmp").c_str(), (f / "IM1.ima").c_str());
           }},
      };
  // A file read whole, and one whose large values are read from it while
  // the copy is written.
  for (size_t pixelBytes : {size_t{300 * 1024}, size_t{kWholeFileBytes}}) {
    for (bool afterLoad : {false, true}) {
      for (const auto& race : races) {
        const char* what = race.first;
        const auto& act = race.second;
        SCOPED_TRACE(std::string(what) +
                     (afterLoad ? " after the load " : " ") +
                     std::to_string(pixelBytes));
        ScratchFolder folder;
        folder.Write("IM1.ima", Patient("DOE^JOHN", "20070801", pixelBytes));
        const std::string before =
            DatasetWithoutPatientName(folder / "IM1.ima");
        (afterLoad ? beforeSave : beforeOpen) = [&] { act(folder); };
        const std::string log = RunFolder(folder.path());
        EXPECT_FALSE(beforeOpen || beforeSave) << "the moment never came";
        const std::string path = folder / "IM1.ima";
        const std::string copy = folder / "ANONDN20070801.ima";
        const bool replaced = std::string(what) == "replaced";
        if (!afterLoad) {
          // What the name held when it was opened is what was anonymized.
          if (replaced) {
            EXPECT_EQ(InstanceUid(folder / "ANONSN20070801.ima"), "1.2.3.999");
          } else {
            EXPECT_NE(log.find("ERROR:Couldn't load file: " + path + " ("),
                      std::string::npos)
                << log;
          }
          EXPECT_EQ(ReadRecord(folder).size(), replaced ? 2u : 1u);
        } else if (std::string(what) == "truncated" &&
                   pixelBytes == kWholeFileBytes) {
          // Cut short under the copy: refused, nothing published or recorded.
          EXPECT_NE(log.find("ERROR:Couldn't save new file: " + copy),
                    std::string::npos)
              << log;
          EXPECT_FALSE(Exists(copy));
        } else {
          // The file that was loaded is copied whole; a name that now holds
          // something else, or a file written to since, is not removed.
          EXPECT_EQ(DatasetWithoutPatientName(copy), before);
          EXPECT_NE(log.find("ERROR:Couldn't delete old file: " + path),
                    std::string::npos)
              << log;
          EXPECT_EQ(Exists(path), std::string(what) != "removed");
          if (replaced) {
            EXPECT_EQ(InstanceUid(path), "1.2.3.999");
          }
        }
      }
    }
  }
}

TEST(Race, OneJobTakesOneFileAfterTheOther) {
  ScratchFolder folder;
  for (int i = 0; i < 6; ++i) {
    folder.Write("IM" + std::to_string(i) + ".ima",
                 Patient("DOE^JOHN", "20070801", 8192));
  }
  int overlapping = 0;  // copies begun while another was under way
  everyCopy = [&] {
    for (const std::string& name : folder.Names()) {
      overlapping += name.rfind(".veilmark-", 0) == 0;
    }
  };
  struct : RunLog {
    void Add(const LogLine&) override {}
  } quiet;
  RunOptions options;
  options.jobs = 1;
  EXPECT_EQ(FolderRun(folder.path().c_str(), &quiet, options).Run().modified,
            6);
  everyCopy = nullptr;
  EXPECT_EQ(overlapping, 0);
}
