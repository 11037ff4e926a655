// Hex text to bytes and back, for known-answer tests written as the references print them,
// and little-endian numbers as wire formats and registry values hold them.
#pragma once

#include <cstdint>
#include <string>

namespace parlix::testing {

inline std::string HexToBytes(const std::string& hex) {
  std::string out;
  auto nibble = [](char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return c - 'A' + 10;
  };
  for (size_t i = 0; i + 1 < hex.size(); i += 2)
    out.push_back(static_cast<char>(nibble(hex[i]) << 4 | nibble(hex[i + 1])));
  return out;
}

inline std::string Le16(uint32_t v) { return {static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF)}; }
inline std::string Le32(uint32_t v) { return Le16(v & 0xFFFF) + Le16(v >> 16); }

template <typename Bytes>
std::string ToHex(const Bytes& bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out;
  for (auto b : bytes) {
    const auto v = static_cast<uint8_t>(b);
    out += {kDigits[v >> 4], kDigits[v & 15]};
  }
  return out;
}

}  // namespace parlix::testing
