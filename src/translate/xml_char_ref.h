// Numeric character references ("&#39;", "&#x41;") of the answer page.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace parlix {

// The conversion error of a reference that names no valid character.
class EConversionError : public std::runtime_error {
 public:
  // The message is "<reference> is not a valid XmlCharRef value." in the same 8-bit text
  // the reference came in.
  explicit EConversionError(std::string_view reference);
};

// "%S is not a valid XmlCharRef value." with %S replaced by the reference text.
std::string XmlCharRefErrorText(std::string_view reference);

// "&#" decimal digits ";" or "&#x" hexadecimal digits ";" (lower-case x only).
bool IsXmlCharRef(std::u16string_view s);
// For codes below 0x10000: tab, LF, CR and 0x20..0xFFFD.
bool IsXmlChar(char32_t c);
// The code point a reference names; EConversionError when it is not a reference, is above
// 0x10FFFF (however many digits it has), is a surrogate, or is not an XML character.
char32_t XmlCharRefToInt(std::u16string_view s);
// The same as one or two UTF-16 code units.
std::u16string XmlCharRefToStr(std::u16string_view s);

}  // namespace parlix
