#include "translate/request.h"

#include "shared/code_cript.h"
#include "shared/literals.h"
#include "translate/language_pairs.h"

namespace parlix {

namespace {

bool IsTrimmed(char c) { return static_cast<unsigned char>(c) <= 32; }

bool IsFormSafe(unsigned char c) {
  return c == '-' || c == '.' || c == '=' || (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') ||
         (c >= 'a' && c <= 'z');
}

bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

}  // namespace

std::string TrimText(std::string_view text) {
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && IsTrimmed(text[begin])) ++begin;
  while (end > begin && IsTrimmed(text[end - 1])) --end;
  return std::string(text.substr(begin, end - begin));
}

std::string Utf16ToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size() * 3);
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (IsHighSurrogate(c) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
      const char32_t cp = 0x10000 + ((static_cast<char32_t>(c) - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      AppendUtf8(out, cp);
      ++i;
      continue;
    }
    AppendUtf8(out, IsHighSurrogate(c) || IsLowSurrogate(c) ? char32_t{0xFFFD} : char32_t{c});
  }
  return out;
}

std::string FormEncode(std::string_view bytes) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(bytes.size() * 3);
  for (const char ch : bytes) {
    const auto c = static_cast<unsigned char>(ch);
    if (c == ' ') {
      out.push_back('+');
    } else if (IsFormSafe(c)) {
      out.push_back(ch);
    } else {
      out.push_back('%');
      out.push_back(kHex[c >> 4]);
      out.push_back(kHex[c & 0x0F]);
    }
  }
  return out;
}

std::string RequestTextUtf8(std::string_view ansi_text, const ICodePage& code_page) {
  std::string utf8 = Utf16ToUtf8(code_page.AnsiToUtf16(ansi_text));
  // Counted in bytes on purpose: the service limits bytes, and a split last character is
  // accepted by it.
  if (utf8.size() > kMaxRequestTextBytes) utf8.resize(kMaxRequestTextBytes);
  return utf8;
}

std::string BuildRequestBody(std::string_view ansi_text, int pair, const ICodePage& code_page) {
  const std::string_view pair_code = PairCodes.at(static_cast<size_t>(pair));
  std::string body = Unscramble(kTextFieldLit);
  body += FormEncode(RequestTextUtf8(ansi_text, code_page));
  body += Unscramble(kPairFieldLit);
  body += pair_code;
  body += Unscramble(kRequestConst1Lit);
  body += Unscramble(kRequestConst2Lit);
  body += Unscramble(kRequestConst3Lit);
  return body;
}

std::string RandomName(std::size_t n, PseudoRandom& random) {
  const std::string pool = Unscramble(kNamePoolLit);
  std::string name;
  name.reserve(n);
  for (std::size_t i = 0; i < n; ++i) name.push_back(pool[random.Next(static_cast<std::uint32_t>(pool.size()))]);
  return name;
}

}  // namespace parlix
