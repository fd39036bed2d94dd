#include "base/sha256.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "support/device_fixture.h"

namespace nimbora {
namespace {

// Hashes bytes fed in pieces of the given sizes (cycled; none: all at once),
// as a stream would.
std::string HexOf(const std::string& bytes, const std::vector<size_t>& pieces = {}) {
  Sha256 hash;
  Sha256Start(&hash);
  for (size_t at = 0, i = 0; at < bytes.size(); ++i) {
    size_t piece = pieces.empty() ? bytes.size() : std::max<size_t>(pieces[i % pieces.size()], 1);
    size_t size = std::min(piece, bytes.size() - at);
    Sha256Add(&hash, bytes.data() + at, size);
    at += size;
  }
  unsigned char digest[kSha256Bytes];
  Sha256Finish(&hash, digest);
  char hex[kSha256HexDigits + 1];
  Sha256Hex(digest, hex);
  return hex;
}

// The examples published with the standard, and the empty message.
TEST(Sha256Test, StandardExamples) {
  EXPECT_EQ(HexOf(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  EXPECT_EQ(HexOf("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  EXPECT_EQ(HexOf("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
            "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
  EXPECT_EQ(HexOf("abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmn"
                  "hijklmnoijklmnopjklmnopqklmnopqrlmnopqrsmnopqrstnopqrstu"),
            "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1");
  std::string million(1000000, 'a');
  EXPECT_EQ(HexOf(million), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
  EXPECT_EQ(HexOf(million, {1, 63, 64, 65, 4096}), HexOf(million));
}

class Sha256FilesTest : public DeviceFixture {};

// 1,000 files of random bytes against one run of the system's sha256sum:
// every size around the padding's edges and block boundaries, mostly small
// random sizes, a few of some megabytes; each fed in random pieces.
TEST_F(Sha256FilesTest, MatchesSha256sumOnRandomFiles) {
  std::mt19937 random(20240526);
  std::vector<size_t> sizes = {0, 1, 55, 56, 57, 63, 64, 65, 119, 120, 127, 128, 129, 4095, 4096,
                               4097, 3 * 1024 * 1024 + 17, 2 * 1024 * 1024, 1024 * 1024 - 1};
  while (sizes.size() < 1000) sizes.push_back(random() % 3000);
  std::map<std::string, std::string> ours;
  for (size_t i = 0; i < sizes.size(); ++i) {
    std::string bytes(sizes[i], '\0');
    for (char& byte : bytes) byte = static_cast<char>(random());
    std::vector<size_t> pieces;
    for (int p = 0; p < 5; ++p) pieces.push_back(random() % (1 << (random() % 14)));
    char name[32];
    std::snprintf(name, sizeof name, "f%04zu", i);
    WriteHostFile(name, bytes);
    ours[name] = HexOf(bytes, pieces);
  }
  std::string command = "cd '" + root + "' && sha256sum f*";
  FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::map<std::string, std::string> theirs;
  char line[256];
  while (std::fgets(line, sizeof line, pipe) != nullptr) {
    std::string text(line);
    theirs[text.substr(66, text.find('\n') - 66)] = text.substr(0, 64);
  }
  ASSERT_EQ(pclose(pipe), 0);
  EXPECT_EQ(ours, theirs);
}

}  // namespace
}  // namespace nimbora
