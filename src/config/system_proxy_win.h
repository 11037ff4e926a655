// The current user's system proxy (the Internet settings in the registry).
#pragma once

#include <string>

namespace parlix {

// Host and port of the proxy for `protocol` (lower case, e.g. "http"); returns the
// system's proxy switch. Host and port are empty when nothing usable was found.
bool DetectSystemProxy(const std::string& protocol, std::string& host, std::string& port);

}  // namespace parlix
