// Process-wide values shared by the program's windows (GUI thread only).
#pragma once

#include <string>

namespace parlix {

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
inline TServiceInfo ServiceInfo;
inline TOpenWindowFlags OpenWindowFlags;

// The program's own build number, written as the settings file's Version.
inline constexpr char kBuildVersion[] = "025000";

}  // namespace parlix
