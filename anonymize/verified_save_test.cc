#include "anonymize/verified_save.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/source_file.h"
#include "tests/test_folder.h"

namespace {

// Loads `path` as the program does: values above 4096 bytes stay in the
// file until they are written.
bool LoadLazily(SourceFile* source, DcmFileFormat* file,
                const std::string& path) {
  std::string error;
  return source->Open(path, &error) == SourceFile::kOpened &&
         file->loadFile(source->ReadPath().c_str(), EXS_Unknown, EGL_noChange,
                        4096, ERM_autoDetect)
             .good();
}

Fixture Large() {
  Fixture fixture;
  fixture.pixelBytes = 256 * 1024;
  return fixture;
}

}  // namespace

TEST(VerifiedSave, TakenNamesAreSkippedNeverReplacedOrFollowed) {
  ScratchFolder folder;
  folder.Write("IM1.ima", Large());
  ASSERT_EQ(::mkdir((folder / "ANONDN1.ima").c_str(), 0777), 0);
  ASSERT_EQ(::symlink((folder / "outside").c_str(),
                      (folder / "ANONDN1_2.ima").c_str()),
            0);
  SourceFile source;
  DcmFileFormat file;
  ASSERT_TRUE(LoadLazily(&source, &file, folder / "IM1.ima"));

  NameNumbers names;
  CString newName;
  EXPECT_TRUE(SaveVerifiedCopy(&file, file.getDataset()->getOriginalXfer(),
                               folder.path().c_str(), "ANONDN1", ".ima", &names,
                               &newName));
  EXPECT_EQ(newName, "ANONDN1_3.ima");
  EXPECT_EQ(folder.Names(),
            (std::vector<std::string>{"ANONDN1.ima", "ANONDN1_2.ima",
                                      "ANONDN1_3.ima", "IM1.ima"}));
  EXPECT_FALSE(Exists(folder / "outside"));
  EXPECT_EQ(DatasetWithoutPatientName(folder / "ANONDN1_3.ima"),
            DatasetWithoutPatientName(folder / "IM1.ima"));
}

TEST(VerifiedSave, ValueThatCannotBeReadDuringTheSaveIsCaught) {
  // Loaded by name rather than pinned: once the name is gone, the toolkit
  // writes the pixel data as empty and reports success.
  ScratchFolder folder;
  folder.Write("IM1.ima", Large());
  DcmFileFormat file;
  ASSERT_TRUE(file.loadFile((folder / "IM1.ima").c_str(), EXS_Unknown,
                            EGL_noChange, 4096, ERM_autoDetect)
                  .good());
  ASSERT_EQ(::unlink((folder / "IM1.ima").c_str()), 0);

  NameNumbers names;
  CString newName;
  EXPECT_FALSE(SaveVerifiedCopy(&file, file.getDataset()->getOriginalXfer(),
                                folder.path().c_str(), "ANONDN1", ".ima",
                                &names, &newName));
  EXPECT_EQ(folder.Names(), std::vector<std::string>{});
}
