// Base64 (MIME, RFC 2045 alphabet, "=" padding, no line breaks) for the HTTP client's
// Basic credentials and the NTLM messages.
#pragma once

#include <string>
#include <string_view>

namespace parlix {

inline constexpr char kBase64Alphabet[65] =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// The encoder the NTLM layer uses.
std::string Base64Encode(std::string_view s);

// The encoder the client uses for Basic credentials; same output as Base64Encode.
std::string EncodeBase64Str(std::string_view s);

// Inverse of Base64Encode for whole groups of four alphabet characters and "=".
// Anything else never reads or writes out of bounds: a character outside the alphabet
// counts as the value 0, and a last group shorter than four characters is read as if
// padded with "=" (so it still yields its first byte).
std::string Base64Decode(std::string_view s);

}  // namespace parlix
