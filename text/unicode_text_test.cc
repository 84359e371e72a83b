#include "text/unicode_text.h"

#include <gtest/gtest.h>

// Characters as a reader sees them: where one ends, and which spellings
// are one text.
TEST(UnicodeText, ACharacterIsABaseWithItsMarks) {
  const struct {
    std::string text, first, last;
  } cases[] = {
      {"Zo\xc3\xab", "Z", "\xc3\xab"},
      {"Zoe\xcc\x88", "Z", "e\xcc\x88"},  // a combining diaeresis
      {"e\xcc\x88\xcc\x81x", "e\xcc\x88\xcc\x81", "x"},  // two marks
      // Thai: a consonant with a vowel and a tone mark above it.
      {"\xe0\xb8\xaa\xe0\xb8\xa1\xe0\xb8\x94\xe0\xb8\xb4\xe0\xb9\x8c",
       "\xe0\xb8\xaa", "\xe0\xb8\x94\xe0\xb8\xb4\xe0\xb9\x8c"},
      // A Hangul syllable of its jamo, as a decomposing file system writes
      // it.
      {"\xe1\x84\x92\xe1\x85\xa9\xe1\x86\xbc",
       "\xe1\x84\x92\xe1\x85\xa9\xe1\x86\xbc",
       "\xe1\x84\x92\xe1\x85\xa9\xe1\x86\xbc"},
      {"X", "X", "X"},
      // Bytes that are not UTF-8 are characters of their own.
      {"\xff"
       "a\xff",
       "\xff", "\xff"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(c.text.substr(0, FirstCharacterEnd(c.text)), c.first);
    EXPECT_EQ(c.text.substr(LastCharacterStart(c.text)), c.last);
  }
}

TEST(UnicodeText, SpellingsOfOneTextAreOne) {
  EXPECT_TRUE(SameText("ANONM\xc3\xab.ima", "ANONMe\xcc\x88.ima"));
  // Marks of different classes in either order; a Hangul syllable and its
  // jamo.
  EXPECT_TRUE(SameText("a\xcc\x81\xcc\xa3", "a\xcc\xa3\xcc\x81"));
  EXPECT_TRUE(SameText("\xed\x99\x8d", "\xe1\x84\x92\xe1\x85\xa9\xe1\x86\xbc"));
  EXPECT_FALSE(SameText("ANONMe.ima", "ANONM\xc3\xab.ima"));
  EXPECT_FALSE(SameText("a\xcc\x81\xcc\x80", "a\xcc\x80\xcc\x81"));
  EXPECT_EQ(CanonicalText("\xff\xc3"), "\xff\xc3");
}
