#include "base/wide_string.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

namespace nimbora {
namespace {

TEST(WideToInt, FollowsTheRuntimeConversion) {
  struct Case {
    const char16_t* text;
    int expected;
  } cases[] = {
      {u"42", 42},          {u"  \t7x", 7},          {u"-15", -15},
      {u"+3", 3},           {u"abc", 0},             {u"", 0},
      {u"- 5", 0},          {u"2147483647", INT_MAX}, {u"2147483648", INT_MAX},
      {u"99999999999999999999", INT_MAX},            {u"-2147483648", INT_MIN},
      {u"-99999999999999999999", INT_MIN},           {u"007", 7},
  };
  for (const Case& c : cases) EXPECT_EQ(WideToInt(c.text), c.expected);
}

TEST(WideCompareNoCase, IgnoresAsciiAndLatin1Case) {
  EXPECT_EQ(WideCompareNoCase(u"SUCCESS", u"success"), 0);
  EXPECT_EQ(WideCompareNoCase(u"\u00C9t\u00E9", u"\u00E9T\u00C9"), 0);
  EXPECT_NE(WideCompareNoCase(u"\u00D7", u"\u00F7"), 0);  // signs are not letters
  EXPECT_LT(WideCompareNoCase(u"abc", u"abd"), 0);
  EXPECT_GT(WideCompareNoCase(u"abc", u"ab"), 0);
  EXPECT_EQ(WideCompareNoCasePrefix(u"Update Time", u"UPDATE", 6), 0);
  EXPECT_NE(WideCompareNoCasePrefix(u"Upd", u"UPDATE", 6), 0);
}

TEST(WideFormat, PrintsThePatternsInUseBounded) {
  char16_t buffer[32];
  EXPECT_EQ(WideFormat(buffer, 32, u"%d-%02d-%02d %d:%02d:%02d", 2013, 8, 16, 7, 30, 5), 18);
  EXPECT_EQ(std::u16string(buffer), u"2013-08-16 7:30:05");
  WideFormat(buffer, 32, u"%s%d", u"file", 10);
  EXPECT_EQ(std::u16string(buffer), u"file10");
  WideFormat(buffer, 32, u"%d%%", -2147483647 - 1);
  EXPECT_EQ(std::u16string(buffer), u"-2147483648%");
  EXPECT_EQ(WideFormat(buffer, 5, u"%s", u"abcdefgh"), 4);
  EXPECT_EQ(std::u16string(buffer), u"abcd");
}

TEST(WideCopy, BoundedCopyAndAppendKeepTheTerminator) {
  char16_t buffer[6];
  WideCopyBounded(buffer, u"abcdefgh", 6);
  EXPECT_EQ(std::u16string(buffer), u"abcde");
  WideCopyBounded(buffer, u"ab", 6);
  WideAppendBounded(buffer, u"cdefg", 6);
  EXPECT_EQ(std::u16string(buffer), u"abcde");
  EXPECT_EQ(WideLength(buffer), 5);
}

}  // namespace
}  // namespace nimbora
