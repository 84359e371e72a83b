// What the file pieces promise on every system: names in any script, a name
// that is taken never replaced, an original that stays the file it was
// opened as, and the listing's order.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/framework/delete_file.h"
#include "platform/system/durable_file.h"
#include "platform/framework/find_file.h"
#include "platform/system/source_file.h"

namespace {

class Files : public testing::Test {
 protected:
  void SetUp() override {
    const testing::TestInfo* test =
        testing::UnitTest::GetInstance()->current_test_info();
    folder_ = (std::filesystem::temp_directory_path() /
               (std::string("veilmark-files-") + test->name() +
                " M\u00fcller \u5c71\u7530"))
                  .u8string();
    std::filesystem::remove_all(std::filesystem::u8path(folder_));
    std::filesystem::create_directories(std::filesystem::u8path(folder_));
  }
  void TearDown() override {
    std::filesystem::remove_all(std::filesystem::u8path(folder_));
  }

  // Puts `bytes` in place under `name` as a run would.
  PublishResult Put(const std::string& name, const std::string& bytes) {
    std::string temp;
    if (!WriteTempFile(folder_, bytes.data(), bytes.size(), FileAccess(),
                       &temp)) {
      return PublishResult::kFailed;
    }
    const PublishResult result = PublishNoReplace(temp, Path(name));
    if (result != PublishResult::kDone) RemoveFile(temp);
    return result;
  }
  std::string Path(const std::string& name) const {
    return folder_ + "/" + name;
  }
  std::string Read(const std::string& name) const {
    SourceFile file;
    std::string error, bytes;
    if (file.Open(Path(name), &error) != SourceFile::kOpened ||
        !file.ReadWhole(&bytes, &error)) {
      return "unreadable: " + error;
    }
    return bytes;
  }

  std::string folder_;
};

TEST_F(Files, ATakenNameIsNeverReplaced) {
  ASSERT_EQ(Put("\u5c71\u7530.ima", "first"), PublishResult::kDone);
  EXPECT_EQ(ProbeName(Path("\u5c71\u7530.ima")), PublishResult::kNameTaken);
  EXPECT_EQ(Put("\u5c71\u7530.ima", "second"), PublishResult::kNameTaken);
  EXPECT_EQ(Read("\u5c71\u7530.ima"), "first");
  EXPECT_TRUE(LeftoverTempFiles(folder_).empty());
}

TEST_F(Files, AnOriginalStaysTheFileItWasOpenedAs) {
  ASSERT_EQ(Put("a.ima", "original"), PublishResult::kDone);
  SourceFile original;
  std::string error, bytes;
  ASSERT_EQ(original.Open(Path("a.ima"), &error), SourceFile::kOpened);
  EXPECT_TRUE(original.UnchangedAt(Path("a.ima")));

  // Another file put under its name (where the system lets it be) is not
  // the original, which still reads as it was.
  std::string other;
  ASSERT_TRUE(WriteTempFile(folder_, "other", 5, FileAccess(), &other));
  const bool replaced = ReplaceFile(other, Path("a.ima"), nullptr, &error);
  EXPECT_EQ(original.UnchangedAt(Path("a.ima")), !replaced);
  ASSERT_TRUE(original.ReadWhole(&bytes, &error));
  EXPECT_EQ(bytes, "original");
  original.ForgetBytes();
  RemoveFile(other);

  // Deleted while it is open, it is gone, and no longer at its name.
  if (!replaced) {
    EXPECT_TRUE(DeleteFileA(Path("a.ima").c_str()));
    EXPECT_FALSE(EntryExists(Path("a.ima")));
    EXPECT_FALSE(original.UnchangedAt(Path("a.ima")));
  }
}

TEST_F(Files, TheListingHoldsEachMatchOnceInCaseInsensitiveOrder) {
  for (const char* name :
       {"b.ima", "M\u00fcller \u5c71\u7530.ima", "A.IMA", "c.txt"}) {
    ASSERT_EQ(Put(name, "x"), PublishResult::kDone) << name;
  }
  std::vector<std::string> listed;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((folder_ + "/*.ima").c_str(), &found);
  ASSERT_NE(search, INVALID_HANDLE_VALUE);
  do {
    listed.push_back(found.cFileName);
  } while (FindNextFileA(search, &found));
  FindClose(search);
  EXPECT_EQ(listed, (std::vector<std::string>{"A.IMA", "b.ima",
                                              "M\u00fcller \u5c71\u7530.ima"}));

  EXPECT_EQ(FindFirstFileA((folder_ + "/*.dcm").c_str(), &found),
            INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(FindFirstFileA((folder_ + "/none/*.ima").c_str(), &found),
            INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
}

}  // namespace
