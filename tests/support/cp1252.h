// A code-page-1252 stand-in for the system code page in native tests, mapping as Windows
// does without best-fit: the five unassigned bytes pass through as U+0081 and friends.
#pragma once

#include "platform/code_page.h"

namespace parlix::testing {

class Cp1252 final : public ICodePage {
 public:
  std::u16string AnsiToUtf16(std::string_view ansi) const override;
  std::string Utf16ToAnsi(std::u16string_view text) const override;
  bool IsLeadByte(unsigned char) const override { return false; }

  static constexpr char kDefaultChar = '?';
};

// A double-byte stand-in for the marker search: bytes 0x81..0xFE lead a two-byte character
// whose UTF-16 form is 0xE000 + the pair's offset, enough to check character boundaries.
class FakeDoubleByte final : public ICodePage {
 public:
  std::u16string AnsiToUtf16(std::string_view ansi) const override;
  std::string Utf16ToAnsi(std::u16string_view text) const override;
  bool IsLeadByte(unsigned char byte) const override { return byte >= 0x81 && byte <= 0xFE; }
};

}  // namespace parlix::testing
