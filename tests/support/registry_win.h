// The registry of the test prefix, read and written the way a test needs it: a value or its
// absence, never an error code. A value name of "" is the key's default value.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

namespace parlix::test {

constexpr char kInternetSettingsKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
constexpr char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr char kShellFoldersKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

// A REG_SZ value; nullopt when the key, the value or that type is missing.
std::optional<std::string> RegString(HKEY root, const std::string& key, const std::string& name);
std::optional<DWORD> RegDword(HKEY root, const std::string& key, const std::string& name);
// Both make the key when it is missing.
bool SetRegString(HKEY root, const std::string& key, const std::string& name, const std::string& value);
bool SetRegDword(HKEY root, const std::string& key, const std::string& name, DWORD value);
void DeleteRegValue(HKEY root, const std::string& key, const std::string& name);
void DeleteRegTree(HKEY root, const std::string& key);
bool RegKeyExists(HKEY root, const std::string& key);
DWORD RegValueCount(HKEY root, const std::string& key);

// A folder of the user's "Shell Folders" key ("AppData", "Desktop", "Programs"), ending in '\'.
std::string ShellFolder(const std::string& name);

// Puts one value back as it was when this was made: the value, its absence, or the absence
// of its whole key, so a test leaves the shared prefix as it found it.
class TSavedRegValue {
 public:
  TSavedRegValue(HKEY root, std::string key, std::string name);
  ~TSavedRegValue();
  TSavedRegValue(const TSavedRegValue&) = delete;
  TSavedRegValue& operator=(const TSavedRegValue&) = delete;

 private:
  HKEY root_;
  std::string key_, name_;
  bool key_existed_;
  std::optional<std::string> value_;
};

// The system's proxy switch and server for as long as this lives; both removed after.
class TSystemProxy {
 public:
  TSystemProxy(DWORD enable, const std::string& server);
  ~TSystemProxy();
  TSystemProxy(const TSystemProxy&) = delete;
  TSystemProxy& operator=(const TSystemProxy&) = delete;
};

}  // namespace parlix::test
