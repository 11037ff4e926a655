#include "config/system_proxy_win.h"

#include <windows.h>

#include <optional>

#include "config/proxy_string.h"
#include "platform/registry_win.h"

namespace parlix {

namespace {

constexpr char kInternetSettingsKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";

}  // namespace

bool DetectSystemProxy(const std::string& protocol, std::string& host, std::string& port) {
  host.clear();
  port.clear();
  UniqueRegKey key = OpenRegKey(TRegRoot::kCurrentUser, kInternetSettingsKey);
  if (!key) return false;

  ProxyEnableKind kind = ProxyEnableKind::kMissing;
  const std::optional<TRegData> enable = ReadRegValue(key.Get(), "ProxyEnable");
  if (enable)
    kind = enable->type == REG_DWORD    ? ProxyEnableKind::kDword
           : enable->type == REG_BINARY ? ProxyEnableKind::kBinary
                                        : ProxyEnableKind::kOther;
  const std::string enable_bytes = enable ? enable->bytes : std::string();
  const std::string server = ReadRegString(key.Get(), "ProxyServer").value_or("");
  const std::string override_text = ReadRegString(key.Get(), "ProxyOverride").value_or("");
  key.Reset();

  const SystemProxy answer = ParseSystemProxy(kind, enable_bytes, server, override_text, protocol);
  host = answer.host;
  port = answer.port;
  return answer.enabled;
}

}  // namespace parlix
