#include <gtest/gtest.h>

#include <string>

#include "profile/profile_reader.h"
#include "profile/profile_writer.h"
#include "profile_files.h"

namespace nimbora {
namespace {

struct LookupCase {
  const char* name;
  std::string text;  // LF line ends; each encoding below gives them its own form
  const char16_t* section;
  const char16_t* key;
  const char16_t* defaultText;
  int capacity;
  std::u16string expected;
};

const std::string kLong259(259, 'a');

const LookupCase kLookups[] = {
    {"plain entry", "[Main]\nVersion=1.2.3\n", u"Main", u"Version", u"d", 260, u"1.2.3"},
    {"empty value beats default", "[Main]\nVersion=\n", u"Main", u"Version", u"d", 260, u""},
    {"blanks around = are no entry", "[Main]\nVersion = 1.2.3\n", u"Main", u"Version", u"d", 260,
     u"d"},
    {"key is a prefix of another", "[Main]\nUpdate Time=x\n", u"Main", u"Update", u"d", 260, u"d"},
    {"numbered key not taken for a longer one", "[L]\nfile10=x\nfile1=y\n", u"L", u"file1", u"d",
     260, u"y"},
    {"header with trailing comment", "[Main] ; installed\nVersion=1\n", u"Main", u"Version", u"d",
     260, u"1"},
    {"blank before [ is no header", " [Main]\nVersion=1\n", u"Main", u"Version", u"d", 260, u"d"},
    {"blank inside brackets is part of the name", "[ Main]\nVersion=1\n[Update Nimbora]\nV=2\n",
     u"Main", u"Version", u"d", 260, u"d"},
    {"name with a blank", "[Update Nimbora]\nV=2\n", u"update nimbora", u"V", u"d", 260, u"2"},
    {"header needs ] right behind the name", "[Mainly]\nVersion=1\n[Main\nVersion=2\n", u"Main",
     u"Version", u"d", 260, u"d"},
    {"letter case ignored", "[MAIN]\nVERSION=1.2.3\n", u"Main", u"Version", u"d", 260, u"1.2.3"},
    {"comment is never an entry", "[Main]\n;Version=1.0.0\nVersion=2\n", u"Main", u"Version", u"d",
     260, u"2"},
    {"semicolon inside a value", "[Main]\nTitle=North;East\n", u"Main", u"Title", u"d", 260,
     u"North;East"},
    {"blank lines and comments inside the section", "[Main]\n\n;x\n\nVersion=1\n", u"Main",
     u"Version", u"d", 260, u"1"},
    {"first entry of a key wins", "[Main]\nVersion=1\nVersion=2\n", u"Main", u"Version", u"d", 260,
     u"1"},
    {"scan ends at the next header", "[Main]\n[Option]\n[Main]\nVersion=2.0.0\n", u"Main",
     u"Version", u"d", 260, u"d"},
    {"a lone [ ends the section", "[Main]\n[\nVersion=1\n", u"Main", u"Version", u"d", 260, u"d"},
    {"entry before any header", "Version=1.2.3\n[Main]\n", u"Main", u"Version", u"d", 260, u"d"},
    {"missing section", "[Option]\nVersion=1\n", u"Main", u"Version", u"1.0.0", 260, u"1.0.0"},
    {"last line without line end", "[Main]\nVersion=1.2.3", u"Main", u"Version", u"d", 260,
     u"1.2.3"},
    {"long line goes on as a line of its own", "[Main]\n" + kLong259 + "Version=7\n", u"Main",
     u"Version", u"d", 260, u"7"},
    {"long line's second piece can be a header", "[Main]\n" + kLong259 + "[Other]\nVersion=1\n",
     u"Main", u"Version", u"d", 260, u"d"},
    {"line of exactly 259 characters", "[Main]\nV=" + std::string(257, 'v') + "\n[X]\n", u"Main",
     u"V", u"d", 260, std::u16string(257, u'v')},
    {"value cut to capacity", "[Main]\nTitle=abcdef\n", u"Main", u"Title", u"d", 4, u"abc"},
    {"capacity one holds only the null", "[Main]\nTitle=abcdef\n", u"Main", u"Title", u"d", 1, u""},
    {"default cut to capacity", "[Main]\n", u"Main", u"Version", u"1.0.0", 3, u"1."},
};

// Each lookup case holds in both encodings and with both line-end forms.
enum class Form { TextLf, TextCrLf, Utf16Lf, Utf16CrLf };

std::string InForm(const std::string& text, Form form) {
  std::string crlf = WithCrLf(text);
  switch (form) {
    case Form::TextLf:
      return text;
    case Form::TextCrLf:
      return crlf;
    case Form::Utf16Lf:
      return Utf16File(text);
    case Form::Utf16CrLf:
      return Utf16File(crlf);
  }
  return text;
}

std::string FormName(const ::testing::TestParamInfo<Form>& info) {
  static const char* const kNames[] = {"TextLf", "TextCrLf", "Utf16Lf", "Utf16CrLf"};
  return kNames[static_cast<int>(info.param)];
}

class LookupTest : public ProfileFileTest, public ::testing::WithParamInterface<Form> {};

TEST_P(LookupTest, DeliversValueOrDefault) {
  for (const LookupCase& c : kLookups) {
    SCOPED_TRACE(c.name);
    Store(InForm(c.text, GetParam()));
    char16_t output[300];
    int length = ReadProfileString(c.section, c.key, c.defaultText, output, c.capacity, kFile);
    EXPECT_EQ(std::u16string(output), c.expected);
    EXPECT_EQ(length, static_cast<int>(c.expected.size()));
  }
}

INSTANTIATE_TEST_SUITE_P(Forms, LookupTest,
                         ::testing::Values(Form::TextLf, Form::TextCrLf, Form::Utf16Lf,
                                           Form::Utf16CrLf),
                         FormName);

// Files whose bytes decide the encoding or need one encoding's own form.
struct RawCase {
  const char* name;
  std::string bytes;
  const char16_t* key;
  const char16_t* expected;
};

const std::string kUtf16Main = Utf16File("[Main]\r\nVersion=1.2.3");

const RawCase kRawFiles[] = {
    {"empty file", "", u"Version", u"d"},
    {"one byte", "\xFF", u"Version", u"d"},
    {"only the byte-order mark", "\xFF\xFE", u"Version", u"d"},
    {"any first byte before FE", "\xFE\xFE" + kUtf16Main.substr(2), u"Version", u"1.2.3"},
    {"big-endian mark reads as text", "\xFE\xFF\n[Main]\nVersion=1\n", u"Version", u"1"},
    {"trailing odd byte ignored", kUtf16Main + "A", u"Version", u"1.2.3"},
    {"lone CR separates UTF-16 lines", Utf16File("[Main]\rVersion=4\r"), u"Version", u"4"},
    {"units taken undecoded", Utf16File("") + Utf16Units(u"[Main]\nTitle=\u03A9\xD800x"), u"Title",
     u"\u03A9\xD800x"},
    {"UTF-8 text", "[Main]\nTitle=Gr\xC3\xB6\xC3\x9F" "e\n", u"Title", u"Gr\u00F6\u00DFe"},
};

using RawLookupTest = ProfileFileTest;

TEST_F(RawLookupTest, EncodingDecidedFromFirstTwoBytes) {
  for (const RawCase& c : kRawFiles) {
    SCOPED_TRACE(c.name);
    Store(c.bytes);
    char16_t output[50];
    ReadProfileString(u"Main", c.key, u"d", output, 50, kFile);
    EXPECT_EQ(std::u16string(output), c.expected);
  }
}

TEST_F(RawLookupTest, MissingFileDeliversDefault) {
  char16_t output[20] = u"garbage";
  EXPECT_EQ(ReadProfileString(u"Main", u"Version", u"", output, 20, u"\\absent.ini"), 0);
  EXPECT_EQ(std::u16string(output), u"");
  EXPECT_EQ(ReadProfileString(u"Main", u"Version", u"1.0.0", output, 20, u"\\absent.ini"), 5);
  EXPECT_EQ(std::u16string(output), u"1.0.0");
}

TEST_F(RawLookupTest, NeverWritesBeyondCapacity) {
  Store("[Main]\nTitle=abcdefgh\n");
  char16_t output[8];
  std::fill(output, output + 8, u'#');
  EXPECT_EQ(ReadProfileString(u"Main", u"Title", u"d", output, 5, kFile), 4);
  EXPECT_EQ(std::u16string(output, output + 8), std::u16string(u"abcd\0###", 8));
}

// Only a lookup decides it; a write to a file of the other encoding leaves it.
TEST_F(RawLookupTest, Utf16ModeIsTheLastLookupsEncoding) {
  Store(Utf16File("[Main]\r\n"));
  WriteHostFile("text.ini", "[Main]\r\n");
  char16_t output[4];
  ReadProfileString(u"Main", u"K", u"", output, 4, kFile);
  EXPECT_EQ(Utf16Mode, 1);
  EXPECT_EQ(WriteProfileString(u"Main", u"K", u"v", u"\\text.ini"), 1);
  EXPECT_EQ(Utf16Mode, 1);
  ReadProfileString(u"Main", u"K", u"", output, 4, u"\\text.ini");
  EXPECT_EQ(Utf16Mode, 0);
  EXPECT_EQ(WriteProfileString(u"Main", u"K", u"v", kFile), 1);
  EXPECT_EQ(Utf16Mode, 0);
}

}  // namespace
}  // namespace nimbora
