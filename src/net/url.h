// URL splitting for the HTTP client: addresses, proxy settings and Location values.
#pragma once

#include <string>
#include <string_view>

namespace parlix {

// 1-based index of the start of the last occurrence of sub in s; 0 when there is
// none (and for an empty sub).
int LastPos(std::string_view sub, std::string_view s);

// Splits url into its parts. Every output is cleared first; the value path holds on
// entry is the base path against which "./" and "../" forms are resolved. Nothing is
// defaulted except proto ("http" for a bare path or a rejected scheme): the caller
// supplies the default port and the path "/". The port is taken after the last ":"
// of the authority, so bracketed IPv6 literals are not understood, and a fragment is
// left in the path. Byte strings; only ASCII letters change case.
void ParseURL(const std::string& url, std::string& proto, std::string& user,
              std::string& pass, std::string& host, std::string& port,
              std::string& path);

}  // namespace parlix
