// How bytes are shown in the boxes and what an edit of them gives back.
#include "platform/framework/display_text.h"

#include <gtest/gtest.h>

TEST(DisplayText, ValidUtf8AsSuchEveryOtherByteAsLatin1) {
  EXPECT_EQ(DecodeForDisplay("caf\xC3\xA9\xC2\x80\xE0\xA0\x80\xF0\x90\x80\x80"),
            U"caf\u00E9\u0080\u0800\U00010000");
  // Overlong forms, encoded surrogates, code points past U+10FFFF, a lone
  // continuation byte and a cut sequence each show byte by byte.
  EXPECT_EQ(DecodeForDisplay("\xC0\xAF\xE0\x80\xAF\xED\xA0\x80"),
            U"\u00C0\u00AF\u00E0\u0080\u00AF\u00ED\u00A0\u0080");
  EXPECT_EQ(DecodeForDisplay("\xF4\x90\x80\x80 a\x80z\xE2\x82z"),
            U"\u00F4\u0090\u0080\u0080 a\u0080z\u00E2\u0082z");
  // Showing the parts one after the other is showing the whole only where
  // the first ends a character.
  EXPECT_FALSE(EndsOnCharacterBoundary("caf\xC3"));
  EXPECT_FALSE(EndsOnCharacterBoundary("\xF0\x9F\x98"));
  EXPECT_TRUE(EndsOnCharacterBoundary(std::string_view("\xE2\xE2z").substr(2)));
}

TEST(DisplayText, AnEditKeepsTheBytesAroundIt) {
  const std::string original = "caf\xE9 \xC3\xA9t\xE9\r\n";
  std::u32string shown = DecodeForDisplay(original);
  EXPECT_EQ(BytesAfterEdit(original, shown), original);
  std::u32string inserted = shown;
  inserted.insert(4, U"\u0080\u0800\U0001F600");
  EXPECT_EQ(BytesAfterEdit(original, inserted),
            "caf\xE9\xC2\x80\xE0\xA0\x80\xF0\x9F\x98\x80 \xC3\xA9t\xE9\r\n");
  std::u32string cut = shown.substr(0, 6) + shown.substr(7);
  EXPECT_EQ(BytesAfterEdit(original, cut), "caf\xE9 \xC3\xA9\xE9\r\n");
  // Repeated characters around the edit: the bytes kept are the original's,
  // whichever copy the edit is counted against.
  EXPECT_EQ(BytesAfterEdit("\xE9\xE9", U"\u00E9\u00E9\u00E9"),
            "\xE9\xE9\xC3\xA9");
  EXPECT_EQ(BytesAfterEdit("a\xE9\xE9", U"a\u00E9"), "a\xE9");
}
