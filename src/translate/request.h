// The pure half of a translation request: trimming, UTF-8, form encoding, the body, and the
// random part of temporary file names.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/code_page.h"
#include "shared/pseudo_random.h"

namespace parlix {

// The service gets at most this many bytes of UTF-8 text; the cut may split a character.
inline constexpr std::size_t kMaxRequestTextBytes = 2048;

// Removes leading and trailing characters with codes 0 to 32.
std::string TrimText(std::string_view text);

// UTF-16 to UTF-8. An unpaired surrogate becomes U+FFFD, so the output is always valid UTF-8.
std::string Utf16ToUtf8(std::u16string_view text);

// Space becomes "+"; "-", ".", digits, "=" and letters stay; every other byte becomes "%XX"
// with upper-case hex digits.
std::string FormEncode(std::string_view bytes);

// The UTF-8 form of an ANSI text, cut to kMaxRequestTextBytes.
std::string RequestTextUtf8(std::string_view ansi_text, const ICodePage& code_page);

// The whole form body for an already trimmed ANSI text and a pair 0..11 (std::out_of_range
// for any other pair).
std::string BuildRequestBody(std::string_view ansi_text, int pair, const ICodePage& code_page);

// n characters drawn uniformly from the name-pool literal.
std::string RandomName(std::size_t n, PseudoRandom& random);

}  // namespace parlix
