#include "config/system_proxy_win.h"

#include <windows.h>

#include <vector>

#include "config/proxy_string.h"
#include "platform/handles_win.h"

namespace parlix {

namespace {

constexpr char kInternetSettingsKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";

bool QueryValue(HKEY key, const char* name, DWORD& type, std::vector<unsigned char>& data) {
  DWORD size = 0;
  if (RegQueryValueExA(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return false;
  data.assign(size, 0);
  if (size == 0) return true;
  if (RegQueryValueExA(key, name, nullptr, &type, data.data(), &size) != ERROR_SUCCESS) return false;
  data.resize(size);
  return true;
}

std::string QueryString(HKEY key, const char* name) {
  DWORD type = 0;
  std::vector<unsigned char> data;
  if (!QueryValue(key, name, type, data) || (type != REG_SZ && type != REG_EXPAND_SZ)) return "";
  std::string text(data.begin(), data.end());
  return std::string(text.c_str());  // up to the terminating NUL
}

}  // namespace

bool DetectSystemProxy(const std::string& protocol, std::string& host, std::string& port) {
  host.clear();
  port.clear();
  HKEY raw = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kInternetSettingsKey, 0, KEY_READ, &raw) != ERROR_SUCCESS) return false;
  UniqueRegKey key(raw);

  ProxyEnableKind kind = ProxyEnableKind::kMissing;
  DWORD type = 0;
  std::vector<unsigned char> data;
  if (QueryValue(key.Get(), "ProxyEnable", type, data))
    kind = type == REG_DWORD ? ProxyEnableKind::kDword : type == REG_BINARY ? ProxyEnableKind::kBinary
                                                                            : ProxyEnableKind::kOther;
  const std::string enable_bytes(data.begin(), data.end());
  const std::string server = QueryString(key.Get(), "ProxyServer");
  const std::string override_text = QueryString(key.Get(), "ProxyOverride");
  key.Reset();

  const SystemProxy answer = ParseSystemProxy(kind, enable_bytes, server, override_text, protocol);
  host = answer.host;
  port = answer.port;
  return answer.enabled;
}

}  // namespace parlix
