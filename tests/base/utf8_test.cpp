#include "base/utf8.h"

#include <gtest/gtest.h>

#include <string>

namespace nimbora {
namespace {

// Every code point from each encoded length, and the edges between them.
TEST(Utf8Test, TextsGoThereAndBackUnchanged) {
  std::u16string text = u"A\u00E9\u07FF\u0800\uFFFF\U00010000\U0010FFFF";
  char utf8[32];
  ASSERT_TRUE(Utf8FromUtf16(text.c_str(), static_cast<int>(text.size()), utf8, sizeof utf8));
  EXPECT_EQ(std::string(utf8),
            "A\xC3\xA9\xDF\xBF\xE0\xA0\x80\xEF\xBF\xBF\xF0\x90\x80\x80\xF4\x8F\xBF\xBF");
  char16_t back[16];
  ASSERT_TRUE(Utf16FromUtf8(utf8, back, 16));
  EXPECT_EQ(std::u16string(back), text);
}

TEST(Utf8Test, UnpairedSurrogatesFailUnlessReplaced) {
  char utf8[16];
  for (std::u16string text : {u"a\xD800", u"\xDC00z", u"\xDC00\xD800"}) {
    EXPECT_FALSE(Utf8FromUtf16(text.c_str(), static_cast<int>(text.size()), utf8, sizeof utf8));
  }
  std::u16string text = u"a\xD800z";
  ASSERT_TRUE(Utf8FromUtf16(text.c_str(), 3, utf8, sizeof utf8, 0xFFFD));
  EXPECT_EQ(std::string(utf8), "a\xEF\xBF\xBDz");
}

TEST(Utf8Test, BytesThatAreNotUtf8ReadAsLatin1) {
  char16_t out[16];
  ASSERT_TRUE(Utf16FromUtf8("caf\xE9 \xC3\x28 \xED\xA0\x80", out, 16));  // lone, cut, surrogate
  EXPECT_EQ(std::u16string(out), u"caf\u00E9 \u00C3( \u00ED\u00A0\u0080");
}

// The result and its null must fit; nothing beyond capacity is written.
TEST(Utf8Test, CapacityHoldsTheTerminatingNull) {
  char utf8[4] = {'x', 'x', 'x', 'x'};
  EXPECT_TRUE(Utf8FromUtf16(u"\u00E9", 1, utf8, 3));
  EXPECT_FALSE(Utf8FromUtf16(u"\u00E9", 1, utf8, 2));
  EXPECT_FALSE(Utf8FromUtf16(u"ab", 2, utf8, 2));
  char16_t wide[3];
  EXPECT_TRUE(Utf16FromUtf8("\xF0\x9F\x98\x80", wide, 3));
  EXPECT_FALSE(Utf16FromUtf8("\xF0\x9F\x98\x80", wide, 2));
  EXPECT_FALSE(Utf16FromUtf8("ab", wide, 2));
}

}  // namespace
}  // namespace nimbora
