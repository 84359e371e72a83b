// What the listing promises on every system: names in any script, each
// match once, in an order that ignores letter case.
#include "platform/framework/find_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

TEST(FindFile, TheListingHoldsEachMatchOnceInCaseInsensitiveOrder) {
  namespace fs = std::filesystem;
  const std::string folder =
      (fs::temp_directory_path() / fs::u8path("veilmark-find-file M\u00fcller "
                                              "\u5c71\u7530"))
          .u8string();
  fs::remove_all(fs::u8path(folder));
  fs::create_directories(fs::u8path(folder));
  for (const char* name :
       {"b.ima", "M\u00fcller \u5c71\u7530.ima", "A.IMA", "c.txt"}) {
    std::ofstream(fs::u8path(folder + "/" + name)) << "x";
  }
  std::vector<std::string> listed;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((folder + "/*.ima").c_str(), &found);
  ASSERT_NE(search, INVALID_HANDLE_VALUE);
  do {
    listed.push_back(found.cFileName);
  } while (FindNextFileA(search, &found));
  FindClose(search);
  EXPECT_EQ(listed, (std::vector<std::string>{"A.IMA", "b.ima",
                                              "M\u00fcller \u5c71\u7530.ima"}));

  EXPECT_EQ(FindFirstFileA((folder + "/*.dcm").c_str(), &found),
            INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(FindFirstFileA((folder + "/none/*.ima").c_str(), &found),
            INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
  fs::remove_all(fs::u8path(folder));
}
