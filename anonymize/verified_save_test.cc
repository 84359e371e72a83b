#include "anonymize/verified_save.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include "tests/test_folder.h"

namespace {

Fixture Large() {
  Fixture fixture;
  fixture.pixelBytes = 256 * 1024;
  return fixture;
}

}  // namespace

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

  std::string temp;
  EXPECT_FALSE(SaveVerifiedCopy(&file, file.getDataset()->getOriginalXfer(),
                                folder.path(), &temp));
  EXPECT_EQ(folder.Names(), std::vector<std::string>{});
}
