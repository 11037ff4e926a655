#include "net/md4.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace parlix {
namespace {

constexpr uint32_t Rotl(uint32_t x, int s) { return (x << s) | (x >> (32 - s)); }
constexpr uint32_t F(uint32_t x, uint32_t y, uint32_t z) { return (x & y) | (~x & z); }
constexpr uint32_t G(uint32_t x, uint32_t y, uint32_t z) { return (x & y) | (x & z) | (y & z); }
constexpr uint32_t H(uint32_t x, uint32_t y, uint32_t z) { return x ^ y ^ z; }

uint32_t LoadLe32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

void StoreLe32(uint32_t v, uint8_t* p) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

void RequireInit(bool initialized) {
  if (!initialized) throw MD4Exception("MD4 not initialized");
}

}  // namespace

void Md4::Init() {
  state_ = {0x67452301u, 0xefcdab89u, 0x98badcfeu, 0x10325476u};
  length_ = 0;
  buffer_.fill(0);
  initialized_ = true;
}

void Md4::Transform(const uint8_t* block) {
  uint32_t x[16];
  for (int i = 0; i < 16; ++i) x[i] = LoadLe32(block + 4 * i);
  uint32_t a = state_[0], b = state_[1], c = state_[2], d = state_[3];

  static constexpr int kR1[4] = {3, 7, 11, 19};
  for (int i = 0; i < 16; ++i) {
    const uint32_t t = a + F(b, c, d) + x[i];
    a = d; d = c; c = b; b = Rotl(t, kR1[i % 4]);
  }
  static constexpr int kR2[4] = {3, 5, 9, 13};
  for (int i = 0; i < 16; ++i) {
    const int k = (i % 4) * 4 + i / 4;
    const uint32_t t = a + G(b, c, d) + x[k] + 0x5a827999u;
    a = d; d = c; c = b; b = Rotl(t, kR2[i % 4]);
  }
  static constexpr int kR3[4] = {3, 9, 11, 15};
  static constexpr int kOrder3[16] = {0, 8, 4, 12, 2, 10, 6, 14, 1, 9, 5, 13, 3, 11, 7, 15};
  for (int i = 0; i < 16; ++i) {
    const uint32_t t = a + H(b, c, d) + x[kOrder3[i]] + 0x6ed9eba1u;
    a = d; d = c; c = b; b = Rotl(t, kR3[i % 4]);
  }
  state_[0] += a;
  state_[1] += b;
  state_[2] += c;
  state_[3] += d;
}

void Md4::Update(std::string_view data) {
  RequireInit(initialized_);
  const auto* p = reinterpret_cast<const uint8_t*>(data.data());
  size_t n = data.size();
  size_t used = static_cast<size_t>(length_ % 64);
  length_ += n;
  if (used > 0) {
    const size_t take = std::min(n, 64 - used);
    std::memcpy(buffer_.data() + used, p, take);
    p += take;
    n -= take;
    used += take;
    if (used < 64) return;
    Transform(buffer_.data());
  }
  for (; n >= 64; p += 64, n -= 64) Transform(p);
  if (n > 0) std::memcpy(buffer_.data(), p, n);
}

Md4Digest Md4::Final() {
  RequireInit(initialized_);
  const uint64_t bits = length_ * 8;
  const size_t used = static_cast<size_t>(length_ % 64);
  const size_t pad = used < 56 ? 56 - used : 120 - used;
  std::string pad_bytes(pad + 8, '\0');
  pad_bytes[0] = static_cast<char>(0x80);
  for (int i = 0; i < 8; ++i) pad_bytes[pad + i] = static_cast<char>(bits >> (8 * i));
  Update(pad_bytes);
  Md4Digest out{};
  for (int i = 0; i < 4; ++i) StoreLe32(state_[i], out.data() + 4 * i);
  initialized_ = false;
  return out;
}

Md4Digest Md4Of(std::string_view data) {
  Md4 md4;
  md4.Init();
  md4.Update(data);
  return md4.Final();
}

}  // namespace parlix
