// The pure half of reading the system's proxy settings: the on/off switch from the value's
// type and bytes, and host and port for one protocol from the server text.
#pragma once

#include <string>
#include <string_view>

namespace parlix {

// How the "ProxyEnable" value is stored, as far as the switch cares.
enum class ProxyEnableKind {
  kMissing,  // no such value, or it could not be read
  kDword,    // REG_DWORD
  kBinary,   // REG_BINARY
  kOther,    // any other type
};

// REG_DWORD: on only when it is exactly 1 (a DWORD of any size but four bytes is unreadable,
// so off). REG_BINARY: on when any of its bytes is not zero, whatever its length.
bool ProxySwitchOn(ProxyEnableKind kind, std::string_view bytes);

struct ProxyHostPort {
  std::string host;
  std::string port;
};

// Host and port of the first "protocol=host:port" entry in the server text, lower-cased and
// not trimmed. Only the per-protocol form is understood: "gate:3128" alone yields nothing.
// `protocol` is given in lower case ("http").
ProxyHostPort ParseProxyServer(std::string_view server_text, std::string_view protocol);

struct SystemProxy {
  bool enabled = false;  // the system's switch
  std::string host;
  std::string port;

  // What the callers put into ProxySettings.Enabled: the switch, and both parts present.
  bool UseProxy() const { return enabled && !host.empty() && !port.empty(); }
};

// The whole answer from the three registry values; missing string values are passed empty.
// The server text is "ProxyServer", or "ProxyOverride" when that one is empty.
SystemProxy ParseSystemProxy(ProxyEnableKind enable_kind, std::string_view enable_bytes,
                             std::string_view proxy_server, std::string_view proxy_override,
                             std::string_view protocol);

}  // namespace parlix
