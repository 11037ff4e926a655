#include "config/proxy_string.h"

#include <algorithm>
#include <cstdint>

namespace parlix {

namespace {

std::string AsciiLower(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

}  // namespace

bool ProxySwitchOn(ProxyEnableKind kind, std::string_view bytes) {
  switch (kind) {
    case ProxyEnableKind::kDword: {
      if (bytes.size() != 4) return false;
      std::uint32_t value = 0;
      for (int i = 3; i >= 0; --i) value = (value << 8) | static_cast<unsigned char>(bytes[static_cast<size_t>(i)]);
      return value == 1;
    }
    case ProxyEnableKind::kBinary:
      return std::any_of(bytes.begin(), bytes.end(), [](char b) { return b != 0; });
    case ProxyEnableKind::kMissing:
    case ProxyEnableKind::kOther:
      return false;
  }
  return false;
}

ProxyHostPort ParseProxyServer(std::string_view server_text, std::string_view protocol) {
  const std::string text = AsciiLower(server_text);
  const std::string key = std::string(protocol) + "=";
  const size_t at = text.find(key);
  if (text.empty() || at == std::string::npos) return {};
  std::string_view rest(text);
  rest.remove_prefix(at + key.size());
  ProxyHostPort result;
  const size_t colon = rest.find(':');
  if (colon != std::string_view::npos) {
    result.host = std::string(rest.substr(0, colon));
    rest.remove_prefix(colon + 1);
  }
  result.port = std::string(rest.substr(0, rest.find(';')));
  return result;
}

SystemProxy ParseSystemProxy(ProxyEnableKind enable_kind, std::string_view enable_bytes,
                             std::string_view proxy_server, std::string_view proxy_override,
                             std::string_view protocol) {
  SystemProxy proxy;
  proxy.enabled = ProxySwitchOn(enable_kind, enable_bytes);
  const std::string_view server = proxy_server.empty() ? proxy_override : proxy_server;
  ProxyHostPort parts = ParseProxyServer(server, protocol);
  proxy.host = std::move(parts.host);
  proxy.port = std::move(parts.port);
  return proxy;
}

}  // namespace parlix
