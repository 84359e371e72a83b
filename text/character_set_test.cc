#include "text/character_set.h"

#include <gtest/gtest.h>

#include "dcmtk/config/osconfig.h"
#include "dcmtk/dcmdata/dcspchrs.h"
#include "tests/test_folder.h"

namespace {

// Values as DICOM's own examples of character sets and code extensions
// write them, and the text they hold.
struct Case {
  const char* declared;
  std::string bytes;
  std::string text;
};

const Case kCases[] = {
    {"", "DOE^JOHN", "DOE^JOHN"},
    {"ISO_IR 192", "M\xc3\xbcller^Zo\xc3\xab", "M\xc3\xbcller^Zo\xc3\xab"},
    {"ISO_IR 100",
     "\xd1\xfa\xf1"
     "ez^Jos\xe9",
     "\xc3\x91\xc3\xba\xc3\xb1"
     "ez^Jos\xc3\xa9"},
    // A dataset that declares nothing is read as ISO 8859-1.
    {"", "M\xfc^X", "M\xc3\xbc^X"},
    {"ISO 2022 IR 100", "M\xfcller", "M\xc3\xbcller"},
    {"GB18030", "Wang^XiaoDong=\xcd\xf5^\xd0\xa1\xb6\xab=",
     "Wang^XiaoDong=\xe7\x8e\x8b^\xe5\xb0\x8f\xe4\xb8\x9c="},
    {"\\ISO 2022 IR 87",
     "Yamada^Tarou=\x1b$B;3ED\x1b(B^\x1b$BB@O:\x1b(B=\x1b$B$d$^$@\x1b(B^"
     "\x1b$B$?$m$&\x1b(B",
     "Yamada^Tarou=\xe5\xb1\xb1\xe7\x94\xb0^\xe5\xa4\xaa\xe9\x83\x8e="
     "\xe3\x82\x84\xe3\x81\xbe\xe3\x81\xa0^"
     "\xe3\x81\x9f\xe3\x82\x8d\xe3\x81\x86"},
    {"ISO 2022 IR 13\\ISO 2022 IR 87",
     "\xd4\xcf\xc0\xde^\xc0\xdb\xb3=\x1b$B;3ED\x1b(J^\x1b$BB@O:\x1b(J="
     "\x1b$B$d$^$@\x1b(J^\x1b$B$?$m$&\x1b(J",
     "\xef\xbe\x94\xef\xbe\x8f\xef\xbe\x80\xef\xbe\x9e^\xef\xbe\x80\xef\xbe\x9b"
     "\xef\xbd\xb3=\xe5\xb1\xb1\xe7\x94\xb0^\xe5\xa4\xaa\xe9\x83\x8e="
     "\xe3\x82\x84\xe3\x81\xbe\xe3\x81\xa0^"
     "\xe3\x81\x9f\xe3\x82\x8d\xe3\x81\x86"},
    {"\\ISO 2022 IR 149",
     "Hong^Gildong=\x1b$)C\xfb\xf3^\x1b$)C\xd1\xce\xd4\xd7=\x1b$)C\xc8\xab^"
     "\x1b$)C\xb1\xe6\xb5\xbf",
     "Hong^Gildong=\xe6\xb4\xaa^\xe5\x90\x89\xe6\xb4\x9e=\xed\x99\x8d^"
     "\xea\xb8\xb8\xeb\x8f\x99"},
    // A first term with a G1 set of its own: another G1 set is left again
    // before each delimiter and at the end.
    {"ISO 2022 IR 100\\ISO 2022 IR 126",
     "M\xfcller=\x1b-F\xc4\xe9\x1b-A^Zo\xeb=\x1b-F\xc4\x1b-A",
     "M\xc3\xbcller=\xce\x94\xce\xb9^Zo\xc3\xab=\xce\x94"},
    {"ISO_IR 203", "\xa6koda^\xa4", "\xc5\xa0koda^\xe2\x82\xac"},
    {"ISO 2022 IR 203", "\xa6koda", "\xc5\xa0koda"},
};

TEST(CharacterSet, DecodesAndEncodesBackByteForByte) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.declared + std::string(" ") + c.bytes);
    if (c.declared == std::string("GB18030") && !SystemHasGb18030()) continue;
    CharacterSet charset;
    std::string error, text, bytes;
    ASSERT_TRUE(charset.Parse(c.declared, &error)) << error;
    ASSERT_TRUE(charset.Decode(c.bytes, &text));
    EXPECT_EQ(text, c.text);
    ASSERT_TRUE(charset.Encode(c.text, &bytes));
    EXPECT_EQ(bytes, c.bytes);
    // DCMTK decodes the same, where the C library has what it needs.
    DcmSpecificCharacterSet toolkit;
    OFString converted;
    if (*c.declared && toolkit.selectCharacterSet(c.declared).good() &&
        toolkit.convertString(c.bytes.c_str(), converted, "^=\\").good()) {
      EXPECT_EQ(std::string(converted.c_str()), c.text);
    }
  }
}

TEST(CharacterSet, RefusesWhatItCannotReadOrWriteExactly) {
  CharacterSet utf8, latin1, japanese, none;
  std::string error, text, bytes;
  ASSERT_TRUE(utf8.Parse("ISO_IR 192", &error));
  ASSERT_TRUE(latin1.Parse("ISO_IR 100 ", &error));
  ASSERT_TRUE(japanese.Parse("\\ISO 2022 IR 87", &error));
  ASSERT_TRUE(none.Parse("", &error));
  EXPECT_FALSE(utf8.Decode("Zo\xc3", &text));         // half a character
  EXPECT_FALSE(japanese.Decode("\x1b$B;", &text));    // half of one
  EXPECT_FALSE(japanese.Decode("\x1b$)Cab", &text));  // undeclared set
  // Escape sequences where the character set allows no code extensions.
  EXPECT_FALSE(utf8.Decode("\x1b$BDOE", &text));
  EXPECT_FALSE(latin1.Decode("DOE\x1b-A", &text));
  EXPECT_FALSE(none.Decode("\x1b(BDOE", &text));
  EXPECT_FALSE(latin1.Encode("\xe5\xb1\xb1", &bytes));  // no such character
  EXPECT_FALSE(japanese.Encode("M\xc3\xbc", &bytes));
  EXPECT_FALSE(none.Encode("M\xc3\xbc", &bytes, true));  // declares ASCII
  EXPECT_FALSE(none.Parse("ISO_IR 999", &error));
  EXPECT_EQ(error, "ISO_IR 999");
  EXPECT_FALSE(none.Parse("ISO 2022 IR 87", &error));  // never the first
}

TEST(CharacterSet, TheFirstValueEndsAtASeparatorOfItsOwn) {
  CharacterSet gbk, japanese;
  std::string error;
  ASSERT_TRUE(gbk.Parse("GBK", &error));
  ASSERT_TRUE(japanese.Parse("\\ISO 2022 IR 87", &error));
  // In GBK a backslash may be a second byte; in JIS X 0208 any byte is.
  EXPECT_EQ(gbk.FirstValue("\x81\x5c"
                           "A  \\B"),
            "\x81\x5c"
            "A");
  EXPECT_EQ(japanese.FirstValue("\x1b$B\x5c!\x1b(B \\B"), "\x1b$B\x5c!\x1b(B");
}

}  // namespace
