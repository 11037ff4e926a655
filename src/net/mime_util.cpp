#include "net/mime_util.h"

#include <array>
#include <cstdint>

namespace parlix {
namespace {

constexpr uint8_t kPadValue = 64;

constexpr std::array<uint8_t, 256> MakeDecodeTable() {
  std::array<uint8_t, 256> table{};
  for (int i = 0; i < 64; ++i) {
    table[static_cast<unsigned char>(kBase64Alphabet[i])] = static_cast<uint8_t>(i);
  }
  table[static_cast<unsigned char>('=')] = kPadValue;
  return table;
}

constexpr std::array<uint8_t, 256> kDecodeTable = MakeDecodeTable();

uint8_t Byte(std::string_view s, size_t i) { return static_cast<uint8_t>(s[i]); }

}  // namespace

std::string Base64Encode(std::string_view s) {
  std::string out;
  out.reserve((s.size() + 2) / 3 * 4);
  size_t i = 0;
  for (; i + 3 <= s.size(); i += 3) {
    const uint32_t group = (Byte(s, i) << 16) | (Byte(s, i + 1) << 8) | Byte(s, i + 2);
    out.push_back(kBase64Alphabet[(group >> 18) & 63]);
    out.push_back(kBase64Alphabet[(group >> 12) & 63]);
    out.push_back(kBase64Alphabet[(group >> 6) & 63]);
    out.push_back(kBase64Alphabet[group & 63]);
  }
  const size_t left = s.size() - i;
  if (left == 0) return out;
  const uint32_t group = (Byte(s, i) << 16) | (left == 2 ? Byte(s, i + 1) << 8 : 0);
  out.push_back(kBase64Alphabet[(group >> 18) & 63]);
  out.push_back(kBase64Alphabet[(group >> 12) & 63]);
  out.push_back(left == 2 ? kBase64Alphabet[(group >> 6) & 63] : '=');
  out.push_back('=');
  return out;
}

std::string EncodeBase64Str(std::string_view s) { return Base64Encode(s); }

std::string Base64Decode(std::string_view s) {
  std::string out;
  out.reserve(s.size() / 4 * 3 + 3);
  for (size_t i = 0; i < s.size(); i += 4) {
    uint8_t v[4] = {kPadValue, kPadValue, kPadValue, kPadValue};
    for (size_t k = 0; k < 4 && i + k < s.size(); ++k) v[k] = kDecodeTable[Byte(s, i + k)];
    // The pad value only says "no byte here"; its bits never reach the output.
    const uint8_t b0 = v[0] & 63, b1 = v[1] & 63, b2 = v[2] & 63, b3 = v[3] & 63;
    out.push_back(static_cast<char>((b0 << 2) | (b1 >> 4)));
    if (v[2] != kPadValue) out.push_back(static_cast<char>(((b1 & 15) << 4) | (b2 >> 2)));
    if (v[3] != kPadValue) out.push_back(static_cast<char>(((b2 & 3) << 6) | b3));
  }
  return out;
}

}  // namespace parlix
