#include <windows.h>

#include <climits>

#include "platform/code_page.h"

namespace parlix {

namespace {

bool IsHigh(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLow(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

class AnsiCodePage final : public ICodePage {
 public:
  std::u16string AnsiToUtf16(std::string_view ansi) const override {
    if (ansi.empty() || ansi.size() > INT_MAX) return {};
    const int size = static_cast<int>(ansi.size());
    const int needed = MultiByteToWideChar(CP_ACP, 0, ansi.data(), size, nullptr, 0);
    if (needed <= 0) return {};
    std::u16string out(static_cast<size_t>(needed), u'\0');
    MultiByteToWideChar(CP_ACP, 0, ansi.data(), size, reinterpret_cast<wchar_t*>(out.data()), needed);
    return out;
  }

  std::string Utf16ToAnsi(std::u16string_view text) const override {
    if (text.empty()) return {};
    const UINT acp = GetACP();
    // A single-byte or double-byte code page has no character beyond U+FFFF, and the
    // conversion would give two default characters for one surrogate pair; one U+FFFD per
    // pair gives the one default character the user should see.
    std::u16string folded;
    if (acp != CP_UTF8) {
      folded.reserve(text.size());
      for (size_t i = 0; i < text.size(); ++i) {
        if (IsHigh(text[i]) && i + 1 < text.size() && IsLow(text[i + 1])) {
          folded.push_back(0xFFFD);
          ++i;
        } else {
          folded.push_back(text[i]);
        }
      }
      text = folded;
    }
    if (text.size() > INT_MAX) return {};
    const int size = static_cast<int>(text.size());
    const auto* wide = reinterpret_cast<const wchar_t*>(text.data());
    // No best fit: a character the code page lacks becomes its default character instead of
    // a look-alike (which could turn a harmless character into a quote or a path separator).
    const DWORD flags = acp == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
    const int needed = WideCharToMultiByte(acp, flags, wide, size, nullptr, 0, nullptr, nullptr);
    if (needed <= 0) return {};
    std::string out(static_cast<size_t>(needed), '\0');
    WideCharToMultiByte(acp, flags, wide, size, out.data(), needed, nullptr, nullptr);
    return out;
  }

  bool IsLeadByte(unsigned char byte) const override { return IsDBCSLeadByte(byte) != FALSE; }
};

}  // namespace

const ICodePage& SystemCodePage() {
  static const AnsiCodePage code_page;
  return code_page;
}

}  // namespace parlix
