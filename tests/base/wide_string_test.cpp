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

TEST(WideCompareNoCase, FoldsCaseAsTheDeviceMatchesNames) {
  struct Case {
    const char16_t* a;
    const char16_t* b;
    bool equal;
  } cases[] = {
      {u"SUCCESS", u"success", true},
      {u"\u00C9t\u00E9", u"\u00E9T\u00C9", true},
      {u"\u03C9mega", u"\u03A9MEGA", true},             // Greek
      {u"\u0434\u0430\u0442\u0430", u"\u0414\u0430\u0442\u0430", true},  // Cyrillic
      {u"\u00FF", u"\u0178", true},                      // y with diaeresis, beyond Latin-1
      {u"\u1E9E", u"\u00DF", true},                      // capital sharp s folds simply
      {u"\u212A", u"k", true},                            // Kelvin sign
      {u"\u00DF", u"ss", false},                          // no folding to two letters
      {u"\u0130", u"i", false},                           // no Turkic folding
      {u"\u00D7", u"\u00F7", false},                     // signs are not letters
      {u"[", u"{", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(WideCompareNoCase(c.a, c.b) == 0, c.equal) << static_cast<int>(c.a[0]);
    EXPECT_EQ(WideCompareNoCase(c.b, c.a) == 0, c.equal) << static_cast<int>(c.a[0]);
  }
  EXPECT_LT(WideCompareNoCase(u"abc", u"ABD"), 0);
  EXPECT_GT(WideCompareNoCase(u"abc", u"ab"), 0);
  EXPECT_EQ(WideCompareNoCasePrefix(u"Update Time", u"UPDATE", 6), 0);
  EXPECT_NE(WideCompareNoCasePrefix(u"Upd", u"UPDATE", 6), 0);
}

// A folded character folds to itself, so folding is one equivalence.
TEST(FoldCase, IsStableOverThePlane) {
  int folded = 0;
  for (char32_t c = 0; c <= 0xFFFF; ++c) {
    char16_t once = FoldCase(static_cast<char16_t>(c));
    ASSERT_EQ(FoldCase(once), once) << c;
    folded += once != c;
  }
  EXPECT_GT(folded, 1000);  // every cased script, not only Latin
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
