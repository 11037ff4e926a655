#include "support/registry_win.h"

namespace parlix::test {

namespace {

const char* ValueName(const std::string& name) { return name.empty() ? nullptr : name.c_str(); }

bool SetValue(HKEY root, const std::string& key, const std::string& name, DWORD type, const void* data, DWORD size) {
  HKEY opened = nullptr;
  if (RegCreateKeyExA(root, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &opened, nullptr) != ERROR_SUCCESS)
    return false;
  const LONG result = RegSetValueExA(opened, ValueName(name), 0, type, static_cast<const BYTE*>(data), size);
  RegCloseKey(opened);
  return result == ERROR_SUCCESS;
}

}  // namespace

std::optional<std::string> RegString(HKEY root, const std::string& key, const std::string& name) {
  char value[2048] = {};
  DWORD size = sizeof(value) - 1;
  if (RegGetValueA(root, key.c_str(), ValueName(name), RRF_RT_REG_SZ, nullptr, value, &size) != ERROR_SUCCESS)
    return std::nullopt;
  return std::string(value);
}

std::optional<DWORD> RegDword(HKEY root, const std::string& key, const std::string& name) {
  DWORD value = 0;
  DWORD size = sizeof(value);
  if (RegGetValueA(root, key.c_str(), ValueName(name), RRF_RT_REG_DWORD, nullptr, &value, &size) != ERROR_SUCCESS)
    return std::nullopt;
  return value;
}

bool SetRegString(HKEY root, const std::string& key, const std::string& name, const std::string& value) {
  return SetValue(root, key, name, REG_SZ, value.c_str(), static_cast<DWORD>(value.size() + 1));
}

bool SetRegDword(HKEY root, const std::string& key, const std::string& name, DWORD value) {
  return SetValue(root, key, name, REG_DWORD, &value, sizeof(value));
}

void DeleteRegValue(HKEY root, const std::string& key, const std::string& name) {
  HKEY opened = nullptr;
  if (RegOpenKeyExA(root, key.c_str(), 0, KEY_SET_VALUE, &opened) != ERROR_SUCCESS) return;
  RegDeleteValueA(opened, ValueName(name));
  RegCloseKey(opened);
}

void DeleteRegTree(HKEY root, const std::string& key) { RegDeleteTreeA(root, key.c_str()); }

bool RegKeyExists(HKEY root, const std::string& key) {
  HKEY opened = nullptr;
  if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS) return false;
  RegCloseKey(opened);
  return true;
}

DWORD RegValueCount(HKEY root, const std::string& key) {
  HKEY opened = nullptr;
  if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS) return 0;
  DWORD count = 0;
  RegQueryInfoKeyA(opened, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr,
                   nullptr);
  RegCloseKey(opened);
  return count;
}

std::string ShellFolder(const std::string& name) {
  std::string folder = RegString(HKEY_CURRENT_USER, kShellFoldersKey, name).value_or("");
  if (!folder.empty() && folder.back() != '\\') folder += '\\';
  return folder;
}

TSavedRegValue::TSavedRegValue(HKEY root, std::string key, std::string name)
    : root_(root), key_(std::move(key)), name_(std::move(name)), key_existed_(RegKeyExists(root_, key_)),
      value_(RegString(root_, key_, name_)) {}

TSavedRegValue::~TSavedRegValue() {
  if (!key_existed_)
    DeleteRegTree(root_, key_);
  else if (value_)
    SetRegString(root_, key_, name_, *value_);
  else
    DeleteRegValue(root_, key_, name_);
}

TSystemProxy::TSystemProxy(DWORD enable, const std::string& server) {
  SetRegDword(HKEY_CURRENT_USER, kInternetSettingsKey, "ProxyEnable", enable);
  SetRegString(HKEY_CURRENT_USER, kInternetSettingsKey, "ProxyServer", server);
}

TSystemProxy::~TSystemProxy() {
  DeleteRegValue(HKEY_CURRENT_USER, kInternetSettingsKey, "ProxyEnable");
  DeleteRegValue(HKEY_CURRENT_USER, kInternetSettingsKey, "ProxyServer");
}

}  // namespace parlix::test
