// Another process changes an original while the run has it in hand:
// between the listing and the load, and between the load and the save.
// Whatever it does, the file fails with its error line or is anonymized
// from what was read whole, and nothing of ours is lost. (On Windows, once
// the run holds an original open, nobody can change it.)
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "dicom/verified_save.h"
#include "tests/faults.h"
#include "tests/test_folder.h"

using faults::Op;

TEST(Race, OriginalRemovedTruncatedOrReplacedUnderTheRun) {
  // Each says whether it could do what it does.
  const std::pair<const char*, std::function<bool(const ScratchFolder&)>>
      races[] = {
          {"removed",
           [](const ScratchFolder& f) {
             std::error_code error;
             return std::filesystem::remove(FsPath(f / "IM1.ima"), error);
           }},
          {"truncated",
           [](const ScratchFolder& f) {
             std::error_code error;
             std::filesystem::resize_file(FsPath(f / "IM1.ima"), 50 * 1024,
                                          error);
             return !error;
           }},
          {"replaced",
           [](const ScratchFolder& f) {
             Fixture other = Patient("SMITH^ANN", "20070801", 300 * 1024);
             other.sopInstanceUid = "1.2.3.999";
             f.Write(".other.tmp", other);
             std::error_code error;
             std::filesystem::rename(FsPath(f / ".other.tmp"),
                                     FsPath(f / "IM1.ima"), error);
             return !error;
           }},
      };
  // A file read whole, and one whose large values are read from it while
  // the copy is written.
  for (size_t pixelBytes : {size_t{300 * 1024}, size_t{kWholeFileBytes}}) {
    for (bool afterLoad : {false, true}) {
      for (const auto& [what, act] : races) {
        SCOPED_TRACE(std::string(what) +
                     (afterLoad ? " after the load " : " ") +
                     std::to_string(pixelBytes));
        ScratchFolder folder;
        folder.Write("IM1.ima", Patient("DOE^JOHN", "20070801", pixelBytes));
        const std::string before =
            DatasetWithoutPatientName(folder / "IM1.ima");
        // An original is first looked at after the listing, before it is
        // opened; its copy's temporary file is made once it is loaded.
        bool came = false, done = false;
        std::string log;
        {
          faults::Scope scope(
              faults::At(afterLoad ? Op::kCreateTemp : Op::kStat,
                         afterLoad ? "" : folder / "IM1.ima", [&, act = act] {
                           came = true;
                           done = act(folder);
                         }));
          log = RunLogged(folder.path()).log;
        }
        EXPECT_TRUE(came) << "the moment never came";
        // An original the run holds cannot be changed where the system
        // keeps others from it: it is anonymized as if nothing happened.
        EXPECT_EQ(done, !afterLoad || OpenFilesCanBeChanged());
        if (!done) {
          EXPECT_EQ(
              Folded(log, folder),
              "Anonymizing file: IM1.ima\r\nDone. 1 file(s) modified.\r\n");
          EXPECT_EQ(DatasetWithoutPatientName(folder / "ANONDN20070801.ima"),
                    before);
          EXPECT_FALSE(Exists(folder / "IM1.ima"));
          continue;
        }
        const std::string path = folder / "IM1.ima";
        const std::string copy = folder / "ANONDN20070801.ima";
        const bool replaced = std::string(what) == "replaced";
        if (!afterLoad) {
          // What the name held when it was opened is what was anonymized.
          if (replaced) {
            EXPECT_EQ(InstanceUid(folder / "ANONSN20070801.ima"), "1.2.3.999");
          } else {
            EXPECT_PRED_FORMAT2(testing::IsSubstring,
                                "ERROR:Couldn't load file: " + path + " (",
                                log);
          }
          EXPECT_EQ(ReadRecord(folder).size(), replaced ? 1u : 0u);
        } else if (std::string(what) == "truncated" &&
                   pixelBytes == kWholeFileBytes) {
          // Cut short under the copy: its check refuses it, and nothing is
          // published, recorded or left behind.
          EXPECT_PRED_FORMAT2(testing::IsSubstring,
                              "ERROR:Couldn't save new file: " + copy, log);
          EXPECT_EQ(folder.Names(), (std::vector<std::string>{
                                        "IM1.ima", "anonymous_record.csv"}));
        } else {
          // The file that was loaded is copied whole; a name that now holds
          // something else, or a file written to since, is not removed.
          EXPECT_EQ(DatasetWithoutPatientName(copy), before);
          EXPECT_PRED_FORMAT2(testing::IsSubstring,
                              "ERROR:Couldn't delete old file: " + path, log);
          EXPECT_EQ(Exists(path), std::string(what) != "removed");
          if (replaced) {
            EXPECT_EQ(InstanceUid(path), "1.2.3.999");
          }
        }
      }
    }
  }
}
