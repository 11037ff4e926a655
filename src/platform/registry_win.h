// The registry, read one way: every key through UniqueRegKey, every value bounded in size.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "platform/handles_win.h"
#include "platform/registry.h"

namespace parlix {

// Anything the program reads from the registry is a flag, a file name, a command line or a
// proxy list; a longer value is not one it could use.
inline constexpr DWORD kMaxRegistryValueBytes = 32 * 1024;

HKEY RootKey(TRegRoot root);
// A null key when it is missing or refused.
UniqueRegKey OpenRegKey(HKEY parent, const std::string& key, REGSAM access = KEY_READ);
UniqueRegKey OpenRegKey(TRegRoot root, const std::string& key, REGSAM access = KEY_READ);

struct TRegData {
  DWORD type = REG_NONE;
  std::string bytes;
};
// The value `name` ("" reads the key's default value); nullopt when it is missing or longer
// than kMaxRegistryValueBytes.
std::optional<TRegData> ReadRegValue(HKEY key, const std::string& name);
// A string value (REG_SZ, or REG_EXPAND_SZ left unexpanded) up to its first NUL, whether or
// not the stored size counts a terminator; nullopt when it is missing, not a string or too long.
std::optional<std::string> ReadRegString(HKEY key, const std::string& name);
std::optional<std::string> ReadRegString(TRegRoot root, const std::string& key, const std::string& name);
// Whether the key has the value, of any type and size.
bool RegValueExists(TRegRoot root, const std::string& key, const std::string& name);

}  // namespace parlix
