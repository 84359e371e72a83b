#include "platform/delete_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "tests/test_folder.h"

TEST(DeleteFile, ReadOnlyFilesStayForEveryUser) {
  ScratchFolder folder;
  WriteBytes(folder / "ro.ima", "x");
  WriteBytes(folder / "rw.ima", "x");
  ::chmod((folder / "ro.ima").c_str(), 0444);
  EXPECT_FALSE(DeleteFileA((folder / "ro.ima").c_str()));
  EXPECT_TRUE(Exists(folder / "ro.ima"));
  EXPECT_TRUE(DeleteFileA((folder / "rw.ima").c_str()));
  EXPECT_FALSE(Exists(folder / "rw.ima"));
  EXPECT_FALSE(DeleteFileA((folder / "rw.ima").c_str()));
}
