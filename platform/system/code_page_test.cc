// Each character set's text turned into UTF-8 and back, and what is not its
// text refused rather than guessed.
#include "platform/system/code_page.h"

#include <gtest/gtest.h>

namespace {

struct Sample {
  CodePage page;
  std::string bytes;
  std::string utf8;
  std::string notText;    // bytes that are not text in the page
  std::string notInPage;  // UTF-8 of a character the page lacks
};

TEST(CodePage, TextGoesBothWaysAndNothingElseIsTaken) {
  const Sample samples[] = {
      {CodePage::kAscii, "Doe", "Doe", "\xE9", "\u00e9"},
      {CodePage::kLatin1, "M\xFCller", "M\u00fcller", "", "\u5c71"},
      {CodePage::kLatin3, "\xA6", "\u0124", "\xA5", "\u00c3"},
      {CodePage::kCyrillic, "\xB6", "\u0416", "", "\u00e9"},
      {CodePage::kArabic, "\xC7", "\u0627", "\xA1", "\u00e9"},
      {CodePage::kHebrew, "\xE0", "\u05d0", "\xA1", "\u00e9"},
      {CodePage::kThai, "\xA1", "\u0e01", "\x80", "\u20ac"},
      {CodePage::kEucJp, "\xBB\xB3\xC5\xC4", "\u5c71\u7530", "\xBB", "\ud55c"},
      {CodePage::kEucKr, "\xC7\xD1", "\ud55c", "\xC7", "\u0e01"},
      {CodePage::kEucCn, "\xC9\xBD", "\u5c71", "\x81\x40", "\u20ac"},
      {CodePage::kGbk, "\x81\x40", "\u4e02", "\x81", "\ud55c"},
      {CodePage::kGb18030, "\x81\x30\x81\x30", "\u0080", "\x81\x30", ""},
      {CodePage::kUtf8, "\xE5\xB1\xB1", "\u5c71", "\xC0\xAF", ""},
  };
  for (const Sample& sample : samples) {
    SCOPED_TRACE(static_cast<int>(sample.page));
    std::string out;
    if (sample.page == CodePage::kGb18030 &&
        !CodePageToUtf8(sample.page, "A", &out)) {
      continue;  // the system has no GB 18030 table (wine)
    }
    ASSERT_TRUE(CodePageToUtf8(sample.page, sample.bytes, &out));
    EXPECT_EQ(out, sample.utf8);
    ASSERT_TRUE(Utf8ToCodePage(sample.page, sample.utf8, &out));
    EXPECT_EQ(out, sample.bytes);
    if (!sample.notText.empty()) {
      EXPECT_FALSE(CodePageToUtf8(sample.page, sample.notText, &out));
    }
    if (!sample.notInPage.empty()) {
      EXPECT_FALSE(Utf8ToCodePage(sample.page, sample.notInPage, &out));
    }
  }
  std::string out;
  EXPECT_FALSE(Utf8ToCodePage(CodePage::kLatin1, "\xC3", &out));  // cut short
}

}  // namespace
