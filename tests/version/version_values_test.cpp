#include "version/version_values.h"

#include <gtest/gtest.h>

#include <string>

namespace nimbora {
namespace {

TEST(ParseVersion, TakesThreeDottedPartsKeepingLowBits) {
  struct Case {
    const char16_t* text;
    bool ok;
    int major, minor, build;
  } cases[] = {
      {u"1.2.3", true, 1, 2, 3},      {u"1.2", false, 0, 0, 0},
      {u"10.2", false, 0, 0, 0},      {u"10.20", true, 10, 20, 0},
      {u"12345", true, 57, 0, 0},     {u"1.0.300", true, 1, 0, 44},
      {u"1.0.256", true, 1, 0, 0},    {u" 2.x.9", true, 2, 0, 9},
      {u"", false, 0, 0, 0},          {nullptr, false, 0, 0, 0},
  };
  for (const Case& c : cases) {
    VersionNumber v{9, 9, 9};
    EXPECT_EQ(ParseVersion(c.text, &v), c.ok);
    EXPECT_EQ(v.major, c.major);
    EXPECT_EQ(v.minor, c.minor);
    EXPECT_EQ(v.build, c.build);
  }
}

TEST(CompareVersion, OrdersPartByPartUnsigned) {
  VersionNumber a{1, 2, 3}, b{1, 10, 0}, c{2, 0, 0}, d{1, 9, 9}, e{200, 0, 0};
  EXPECT_EQ(CompareVersion(&a, &b), -1);
  EXPECT_EQ(CompareVersion(&c, &d), 1);
  EXPECT_EQ(CompareVersion(&a, &a), 0);
  EXPECT_EQ(CompareVersion(&e, &c), 1);
}

TEST(ParseUpdateTime, AcceptsValidTextsAndZeroesTheRest) {
  struct Case {
    const char16_t* text;
    int year, month, day, hour, minute, second;
  } cases[] = {
      {u"2013-08-16 07:30:20", 2013, 8, 16, 7, 30, 20},
      {u"2013-08-16 7:30", 2013, 8, 16, 7, 30, 0},
      {u"2013-8-1 1:1", 2013, 8, 1, 1, 1, 0},
      {u"2013-8-1 1:", 0, 0, 0, 0, 0, 0},
      {u"2100-01-01 00:00:00", 0, 0, 0, 0, 0, 0},
      {u"2013-13-01 00:00:00", 0, 0, 0, 0, 0, 0},
      {u"2013-00-01 00:00:00", 0, 0, 0, 0, 0, 0},
      {u"2013-01-01 24:00:00", 0, 0, 0, 0, 0, 0},
      {u"2013-01-01 00:00:60", 0, 0, 0, 0, 0, 0},
      {u"2013-02-31 00:00:00", 2013, 2, 31, 0, 0, 0},
      {u"0000-01-01 00:00:00", 0, 1, 1, 0, 0, 0},
      {u"65537-01-01 0:00:00", 1, 1, 1, 0, 0, 0},  // 16-bit field keeps the low bits
      {nullptr, 0, 0, 0, 0, 0, 0},
  };
  for (const Case& c : cases) {
    UpdateTime t{1, 1, 3, 1, 1, 1, 1, 7};
    ParseUpdateTime(c.text, &t);
    EXPECT_EQ(t.year, c.year);
    EXPECT_EQ(t.month, c.month);
    EXPECT_EQ(t.day, c.day);
    EXPECT_EQ(t.hour, c.hour);
    EXPECT_EQ(t.minute, c.minute);
    EXPECT_EQ(t.second, c.second);
    EXPECT_EQ(t.dayOfWeek, 3);  // never touched
  }
}

TEST(FormatValues, WriteTheStoredFormsAndRoundTrip) {
  char16_t text[256];
  UpdateTime t{2013, 8, 0, 16, 7, 30, 0, 0};
  FormatUpdateTime(&t, text, 256);
  EXPECT_EQ(std::u16string(text), u"2013-08-16 7:30:00");
  UpdateTime back{};
  ParseUpdateTime(text, &back);
  EXPECT_FALSE(IsLaterTime(&back, &t));
  EXPECT_FALSE(IsLaterTime(&t, &back));

  VersionNumber v{255, 0, 12};
  FormatVersion(&v, text, 20);
  EXPECT_EQ(std::u16string(text), u"255.0.12");
  FormatVersion(&v, text, 4);
  EXPECT_EQ(std::u16string(text), u"255");
}

TEST(IsLaterTime, ComparesFieldsInOrder) {
  UpdateTime ten{2013, 8, 0, 16, 10, 0, 0, 0};
  UpdateTime justBefore{2013, 8, 0, 16, 9, 59, 59, 0};
  UpdateTime july{2013, 7, 0, 20, 9, 30, 0, 0};
  EXPECT_TRUE(IsLaterTime(&ten, &justBefore));
  EXPECT_FALSE(IsLaterTime(&july, &ten));
  EXPECT_FALSE(IsLaterTime(&ten, &ten));
}

}  // namespace
}  // namespace nimbora
