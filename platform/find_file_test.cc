#include "platform/find_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <vector>

#include "tests/test_folder.h"

namespace {

std::vector<std::string> Found(const std::string& pattern,
                               const std::string& createWhileOpen = "") {
  std::vector<std::string> names;
  WIN32_FIND_DATAA data;
  HANDLE search = FindFirstFileA(pattern.c_str(), &data);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    names.push_back(data.cFileName);
    if (!createWhileOpen.empty()) WriteBytes(createWhileOpen, "");
  } while (FindNextFileA(search, &data));
  FindClose(search);
  return names;
}

}  // namespace

TEST(FindFile, MatchesAnyCaseAndKindInCaseInsensitiveOrder) {
  ScratchFolder folder;
  for (const char* name :
       {"b.IMA", "A.ima", "c.Ima", "x.imax", "ima", "d.txt", "a.ima.bak"}) {
    WriteBytes(folder / name, "");
  }
  ASSERT_EQ(::mkdir((folder / "sub.ima").c_str(), 0777), 0);
  EXPECT_EQ(Found(folder.path() + "/*.ima"),
            (std::vector<std::string>{"A.ima", "b.IMA", "c.Ima", "sub.ima"}));
  // One separator too many changes nothing.
  EXPECT_EQ(Found(folder.path() + "//*.ima").size(), 4u);
}

TEST(FindFile, FilesCreatedDuringTheSearchAreNotReturned) {
  ScratchFolder folder;
  WriteBytes(folder / "m.ima", "");
  WriteBytes(folder / "n.ima", "");
  EXPECT_EQ(Found(folder.path() + "/*.ima", folder / "z.ima"),
            (std::vector<std::string>{"m.ima", "n.ima"}));
}

TEST(FindFile, NothingFound) {
  ScratchFolder folder;
  WIN32_FIND_DATAA data;
  EXPECT_EQ(FindFirstFileA((folder.path() + "/*.ima").c_str(), &data),
            INVALID_HANDLE_VALUE);
  EXPECT_EQ(FindFirstFileA("/nonexistent/*.ima", &data), INVALID_HANDLE_VALUE);
}
