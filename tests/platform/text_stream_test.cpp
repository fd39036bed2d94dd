#include "platform/text_stream.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/device_fixture.h"

namespace nimbora {
namespace {

class TextStreamTest : public DeviceFixture {
 protected:
  struct Line {
    std::u16string text;
    long long positionAfter;
  };

  // Reads every line of a file holding bytes, noting the position after each.
  std::vector<Line> ReadLines(const std::string& bytes, int capacity) {
    WriteHostFile("text.txt", bytes);
    Stream* stream = OpenStream(u"\\text.txt", u"r");
    EXPECT_NE(stream, nullptr);
    std::vector<Line> lines;
    std::vector<char16_t> buffer(static_cast<size_t>(capacity));
    while (stream != nullptr && ReadTextLine(stream, buffer.data(), capacity)) {
      lines.push_back({buffer.data(), StreamPosition(stream)});
    }
    if (stream != nullptr) CloseStream(stream);
    return lines;
  }

  static std::string Encoded(const char16_t* text) {
    std::u16string units = text;
    std::string bytes(kTextBytesPerUnit * units.size(), '#');
    int size = EncodeText(text, reinterpret_cast<unsigned char*>(&bytes[0]));
    return bytes.substr(0, static_cast<size_t>(size));
  }
};

TEST_F(TextStreamTest, DecodesUtf8WithLatin1FallbackAndFoldsCrLf) {
  struct Case {
    const char* name;
    std::string bytes;
    std::vector<Line> lines;
  } cases[] = {
      {"crlf", "a\r\nb\n", {{u"a\n", 3}, {u"b\n", 5}}},
      {"lone cr stays", "x\ry\r\n\r", {{u"x\ry\n", 5}, {u"\r", 6}}},
      {"last line without lf", "end", {{u"end", 3}}},
      {"utf-8", "caf\xC3\xA9\n", {{u"caf\u00E9\n", 6}}},
      {"latin-1", "caf\xE9\n", {{u"caf\u00E9\n", 5}}},
      {"beyond the bmp", "\xF0\x9F\x98\x80!", {{u"\U0001F600!", 5}}},
      {"broken sequence", "\xC3(", {{u"\u00C3(", 2}}},
      {"cut short at the end", "\xE2\x82", {{u"\u00E2\u0082", 2}}},
      {"overlong", "\xC0\xAF", {{u"\u00C0\u00AF", 2}}},
      {"encoded surrogate", "\xED\xA0\x80", {{u"\u00ED\u00A0\u0080", 3}}},
      {"beyond unicode", "\xF4\x90\x80\x80", {{u"\u00F4\u0090\u0080\u0080", 4}}},
      {"empty file", "", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<Line> lines = ReadLines(c.bytes, 260);
    ASSERT_EQ(lines.size(), c.lines.size());
    for (size_t i = 0; i < lines.size(); ++i) {
      EXPECT_EQ(lines[i].text, c.lines[i].text);
      EXPECT_EQ(lines[i].positionAfter, c.lines[i].positionAfter);
    }
  }
}

TEST_F(TextStreamTest, SplitsLongLinesAtTheCapacity) {
  std::vector<Line> lines = ReadLines(std::string(300, 'a') + "\n[x]\n", 260);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0].text, std::u16string(259, u'a'));
  EXPECT_EQ(lines[0].positionAfter, 259);
  EXPECT_EQ(lines[1].text, std::u16string(41, u'a') + u"\n");
  EXPECT_EQ(lines[2].text, u"[x]\n");

  // A line of exactly capacity - 1 characters leaves its LF for the next read.
  lines = ReadLines(std::string(259, 'b') + "\r\n", 260);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[1].text, u"\n");
  EXPECT_EQ(lines[1].positionAfter, 261);
}

TEST_F(TextStreamTest, NeverSplitsASurrogatePair) {
  std::vector<Line> lines = ReadLines("ab\xF0\x9F\x98\x80", 4);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].text, u"ab");
  EXPECT_EQ(lines[0].positionAfter, 2);
  EXPECT_EQ(lines[1].text, u"\U0001F600");
}

// The reader works on chunks; a CR LF pair or a UTF-8 sequence that straddles
// a chunk's end must read the same as anywhere else.
TEST_F(TextStreamTest, ReadsSequencesAcrossReadAheadBoundaries) {
  for (size_t length = 250; length < 262; ++length) {
    SCOPED_TRACE(length);
    std::string filler(length, 'a');
    std::vector<Line> lines = ReadLines(filler + "\r\n\xC3\xA9\r\nz", 400);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].text, std::u16string(length, u'a') + u"\n");
    EXPECT_EQ(lines[0].positionAfter, static_cast<long long>(length + 2));
    EXPECT_EQ(lines[1].text, u"\u00E9\n");
    EXPECT_EQ(lines[1].positionAfter, static_cast<long long>(length + 6));
    EXPECT_EQ(lines[2].text, u"z");
  }
}

TEST_F(TextStreamTest, ByteReadsContinueRightAfterALine) {
  WriteHostFile("mixed.txt", "first\r\nsecond");
  Stream* stream = OpenStream(u"\\mixed.txt", u"r");
  ASSERT_NE(stream, nullptr);
  char16_t line[16];
  ASSERT_EQ(ReadTextLine(stream, line, 16), 1);
  char bytes[16] = {};
  EXPECT_EQ(ReadBytes(stream, bytes, sizeof bytes), 6u);
  EXPECT_EQ(std::string(bytes), "second");
  EXPECT_EQ(ReadTextLine(stream, line, 16), 0);
  CloseStream(stream);
}

TEST_F(TextStreamTest, EncodesUtf8WithCrLfLineEnds) {
  EXPECT_EQ(Encoded(u"a\nb\u00E9\U0001F600\r\n"), "a\r\nb\xC3\xA9\xF0\x9F\x98\x80\r\r\n");
  // Surrogates without a partner have no UTF-8 form.
  EXPECT_EQ(Encoded(u"x\xD800y\xDC00"), "x\xEF\xBF\xBDy\xEF\xBF\xBD");
  EXPECT_EQ(Encoded(u"end\xD83D"), "end\xEF\xBF\xBD");
  std::u16string longText(2000, u'\u00E9');
  std::string expected;
  for (int i = 0; i < 2000; ++i) expected += "\xC3\xA9";
  EXPECT_EQ(Encoded(longText.c_str()), expected);
}

TEST_F(TextStreamTest, PrintsFormattedTextAndReadsItBack) {
  Stream* stream = OpenStream(u"\\main.ini", u"w+");
  ASSERT_NE(stream, nullptr);
  EXPECT_EQ(PrintText(stream, u"\n[%s]\n%s=%s\n", u"Main", u"Version", u"1.2.3"), 1);
  EXPECT_EQ(PrintText(stream, u"%s%d=%02d\n", u"file", 1, 7), 1);
  ASSERT_EQ(SeekStream(stream, 0, kSeekSet), 1);
  char16_t line[32];
  std::u16string all;
  while (ReadTextLine(stream, line, 32)) all += line;
  EXPECT_EQ(all, u"\n[Main]\nVersion=1.2.3\nfile1=07\n");
  EXPECT_EQ(CloseStream(stream), 1);
  EXPECT_EQ(ReadHostFile("main.ini"), "\r\n[Main]\r\nVersion=1.2.3\r\nfile1=07\r\n");
}

}  // namespace
}  // namespace nimbora
