#include "base/sha256.h"

namespace nimbora {

namespace {

// The first 32 bits of the fractional parts of the cube roots of the first
// 64 primes (section 4.2.2).
constexpr uint32_t kRoundConstants[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

// The first 32 bits of the fractional parts of the square roots of the first
// 8 primes (section 5.3.3).
constexpr uint32_t kInitialState[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                       0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};

// The functions of section 4.1.2.
uint32_t RotateRight(uint32_t x, int n) { return (x >> n) | (x << (32 - n)); }
uint32_t Choose(uint32_t x, uint32_t y, uint32_t z) { return (x & y) ^ (~x & z); }
uint32_t Majority(uint32_t x, uint32_t y, uint32_t z) { return (x & y) ^ (x & z) ^ (y & z); }
uint32_t BigSigma0(uint32_t x) {
  return RotateRight(x, 2) ^ RotateRight(x, 13) ^ RotateRight(x, 22);
}
uint32_t BigSigma1(uint32_t x) {
  return RotateRight(x, 6) ^ RotateRight(x, 11) ^ RotateRight(x, 25);
}
uint32_t SmallSigma0(uint32_t x) { return RotateRight(x, 7) ^ RotateRight(x, 18) ^ (x >> 3); }
uint32_t SmallSigma1(uint32_t x) { return RotateRight(x, 17) ^ RotateRight(x, 19) ^ (x >> 10); }

uint32_t BigEndianWord(const unsigned char* bytes) {
  return (uint32_t{bytes[0]} << 24) | (uint32_t{bytes[1]} << 16) | (uint32_t{bytes[2]} << 8) |
         uint32_t{bytes[3]};
}

// One block through the compression function (section 6.2.2).
void Compress(uint32_t state[8], const unsigned char* block) {
  uint32_t schedule[64];
  for (int t = 0; t < 16; ++t) schedule[t] = BigEndianWord(block + 4 * t);
  for (int t = 16; t < 64; ++t) {
    schedule[t] = SmallSigma1(schedule[t - 2]) + schedule[t - 7] + SmallSigma0(schedule[t - 15]) +
                  schedule[t - 16];
  }
  uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
  uint32_t e = state[4], f = state[5], g = state[6], h = state[7];
  for (int t = 0; t < 64; ++t) {
    uint32_t t1 = h + BigSigma1(e) + Choose(e, f, g) + kRoundConstants[t] + schedule[t];
    uint32_t t2 = BigSigma0(a) + Majority(a, b, c);
    h = g;
    g = f;
    f = e;
    e = d + t1;
    d = c;
    c = b;
    b = a;
    a = t1 + t2;
  }
  state[0] += a;
  state[1] += b;
  state[2] += c;
  state[3] += d;
  state[4] += e;
  state[5] += f;
  state[6] += g;
  state[7] += h;
}

}  // namespace

void Sha256Start(Sha256* hash) {
  for (int i = 0; i < 8; ++i) hash->state[i] = kInitialState[i];
  hash->length = 0;
  hash->used = 0;
}

// Whole blocks are compressed straight from the caller's bytes; only a
// partial block is held back in the record.
void Sha256Add(Sha256* hash, const void* data, size_t size) {
  const unsigned char* bytes = static_cast<const unsigned char*>(data);
  hash->length += size;
  while (size > 0) {
    if (hash->used == 0 && size >= kSha256BlockBytes) {
      Compress(hash->state, bytes);
      bytes += kSha256BlockBytes;
      size -= kSha256BlockBytes;
      continue;
    }
    size_t room = static_cast<size_t>(kSha256BlockBytes - hash->used);
    size_t taken = size < room ? size : room;
    for (size_t i = 0; i < taken; ++i) hash->block[hash->used + static_cast<int>(i)] = bytes[i];
    hash->used += static_cast<int>(taken);
    bytes += taken;
    size -= taken;
    if (hash->used == kSha256BlockBytes) {
      Compress(hash->state, hash->block);
      hash->used = 0;
    }
  }
}

// Padding (section 5.1.1): a 1 bit, zeros up to 56 bytes into a block, then
// the message length in bits as a 64-bit big-endian number. When fewer than
// 9 bytes remain in the block, the padding runs into one more block.
void Sha256Finish(Sha256* hash, unsigned char digest[kSha256Bytes]) {
  uint64_t bits = hash->length * 8;
  hash->block[hash->used++] = 0x80;
  if (hash->used > kSha256BlockBytes - 8) {
    while (hash->used < kSha256BlockBytes) hash->block[hash->used++] = 0;
    Compress(hash->state, hash->block);
    hash->used = 0;
  }
  while (hash->used < kSha256BlockBytes - 8) hash->block[hash->used++] = 0;
  for (int i = 7; i >= 0; --i) {
    hash->block[hash->used++] = static_cast<unsigned char>(bits >> (8 * i));
  }
  Compress(hash->state, hash->block);
  for (int i = 0; i < kSha256Bytes; ++i) {
    digest[i] = static_cast<unsigned char>(hash->state[i / 4] >> (24 - 8 * (i % 4)));
  }
}

void Sha256Hex(const unsigned char digest[kSha256Bytes], char hex[kSha256HexDigits + 1]) {
  static const char kDigits[] = "0123456789abcdef";
  for (int i = 0; i < kSha256Bytes; ++i) {
    hex[2 * i] = kDigits[digest[i] >> 4];
    hex[2 * i + 1] = kDigits[digest[i] & 0x0F];
  }
  hex[kSha256HexDigits] = 0;
}

}  // namespace nimbora
