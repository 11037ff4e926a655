#include "shared/code_cript.h"

#include <array>
#include <cstdint>

namespace parlix {

namespace {

constexpr const char* kAlphabet = kScrambleAlphabet;

constexpr std::array<std::uint8_t, 256> MakeTable() {
  std::array<std::uint8_t, 256> table{};
  for (int i = 0; i < 64; ++i) table[static_cast<unsigned char>(kAlphabet[i])] = static_cast<std::uint8_t>(i);
  return table;
}

constexpr std::array<std::uint8_t, 256> kPositions = MakeTable();

unsigned Pos(char c) { return kPositions[static_cast<unsigned char>(c)]; }

}  // namespace

std::string Unscramble(std::string_view stored) {
  const auto nul = stored.find('\0');
  if (nul != std::string_view::npos) stored = stored.substr(0, nul);
  std::string plain;
  if (stored.size() <= 3) return plain;
  const size_t groups = stored.size() / 4;
  plain.reserve(groups * 3);
  for (size_t g = 0; g < groups; ++g) {
    const char c1 = stored[g * 4], c2 = stored[g * 4 + 1], c3 = stored[g * 4 + 2], c4 = stored[g * 4 + 3];
    const unsigned p1 = Pos(c1), p2 = Pos(c2);
    const unsigned p3 = c3 == '=' ? 0 : Pos(c3);
    const unsigned p4 = c4 == '=' ? 0 : Pos(c4);
    plain.push_back(static_cast<char>((p1 * 4 + p2 / 16) & 0xFF));
    if (c3 != '=') plain.push_back(static_cast<char>(((p2 % 16) * 16 + p3 / 4) & 0xFF));
    if (c4 != '=') plain.push_back(static_cast<char>(((p3 % 4) * 64 + p4) & 0xFF));
  }
  return plain;
}

std::string Scramble(std::string_view plain) {
  std::string stored;
  stored.reserve((plain.size() + 2) / 3 * 4);
  size_t i = 0;
  for (; i + 3 <= plain.size(); i += 3) {
    const unsigned b1 = static_cast<unsigned char>(plain[i]);
    const unsigned b2 = static_cast<unsigned char>(plain[i + 1]);
    const unsigned b3 = static_cast<unsigned char>(plain[i + 2]);
    stored += kAlphabet[b1 / 4];
    stored += kAlphabet[(b1 % 4) * 16 + b2 / 16];
    stored += kAlphabet[(b2 % 16) * 4 + b3 / 64];
    stored += kAlphabet[b3 % 64];
  }
  const size_t rest = plain.size() - i;
  if (rest == 2) {
    const unsigned b1 = static_cast<unsigned char>(plain[i]);
    const unsigned b2 = static_cast<unsigned char>(plain[i + 1]);
    stored += kAlphabet[b1 / 4];
    stored += kAlphabet[(b1 % 4) * 16 + b2 / 16];
    stored += kAlphabet[(b2 % 16) * 4];
    stored += '=';
  } else if (rest == 1) {
    const unsigned b1 = static_cast<unsigned char>(plain[i]);
    stored += kAlphabet[b1 / 4];
    stored += kAlphabet[(b1 % 4) * 16];
    stored += "==";
  }
  return stored;
}

}  // namespace parlix
