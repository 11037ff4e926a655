#include "config/integration_win.h"

#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <stdexcept>
#include <vector>

#include "platform/app_host_win.h"
#include "platform/files_win.h"
#include "platform/registry_win.h"
#include "platform/shell_win.h"
#include "shared/code_cript.h"
#include "shared/literals.h"

namespace parlix {

namespace {

// The "ToolbarIcon" resource is a few kilobytes; anything larger is not ours.
constexpr DWORD kMaxToolbarIconBytes = 64 * 1024;

class TWinRegistry : public IIntegrationRegistry {
 public:
  bool KeyExists(TRegRoot root, const std::string& key) const override {
    return static_cast<bool>(OpenRegKey(root, key, KEY_READ));
  }
  bool ValueExists(TRegRoot root, const std::string& key, const std::string& name) const override {
    return RegValueExists(root, key, name);
  }
  std::optional<std::string> ReadString(TRegRoot root, const std::string& key, const std::string& name) const override {
    return ReadRegString(root, key, name);
  }
  bool WriteStrings(TRegRoot root, const std::string& key, const std::vector<TRegValue>& values, bool create) override {
    UniqueRegKey opened;
    if (create) {
      HKEY raw = nullptr;
      if (RegCreateKeyExA(RootKey(root), key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr, &raw,
                          nullptr) != ERROR_SUCCESS)
        return false;
      opened.Reset(raw);
    } else {
      opened = OpenRegKey(root, key, KEY_WRITE);
      if (!opened) return false;
    }
    for (const TRegValue& value : values) {
      if (RegSetValueExA(opened.Get(), value.name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.data.c_str()),
                         static_cast<DWORD>(value.data.size() + 1)) != ERROR_SUCCESS)
        return false;
    }
    return true;
  }
  bool DeleteValue(TRegRoot root, const std::string& key, const std::string& name) override {
    UniqueRegKey opened = OpenRegKey(root, key, KEY_WRITE | KEY_READ);
    if (!opened) return true;
    const LONG result = RegDeleteValueA(opened.Get(), name.c_str());
    return result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND;
  }
  bool DeleteTree(TRegRoot root, const std::string& key) override {
    std::string path = key;
    while (!path.empty() && path.back() == '\\') path.pop_back();
    if (path.empty()) return false;  // never the root itself
    const LONG result = RegDeleteTreeA(RootKey(root), path.c_str());
    if (result != ERROR_SUCCESS && result != ERROR_FILE_NOT_FOUND) return false;
    return !KeyExists(root, key);
  }
};

TWinRegistry& WinRegistry() {
  static TWinRegistry registry;
  return registry;
}

IIntegrationRegistry* replacement = nullptr;

std::wstring Widen(const std::string& text) {
  if (text.empty()) return L"";
  const int length = MultiByteToWideChar(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()), wide.data(), length);
  return wide;
}

std::string Narrow(const std::wstring& text) {
  if (text.empty()) return "";
  const int length =
      WideCharToMultiByte(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string narrow(static_cast<size_t>(length), '\0');
  WideCharToMultiByte(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()), narrow.data(), length, nullptr, nullptr);
  return narrow;
}

void ShowBox(HWND owner, const std::string& text, UINT icon) {
  MessageBoxA(owner, text.c_str(), AppHost().Title().c_str(), MB_OK | icon);
}

template <typename T>
struct ComRelease {
  T* p = nullptr;
  ~ComRelease() {
    if (p != nullptr) p->Release();
  }
};

struct ComApartment {
  HRESULT result = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  ~ComApartment() {
    if (SUCCEEDED(result)) CoUninitialize();
  }
};

// Writes the program's "ToolbarIcon" resource to `path` byte for byte.
bool WriteToolbarIcon(const std::string& path) {
  HMODULE module = GetModuleHandleA(nullptr);
  HRSRC found = FindResourceA(module, "ToolbarIcon", "BINARY");
  if (found == nullptr) return false;
  const DWORD size = SizeofResource(module, found);
  HGLOBAL loaded = LoadResource(module, found);
  const void* bytes = loaded != nullptr ? LockResource(loaded) : nullptr;
  if (bytes == nullptr || size == 0 || size > kMaxToolbarIconBytes) return false;
  UniqueFile file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  DWORD written = 0;
  const bool ok = WriteFile(file.Get(), bytes, size, &written, nullptr) && written == size;
  file.Reset();
  if (!ok) DeleteFileA(path.c_str());
  return ok;
}

}  // namespace

IIntegrationRegistry& IntegrationRegistry() {
  return replacement != nullptr ? *replacement : static_cast<IIntegrationRegistry&>(WinRegistry());
}

IIntegrationRegistry* SetIntegrationRegistry(IIntegrationRegistry* registry) {
  IIntegrationRegistry* previous = replacement;
  replacement = registry;
  return previous;
}

TShortcutResult CreateShortcut(const std::wstring& link_file, const std::string& target,
                               const std::string& working_folder, const std::string& arguments,
                               const std::string& description, const std::string& icon_file, int icon_index) {
  const std::string folder = FolderOf(Narrow(link_file));
  // The shell hears of the folder also when nothing could be written there.
  struct NotifyShell {
    const std::string& folder;
    ~NotifyShell() { SHChangeNotify(SHCNE_MKDIR, SHCNF_PATHA, folder.c_str(), nullptr); }
  } notify{folder};

  ComApartment apartment;
  ComRelease<IShellLinkA> link;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                              reinterpret_cast<void**>(&link.p))) ||
      link.p == nullptr)
    return TShortcutResult::kNoLinkObject;
  ComRelease<IPersistFile> file;
  if (FAILED(link.p->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file.p))) || file.p == nullptr)
    return TShortcutResult::kNoLinkObject;
  link.p->SetArguments(arguments.c_str());
  link.p->SetPath(target.c_str());
  link.p->SetWorkingDirectory(working_folder.c_str());
  link.p->SetDescription(description.c_str());
  link.p->SetIconLocation(icon_file.c_str(), icon_index);
  if (folder.empty() || !FolderExists(folder)) return TShortcutResult::kNoFolder;
  if (FAILED(file.p->Save(link_file.c_str(), FALSE))) return TShortcutResult::kSaveFailed;
  return TShortcutResult::kWritten;
}

std::string ProgramFileName() {
  std::vector<char> buffer(MAX_PATH);
  for (;;) {
    const DWORD length = GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return "";
    if (length < buffer.size()) return std::string(buffer.data(), length);
    if (buffer.size() >= 32768) return "";
    buffer.resize(buffer.size() * 2);
  }
}

std::string ShortcutPath(const std::string& folder_name) {
  const std::string folder = GetShellFolder(folder_name);
  return IsUsableShellFolder(folder) ? folder + kShortcutFileName : "";
}

bool ShortcutInstalled(const std::string& folder_name) {
  const std::string path = ShortcutPath(folder_name);
  return !path.empty() && FileExists(path);
}

bool SetShortcut(HWND owner, const std::string& folder_name, bool install) {
  const std::string path = ShortcutPath(folder_name);
  if (path.empty()) return false;
  const bool existed = FileExists(path);
  DeleteIfExists(path);
  if (existed && !install) {
    // The desktop shows the icon until the shell hears that it went.
    SHChangeNotify(SHCNE_DELETE, SHCNF_PATHA | SHCNF_FLUSHNOWAIT, path.c_str(), nullptr);
  }
  if (install) {
    const std::string program = ProgramFileName();
    const TShortcutResult result = CreateShortcut(Widen(path), program, FolderOf(program), "",
                                                  Unscramble(kProductTitleLit), program, 0);
    // A missing folder is not worth a message: the box simply stays clear.
    if (result == TShortcutResult::kNoLinkObject || result == TShortcutResult::kSaveFailed)
      ShowBox(owner, std::string(kShortcutFailedText) + "\r\n" + path, MB_ICONSTOP);
  }
  return FileExists(path);
}

bool BrowserButtonInstalled(const std::string& install_guid) {
  return !install_guid.empty() && IntegrationRegistry().KeyExists(TRegRoot::kLocalMachine, BrowserButtonKey(install_guid));
}

bool SetBrowserButton(HWND owner, const std::string& install_guid, bool install) {
  if (install_guid.empty()) return false;
  IIntegrationRegistry& registry = IntegrationRegistry();
  const std::string key = BrowserButtonKey(install_guid);
  const std::string data_folder = GetDataFolder();
  const std::string icon_file = data_folder.empty() ? "" : data_folder + kToolbarIconFileName;
  if (!install) {
    registry.DeleteTree(TRegRoot::kLocalMachine, key);
    DeleteIfExists(icon_file);
    return BrowserButtonInstalled(install_guid);
  }
  if (icon_file.empty() || !WriteToolbarIcon(icon_file)) {
    ShowBox(owner, kToolbarIconFailedText, MB_ICONSTOP);
    return BrowserButtonInstalled(install_guid);
  }
  const std::vector<TRegValue> values = BrowserButtonValues(Unscramble(kProductNameLit), Unscramble(kProductTitleLit),
                                                            ProgramFileName(), icon_file);
  if (!registry.WriteStrings(TRegRoot::kLocalMachine, key, values, true)) {
    // Half a button is no button: take back the key and the icon file.
    registry.DeleteTree(TRegRoot::kLocalMachine, key);
    DeleteFileA(icon_file.c_str());
    ShowBox(owner, kBrowserButtonRefusedText, MB_ICONSTOP);
    return BrowserButtonInstalled(install_guid);
  }
  ShowBox(owner, kBrowserButtonInfoText, MB_ICONINFORMATION);
  return BrowserButtonInstalled(install_guid);
}

// Whatever the value starts: with an installed and a portable copy on one machine, either
// copy's window shows the entry and can switch it off.
bool LaunchWithWindowsInstalled() {
  return IntegrationRegistry().ValueExists(TRegRoot::kCurrentUser, kRunKey, kRunValueName);
}

bool SetLaunchWithWindows(HWND owner, bool install) {
  IIntegrationRegistry& registry = IntegrationRegistry();
  const bool exists = LaunchWithWindowsInstalled();
  if (install && !exists) {
    if (!registry.WriteStrings(TRegRoot::kCurrentUser, kRunKey, {{kRunValueName, RunValueData(ProgramFileName())}},
                               false))
      ShowBox(owner, std::string("Failed to set data for '") + kRunValueName + "'", MB_ICONSTOP);
  } else if (!install && exists) {
    if (!registry.DeleteValue(TRegRoot::kCurrentUser, kRunKey, kRunValueName))
      ShowBox(owner, std::string("Failed to delete '") + kRunValueName + "'", MB_ICONSTOP);
  }
  return LaunchWithWindowsInstalled();
}

}  // namespace parlix
