// SHA-256 (FIPS 180-4), written to be read beside the standard rather than
// to be fast: the panel has no library for it. Streaming over a plain
// record: start, add bytes in pieces of any size, finish.
#pragma once

#include <cstddef>
#include <cstdint>

namespace nimbora {

constexpr int kSha256Bytes = 32;
constexpr int kSha256BlockBytes = 64;
constexpr int kSha256HexDigits = 2 * kSha256Bytes;

struct Sha256 {
  uint32_t state[8];                       // H0 .. H7
  uint64_t length;                         // bytes added so far
  unsigned char block[kSha256BlockBytes];  // the partial block not yet compressed
  int used;                                // bytes held in block
};

void Sha256Start(Sha256* hash);
void Sha256Add(Sha256* hash, const void* data, size_t size);
// Pads, compresses the last block and writes the digest; the record is
// spent afterwards (start it again to hash something else).
void Sha256Finish(Sha256* hash, unsigned char digest[kSha256Bytes]);
// The digest as 64 lowercase hex digits and a terminating null.
void Sha256Hex(const unsigned char digest[kSha256Bytes], char hex[kSha256HexDigits + 1]);

}  // namespace nimbora
