// Conversions between the system ANSI code page and UTF-16, as the logic needs them.
#pragma once

#include <string>
#include <string_view>

namespace parlix {

class ICodePage {
 public:
  virtual ~ICodePage() = default;

  // Every byte sequence converts; bytes the code page cannot map become its usual stand-ins.
  virtual std::u16string AnsiToUtf16(std::string_view ansi) const = 0;
  // Characters the code page lacks become its default character. A surrogate pair is one
  // character and gives one default character.
  virtual std::string Utf16ToAnsi(std::u16string_view text) const = 0;
  // True when the byte starts a two-byte character (only in double-byte code pages).
  virtual bool IsLeadByte(unsigned char byte) const = 0;
};

// The system code page (CP_ACP). Windows only: defined in code_page_win.cpp.
const ICodePage& SystemCodePage();

}  // namespace parlix
