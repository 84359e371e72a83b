#include "anonymize/verified_save.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include "tests/test_folder.h"

TEST(VerifiedSave, ValueThatCannotBeReadDuringTheSaveIsCaught) {
  // A file too large to be read whole, loaded by name rather than pinned:
  // once the name is gone, DCMTK writes the pixel data as empty and
  // reports success.
  ScratchFolder folder;
  Fixture large;
  large.pixelBytes = kWholeFileBytes + 4096;
  folder.Write("IM1.ima", large);
  SourceFile source;
  std::string error;
  ASSERT_EQ(source.Open(folder / "IM1.ima", &error), SourceFile::kOpened);
  ASSERT_FALSE(ReadInWhole(source));
  DcmFileFormat file;
  ASSERT_TRUE(file.loadFile((folder / "IM1.ima").c_str(), EXS_Unknown,
                            EGL_noChange, 4096, ERM_autoDetect)
                  .good());
  ASSERT_EQ(::unlink((folder / "IM1.ima").c_str()), 0);

  std::string temp;
  EXPECT_FALSE(SaveVerifiedCopy(source, &file,
                                file.getDataset()->getOriginalXfer(),
                                folder.path(), &temp));
  EXPECT_EQ(folder.Names(), std::vector<std::string>{});
}
