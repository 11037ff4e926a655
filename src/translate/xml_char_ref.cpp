#include "translate/xml_char_ref.h"

#include <algorithm>

namespace parlix {

namespace {

constexpr char32_t kMaxCodePoint = 0x10FFFF;

bool IsDecimal(char16_t c) { return c >= u'0' && c <= u'9'; }
bool IsHex(char16_t c) { return IsDecimal(c) || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F'); }

unsigned DigitValue(char16_t c) {
  if (IsDecimal(c)) return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  return c - u'A' + 10;
}

bool StartsWith(std::u16string_view s, std::u16string_view prefix) {
  return s.size() >= prefix.size() && s.substr(0, prefix.size()) == prefix;
}

// Bytes for the message: references are ASCII when they are well formed, and anything else
// is shown byte for byte as far as it fits (the caller's own text is 8-bit anyway).
std::string Narrow(std::u16string_view s) {
  std::string out;
  out.reserve(s.size());
  for (const char16_t c : s) out.push_back(c < 0x100 ? static_cast<char>(c) : '?');
  return out;
}

}  // namespace

std::string XmlCharRefErrorText(std::string_view reference) {
  std::string text(reference);
  text += " is not a valid XmlCharRef value.";
  return text;
}

EConversionError::EConversionError(std::string_view reference)
    : std::runtime_error(XmlCharRefErrorText(reference)) {}

bool IsXmlCharRef(std::u16string_view s) {
  if (s.empty() || s.back() != u';') return false;
  if (StartsWith(s, u"&#x")) {
    if (s.size() < 5) return false;
    const auto digits = s.substr(3, s.size() - 4);
    return std::all_of(digits.begin(), digits.end(), IsHex);
  }
  if (s.size() < 4 || !StartsWith(s, u"&#")) return false;
  const auto digits = s.substr(2, s.size() - 3);
  return std::all_of(digits.begin(), digits.end(), IsDecimal);
}

bool IsXmlChar(char32_t c) { return c == 9 || c == 10 || c == 13 || (c >= 0x20 && c <= 0xFFFD); }

char32_t XmlCharRefToInt(std::u16string_view s) {
  if (!IsXmlCharRef(s)) throw EConversionError(Narrow(s));
  const bool hex = s[2] == u'x';
  const unsigned base = hex ? 16 : 10;
  const auto digits = s.substr(hex ? 3 : 2, s.size() - (hex ? 4 : 3));
  // Stop as soon as the value leaves the code-point range: however many digits follow,
  // the answer is the same error, and nothing can wrap around into a valid value.
  char32_t value = 0;
  for (const char16_t d : digits) {
    value = value * base + DigitValue(d);
    if (value > kMaxCodePoint) throw EConversionError(Narrow(s));
  }
  if (value < 0x10000 && !IsXmlChar(value)) throw EConversionError(Narrow(s));
  if (value >= 0xD800 && value <= 0xDFFF) throw EConversionError(Narrow(s));
  return value;
}

std::u16string XmlCharRefToStr(std::u16string_view s) {
  const char32_t v = XmlCharRefToInt(s);
  if (v <= 0xFFFF) return std::u16string(1, static_cast<char16_t>(v));
  return {static_cast<char16_t>(0xD800 + (v - 0x10000) / 0x400), static_cast<char16_t>(0xDC00 + v % 0x400)};
}

}  // namespace parlix
