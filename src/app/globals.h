// Process-wide values shared by the program's windows and workers (GUI thread only,
// except that each worker gets its own copy of ProxySettings when it is created).
#pragma once

#include <string>

namespace parlix {

struct TProxySettings {
  bool Autodetect = true;
  bool Enabled = false;
  bool Authenticate = false;
  std::string Address;
  std::string Port;  // kept as text, as the settings file and the configuration window hold it
  std::string Username;
  std::string Password;
};

// Everything the service file can change, with the built-in defaults.
struct TServiceInfo {
  std::string DonateUrl;  // a format template with three text arguments
  std::string HomeUrl;
  std::string HomeEmail;
  std::string PopupMsg;
  std::string PopupUrl;
  std::string AdvCaption;
  std::string AdvText;
  int AdvColor = 0x4B4B4B;  // 0x00BBGGRR
  std::string AdvUrl;
  std::string UpdatePrompt;
  std::string UpdateUrl;
  std::string ProdUrl;
  std::string DateShown;
  bool ClosedVersion = false;
};

TServiceInfo DefaultServiceInfo();

struct TOpenWindowFlags {
  bool AboutOpen = false;
  bool ConfigOpen = false;
  bool ResultOpen = false;
  bool LanguagesOpen = false;
};

inline std::string SettingsPath;
inline std::string TempPath;  // always ends with a path delimiter
inline std::string InstallGuid;
inline TProxySettings ProxySettings;
inline TServiceInfo ServiceInfo;
inline TOpenWindowFlags OpenWindowFlags;

// The program's own build number, written as the settings file's Version.
inline constexpr char kBuildVersion[] = "025000";

}  // namespace parlix
