// Another process changes an original while the run has it in hand:
// between the listing and the load, and between the load and the save.
// Whatever it does, the file fails with its error line or is anonymized
// from what was read whole, and nothing of ours is lost.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>

#include "anonymize/verified_save.h"
#include "tests/promise.h"
#include "tests/run_folder.h"
#include "tests/test_folder.h"

namespace {

// Actions run once, on whichever thread of the run reaches the moment.
std::function<void()> beforeOpen, beforeSave;

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

// The temporary file of a save is made once the original is loaded and
// before anything is written: the moment between the load and the save.
extern "C" int mkostemps(char* name, int suffixLength, int flags) {
  using Real = int (*)(char*, int, int);
  static Real real = reinterpret_cast<Real>(dlsym(RTLD_NEXT, "mkostemps"));
  RunOnce(&beforeSave);
  return real(name, suffixLength, flags);
}

namespace {

struct Race {
  const char* what;
  std::function<void(const ScratchFolder&)> act;
};

Fixture Large() {
  Fixture fixture;
  fixture.pixelBytes = 300 * 1024;
  return fixture;
}

std::vector<Race> Races() {
  return {
      {"removed",
       [](const ScratchFolder& f) { ::unlink((f / "IM1.ima").c_str()); }},
      {"truncated",
       [](const ScratchFolder& f) {
         ::truncate((f / "IM1.ima").c_str(), 50 * 1024);
       }},
      {"replaced",
       [](const ScratchFolder& f) {
         Fixture other = Large();
         other.patientName = "SMITH^ANN";
         other.sopInstanceUid = "1.2.3.999";
         f.Write("other.tmp", other);
         ::rename((f / "other.tmp").c_str(), (f / "IM1.ima").c_str());
       }},
  };
}

}  // namespace

TEST(Race, OriginalChangedBetweenListingAndLoad) {
  for (const Race& race : Races()) {
    SCOPED_TRACE(race.what);
    ScratchFolder folder;
    folder.Write("IM1.ima", Large());
    beforeOpen = [&] { race.act(folder); };
    std::string log = RunFolder(folder.path());
    EXPECT_FALSE(beforeOpen) << "the original was never looked at";
    std::string path = folder / "IM1.ima";
    if (std::string(race.what) == "replaced") {
      // What the name held when it was opened is what was anonymized.
      EXPECT_EQ(InstanceUid(folder / "ANONSN20070801.ima"), "1.2.3.999");
      EXPECT_FALSE(Exists(path));
      EXPECT_EQ(ReadRecord(folder / "anonymous_record.csv").size(), 2u);
    } else {
      EXPECT_NE(log.find("ERROR:Couldn't load file: " + path + " ("),
                std::string::npos)
          << log;
      EXPECT_EQ(ImaNames(folder.path()).size(), Exists(path) ? 1u : 0u);
      EXPECT_EQ(ReadRecord(folder / "anonymous_record.csv").size(), 1u);
    }
  }
}

TEST(Race, OriginalChangedBetweenLoadAndSave) {
  // A file read whole, and one whose large values are read from it while
  // the copy is written.
  for (size_t pixelBytes : {size_t{300 * 1024}, size_t{kWholeFileBytes}}) {
    for (const Race& race : Races()) {
      const std::string what = race.what;
      SCOPED_TRACE(what + " " + std::to_string(pixelBytes));
      ScratchFolder folder;
      Fixture fixture;
      fixture.pixelBytes = pixelBytes;
      folder.Write("IM1.ima", fixture);
      std::string before = DatasetWithoutPatientName(folder / "IM1.ima");
      beforeSave = [&] { race.act(folder); };
      std::string log = RunFolder(folder.path());
      EXPECT_FALSE(beforeSave) << "no save was started";
      std::string path = folder / "IM1.ima";
      std::string copy = folder / "ANONDN20070801.ima";
      if (what == "truncated" && pixelBytes == kWholeFileBytes) {
        // Cut short under the save: refused, nothing published or recorded.
        EXPECT_NE(log.find("ERROR:Couldn't save new file: " + copy),
                  std::string::npos)
            << log;
        EXPECT_FALSE(Exists(copy));
        EXPECT_EQ(ReadRecord(folder / "anonymous_record.csv").size(), 1u);
        continue;
      }
      // The file that was loaded is copied whole whatever became of its
      // name; a name that now holds something else, or a file written to
      // since, is not removed.
      EXPECT_EQ(DatasetWithoutPatientName(copy), before);
      EXPECT_NE(log.find("ERROR:Couldn't delete old file: " + path),
                std::string::npos)
          << log;
      EXPECT_EQ(ReadRecord(folder / "anonymous_record.csv").size(), 2u);
      EXPECT_EQ(Exists(path), what != "removed");
      if (what == "replaced") {
        EXPECT_EQ(InstanceUid(path), "1.2.3.999");
      }
    }
  }
}
