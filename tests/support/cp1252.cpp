#include "support/cp1252.h"

#include <array>

namespace parlix::testing {

namespace {

// Bytes 0x80..0x9F; the unassigned ones map to the C1 control of the same value.
constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char16_t ToUnicode(unsigned char b) { return b >= 0x80 && b <= 0x9F ? kHighControls[b - 0x80] : char16_t{b}; }

int FromUnicode(char16_t c) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return c;
  for (size_t i = 0; i < kHighControls.size(); ++i)
    if (kHighControls[i] == c) return static_cast<int>(0x80 + i);
  return -1;
}

bool IsHigh(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLow(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

}  // namespace

std::u16string Cp1252::AnsiToUtf16(std::string_view ansi) const {
  std::u16string out;
  out.reserve(ansi.size());
  for (const char c : ansi) out.push_back(ToUnicode(static_cast<unsigned char>(c)));
  return out;
}

std::string Cp1252::Utf16ToAnsi(std::u16string_view text) const {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (IsHigh(text[i]) && i + 1 < text.size() && IsLow(text[i + 1])) {
      out.push_back(kDefaultChar);
      ++i;
      continue;
    }
    const int b = FromUnicode(text[i]);
    out.push_back(b < 0 ? kDefaultChar : static_cast<char>(b));
  }
  return out;
}

std::u16string FakeDoubleByte::AnsiToUtf16(std::string_view ansi) const {
  std::u16string out;
  for (size_t i = 0; i < ansi.size(); ++i) {
    const auto b = static_cast<unsigned char>(ansi[i]);
    if (IsLeadByte(b) && i + 1 < ansi.size()) {
      const auto t = static_cast<unsigned char>(ansi[i + 1]);
      out.push_back(static_cast<char16_t>(0xE000 + ((b - 0x81) << 8) + t));
      ++i;
    } else {
      out.push_back(b < 0x80 ? char16_t{b} : char16_t{0x30FB});
    }
  }
  return out;
}

std::string FakeDoubleByte::Utf16ToAnsi(std::u16string_view text) const {
  std::string out;
  for (const char16_t c : text) {
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
    } else if (c >= 0xE000 && c < 0xE000 + (0x7E << 8)) {
      out += {static_cast<char>(0x81 + ((c - 0xE000) >> 8)), static_cast<char>((c - 0xE000) & 0xFF)};
    } else {
      out.push_back('?');
    }
  }
  return out;
}

}  // namespace parlix::testing
