// Reading and writing the settings file, and the rule that renews it.
#pragma once

#include <functional>
#include <string>

#include "net/proxy_settings.h"
#include "platform/profile_file.h"
#include "shared/globals.h"
#include "translate/engine.h"
#include "translate/language_pairs.h"

namespace parlix {

// What the settings file holds, in memory.
struct TSettingsValues {
  std::string version;  // as read; only the renewal rule looks at it
  std::string guid;
  int current_pair = 1;
  TProxySettings proxy;
  TEngineSettings engine;
  bool ontop = false;
  bool monitor_clp = false;
  std::string date_shown;
};


// Integer keys: a value that is not a decimal number reads as the fallback.
int ReadInteger(const IProfileFile& file, const std::string& section, const std::string& key, int fallback);
// Booleans: any integer other than 0 is true.
bool ReadBool(const IProfileFile& file, const std::string& section, const std::string& key, bool fallback);

// Reads every key. With Autodetect on, the proxy comes from `detect` and the stored proxy keys
// are not read; Authenticate, Username and Password then stay as `proxy_defaults` has them.
TSettingsValues LoadSettings(const IProfileFile& file, const ProxyDetector& detect,
                             const TProxySettings& proxy_defaults);

// A missing or different Version, or a missing GUID, renews the file.
bool IsFirstRun(const TSettingsValues& values);
bool NeedsRenewal(const TSettingsValues& values);

// Writes every key in the file's fixed order. Throws EIniFileException on a refused write.
void SaveSettings(IProfileFile& file, const TSettingsValues& values);

}  // namespace parlix
