#include "config/proxy_string.h"

#include <cctype>
#include <cstdint>

namespace parlix {

bool ProxySwitchIsOn(const TProxyEnableValue& value) {
  if (!value.present) return false;
  switch (value.kind) {
    case TProxyEnableValue::Kind::kDword: {
      if (value.bytes.size() < 4) return false;
      const std::uint32_t number = value.bytes[0] | (value.bytes[1] << 8) | (value.bytes[2] << 16) |
                                   (static_cast<std::uint32_t>(value.bytes[3]) << 24);
      return number == 1;
    }
    case TProxyEnableValue::Kind::kBinary:
      // Raw bytes of any length read as a boolean: on when any of them is not zero.
      for (unsigned char b : value.bytes)
        if (b != 0) return true;
      return false;
    case TProxyEnableValue::Kind::kOther:
      return false;
  }
  return false;
}

void ParseProxyServer(std::string_view server, std::string_view protocol, std::string& host, std::string& port) {
  host.clear();
  port.clear();
  if (server.empty()) return;
  std::string text(server);
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  const std::string key = std::string(protocol) + "=";
  const size_t at = text.find(key);
  if (at == std::string::npos) return;
  text.erase(0, at + key.size());
  const size_t colon = text.find(':');
  if (colon != std::string::npos) {
    host = text.substr(0, colon);
    text.erase(0, colon + 1);
  }
  const size_t semicolon = text.find(';');
  port = text.substr(0, semicolon);
}

}  // namespace parlix
