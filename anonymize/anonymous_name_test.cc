#include "anonymize/anonymous_name.h"

#include <gtest/gtest.h>

TEST(AnonymousName, FirstAndLastByteThenTheDate) {
  EXPECT_EQ(MakeAnonymousName("DOE^JOHN", "20070801"), "ANONDN20070801");
  EXPECT_EQ(MakeAnonymousName("X", "20070801"), "ANONXX20070801");
  EXPECT_EQ(MakeAnonymousName("  DOE", "20070801"), "ANON E20070801");
  EXPECT_EQ(MakeAnonymousName("DOE^JOHN", ""), "ANONDN");
  EXPECT_EQ(MakeAnonymousName("\xC3\xA9mile", "1"),
            "ANON\xC3"
            "e1");
  // A zero byte is kept, so that it can be refused as a file name.
  CString withZero = MakeAnonymousName(CString("\0A", 2), "1");
  EXPECT_EQ(withZero.GetLength(), 7);
  EXPECT_FALSE(UsableAsFileName(withZero));
}

TEST(AnonymousName, OnlyBytesThatStayInTheFolderAreUsable) {
  EXPECT_TRUE(UsableAsFileName("ANONDN20070801"));
  EXPECT_TRUE(UsableAsFileName("ANON N-.,;'\"\xFF"));
  for (const char* bad :
       {"ANON/N", "ANON\\N", "ANON\tN", "ANON\x1F", "ANON\x7F", "ANON\r\n"}) {
    EXPECT_FALSE(UsableAsFileName(bad)) << bad;
  }
}

TEST(AnonymousName, ExtensionRunsFromTheFirstDot) {
  CString extension;
  EXPECT_TRUE(FileExtension("IM.0001.ima", &extension));
  EXPECT_EQ(extension, ".0001.ima");
  EXPECT_TRUE(FileExtension("IM0001.IMA", &extension));
  EXPECT_EQ(extension, ".IMA");
  EXPECT_FALSE(FileExtension("IM0001", &extension));
}

TEST(AnonymousName, NumberedNamesPutTheNumberBeforeTheExtension) {
  EXPECT_EQ(NumberedFileName("ANONSN20070802", ".ima", 1),
            "ANONSN20070802.ima");
  EXPECT_EQ(NumberedFileName("ANONSN20070802", ".ima", 2),
            "ANONSN20070802_2.ima");
  EXPECT_EQ(NumberedFileName("ANONSN20070802", ".0001.ima", 13),
            "ANONSN20070802_13.0001.ima");
}
