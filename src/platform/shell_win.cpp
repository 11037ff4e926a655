#include "platform/shell_win.h"

#include <windows.h>
#include <objbase.h>

#include "platform/files_win.h"
#include "platform/handles_win.h"
#include "platform/registry_win.h"
#include "shared/code_cript.h"
#include "shared/literals.h"

namespace parlix {

namespace {

std::string WithDelimiter(std::string path) {
  if (path.empty() || path.back() != '\\') path += '\\';
  return path;
}

bool EnsureFolder(const std::string& path) {
  if (PathExists(path)) return FolderExists(path);
  return CreateDirectoryA(path.c_str(), nullptr) != FALSE;
}

}  // namespace

std::string GetShellFolder(const std::string& name) {
  UniqueRegKey explorer = OpenRegKey(TRegRoot::kCurrentUser, "Software\\MicroSoft\\Windows\\CurrentVersion\\Explorer");
  if (!explorer) return "";
  std::string value;
  if (UniqueRegKey folders = OpenRegKey(explorer.Get(), "Shell Folders"))
    value = ReadRegString(folders.Get(), name).value_or("");
  // A missing value still gets its delimiter: the data folder then lands under the drive root.
  return WithDelimiter(value);
}

std::string GetDataFolder() {
  std::string folder = GetShellFolder("AppData");
  if (folder.empty()) return "";
  folder += Unscramble(kMakerFolderLit);
  if (!EnsureFolder(folder)) return "";
  folder += '\\';
  folder += Unscramble(kProductNameLit);
  if (!EnsureFolder(folder)) return "";
  folder += '\\';
  return folder;
}

std::string NewGuidText() {
  GUID guid{};
  if (FAILED(CoCreateGuid(&guid))) return "";
  LPOLESTR wide = nullptr;
  if (FAILED(StringFromCLSID(guid, &wide)) || wide == nullptr) return "";
  std::string text;
  for (const wchar_t* p = wide; *p != 0; ++p) text.push_back(static_cast<char>(*p));  // hex, braces, hyphens only
  CoTaskMemFree(wide);
  return text;
}

std::string GetTempFolder() {
  char buffer[MAX_PATH + 1] = {};
  const DWORD length = GetTempPathA(MAX_PATH, buffer);
  return WithDelimiter(std::string(buffer, length > MAX_PATH ? 0 : length));
}

}  // namespace parlix
