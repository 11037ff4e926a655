#include "platform/registry_win.h"

namespace parlix {

HKEY RootKey(TRegRoot root) {
  switch (root) {
    case TRegRoot::kLocalMachine: return HKEY_LOCAL_MACHINE;
    case TRegRoot::kClassesRoot: return HKEY_CLASSES_ROOT;
    case TRegRoot::kCurrentUser: break;
  }
  return HKEY_CURRENT_USER;
}

UniqueRegKey OpenRegKey(HKEY parent, const std::string& key, REGSAM access) {
  HKEY raw = nullptr;
  if (RegOpenKeyExA(parent, key.c_str(), 0, access, &raw) != ERROR_SUCCESS) return UniqueRegKey();
  return UniqueRegKey(raw);
}

UniqueRegKey OpenRegKey(TRegRoot root, const std::string& key, REGSAM access) {
  return OpenRegKey(RootKey(root), key, access);
}

std::optional<TRegData> ReadRegValue(HKEY key, const std::string& name) {
  const char* value_name = name.empty() ? nullptr : name.c_str();
  TRegData data;
  DWORD size = 0;
  if (RegQueryValueExA(key, value_name, nullptr, &data.type, nullptr, &size) != ERROR_SUCCESS) return std::nullopt;
  if (size > kMaxRegistryValueBytes) return std::nullopt;
  data.bytes.assign(size, '\0');
  // The value may have grown between the two calls: then it is read as missing, not cut.
  if (size > 0 && RegQueryValueExA(key, value_name, nullptr, &data.type, reinterpret_cast<BYTE*>(data.bytes.data()),
                                   &size) != ERROR_SUCCESS)
    return std::nullopt;
  data.bytes.resize(size);
  return data;
}

std::optional<std::string> ReadRegString(HKEY key, const std::string& name) {
  std::optional<TRegData> data = ReadRegValue(key, name);
  if (!data || (data->type != REG_SZ && data->type != REG_EXPAND_SZ)) return std::nullopt;
  const std::size_t nul = data->bytes.find('\0');
  if (nul != std::string::npos) data->bytes.resize(nul);
  return std::move(data->bytes);
}

std::optional<std::string> ReadRegString(TRegRoot root, const std::string& key, const std::string& name) {
  UniqueRegKey opened = OpenRegKey(root, key);
  if (!opened) return std::nullopt;
  return ReadRegString(opened.Get(), name);
}

bool RegValueExists(TRegRoot root, const std::string& key, const std::string& name) {
  UniqueRegKey opened = OpenRegKey(root, key);
  return opened && RegQueryValueExA(opened.Get(), name.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

}  // namespace parlix
