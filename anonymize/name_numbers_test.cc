#include "anonymize/name_numbers.h"

#include <gtest/gtest.h>

TEST(NameNumbers, FirstFreeNumberAfterTakenAndGoneNames) {
  NameNumbers numbers;
  EXPECT_EQ(numbers.FirstUnknown("A"), 1);
  numbers.Taken("A", 1, "A.ima");
  numbers.Taken("A", 2, "A_2.ima");
  numbers.Taken("A", 3, "A_3.ima");
  EXPECT_EQ(numbers.FirstUnknown("A"), 4);
  EXPECT_EQ(numbers.FirstUnknown("B"), 1);

  numbers.Gone("A_2.ima");
  numbers.Gone("A.ima");
  numbers.Gone("unknown.ima");
  EXPECT_EQ(numbers.FirstUnknown("A"), 1);
  numbers.Taken("A", 1, "A.ima");
  EXPECT_EQ(numbers.FirstUnknown("A"), 2);
  numbers.Taken("A", 2, "A_2.ima");
  EXPECT_EQ(numbers.FirstUnknown("A"), 4);

  numbers.Clear();
  EXPECT_EQ(numbers.FirstUnknown("A"), 1);
}
