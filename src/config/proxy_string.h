// The pure half of system proxy detection: the switch and the server text.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace parlix {

// The "ProxyEnable" value as the registry gave it.
struct TProxyEnableValue {
  enum class Kind { kDword, kBinary, kOther };
  bool present = false;
  Kind kind = Kind::kOther;
  std::vector<unsigned char> bytes;
};

// REG_DWORD: on only when it equals 1. REG_BINARY: on when any byte is non-zero. Else off.
bool ProxySwitchIsOn(const TProxyEnableValue& value);

// Finds "<protocol>=" in the lower-cased server text and takes host and port from the
// entry after it ("http=gate:3128;ftp=gate:21" gives gate and 3128). A plain host:port
// that applies to all protocols gives nothing.
void ParseProxyServer(std::string_view server, std::string_view protocol, std::string& host, std::string& port);

}  // namespace parlix
