// The rules of the four desktop integrations (shortcuts, browser button, autostart) that
// need no Windows header: the registry through a small interface, the texts written there.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/registry.h"

namespace parlix {

struct TRegValue {
  std::string name;
  std::string data;
};

// The registry as the integrations use it. The Windows implementation is the real
// registry; tests put a refusing or recording one in front of it.
class IIntegrationRegistry {
 public:
  virtual ~IIntegrationRegistry() = default;
  virtual bool KeyExists(TRegRoot root, const std::string& key) const = 0;
  virtual bool ValueExists(TRegRoot root, const std::string& key, const std::string& name) const = 0;
  // nullopt when the key or the value is missing or the value is not a string.
  virtual std::optional<std::string> ReadString(TRegRoot root, const std::string& key,
                                                const std::string& name) const = 0;
  // Opens the key (creating it when `create`) and writes the values in the given order as
  // strings; false at the first refusal (the values before it stay written).
  virtual bool WriteStrings(TRegRoot root, const std::string& key, const std::vector<TRegValue>& values,
                            bool create) = 0;
  // True when the value is gone afterwards (also when it was never there).
  virtual bool DeleteValue(TRegRoot root, const std::string& key, const std::string& name) = 0;
  // The key with everything under it; true when it is gone afterwards.
  virtual bool DeleteTree(TRegRoot root, const std::string& key) = 0;
};

inline constexpr char kShortcutFileName[] = "Parlix.lnk";
inline constexpr char kDesktopFolderName[] = "Desktop";
inline constexpr char kProgramsFolderName[] = "Programs";
inline constexpr char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr char kRunValueName[] = "Parlix Desk";
inline constexpr char kToolbarIconFileName[] = "ToolbarIcon.ico";
// The browser's class identifier for a toolbar button that starts a program.
inline constexpr char kToolbarButtonClsid[] = "{1FBA04EE-3024-11d2-8F1F-0000F87ABD16}";

// The autostart command: the program's file name quoted (a path with blanks left bare would
// let Windows try "C:\Program.exe" first), then the switch that sends it to the tray.
std::string RunValueData(const std::string& program_file);

// Whether a command line starts this program: its file name, quoted or bare, compared
// without regard to case, followed by nothing or a blank.
bool NamesProgram(const std::string& command, const std::string& program_file);

// The browser-button key under HKEY_LOCAL_MACHINE for an installation GUID.
std::string BrowserButtonKey(const std::string& install_guid);

// The eight values of the browser-button key, in the order they are written.
std::vector<TRegValue> BrowserButtonValues(const std::string& product_name, const std::string& product_title,
                                           const std::string& program_file, const std::string& icon_file);

// A shell folder as GetShellFolder reports it is usable only when it names a folder: an
// empty answer (no such value) comes back as a bare delimiter.
bool IsUsableShellFolder(const std::string& folder);

// The folder part of a file name, with its trailing delimiter ("C:\A\b.exe" -> "C:\A\").
std::string FolderOf(const std::string& file_name);

}  // namespace parlix
