#include "app/settings.h"

#include <charconv>

#include "shared/code_cript.h"
#include "shared/literals.h"

namespace parlix {

namespace {

std::string ProductSection() { return Unscramble(kProductNameLit); }

const char* BoolText(bool value) { return value ? "1" : "0"; }

bool ParseDecimal(const std::string& text, int& value) {
  const char* first = text.data();
  const char* last = text.data() + text.size();
  if (first != last && *first == '+') ++first;
  if (first == last) return false;
  const auto [end, error] = std::from_chars(first, last, value);
  return error == std::errc() && end == last;
}

}  // namespace

int ReadInteger(const IProfileFile& file, const std::string& section, const std::string& key, int fallback) {
  int value = 0;
  return ParseDecimal(file.ReadString(section, key, ""), value) ? value : fallback;
}

bool ReadBool(const IProfileFile& file, const std::string& section, const std::string& key, bool fallback) {
  return ReadInteger(file, section, key, fallback ? 1 : 0) != 0;
}

TSettingsValues LoadSettings(const IProfileFile& file, const ProxyDetector& detect,
                             const TProxySettings& proxy_defaults) {
  const std::string product = ProductSection();
  TSettingsValues values;
  values.version = file.ReadString(product, "Version", "");
  values.guid = file.ReadString(product, "GUID", "");

  // Every use indexes the 12-entry pair table with it, so a stored value outside the
  // table falls back to the default rather than being taken over.
  const int last = ReadInteger(file, "Language", "Last", kDefaultPair);
  values.current_pair = IsValidPair(last) ? last : kDefaultPair;

  values.proxy = proxy_defaults;
  values.proxy.Autodetect = ReadBool(file, "Proxy", "Autodetect", true);
  if (values.proxy.Autodetect) {
    const TDetectedProxy detected = detect ? detect() : TDetectedProxy{};
    values.proxy.Address = detected.host;
    values.proxy.Port = detected.port;
    values.proxy.Enabled = detected.enabled && !detected.host.empty() && !detected.port.empty();
  } else {
    values.proxy.Enabled = ReadBool(file, "Proxy", "Enabled", false);
    values.proxy.Address = file.ReadString("Proxy", "Address", "");
    values.proxy.Port = file.ReadString("Proxy", "Port", "");
    values.proxy.Authenticate = ReadBool(file, "Proxy", "Authenticate", false);
    values.proxy.Username = file.ReadString("Proxy", "Username", "");
    values.proxy.Password = file.ReadString("Proxy", "Password", "");
  }

  // A file from before engines were chosen (or one that lost its keys) keeps the page
  // service it was made with; a first run, with no file at all, gets Apertium's public
  // server, so a new user has real translations at once.
  const std::optional<EngineKind> kind = EngineKindFromName(file.ReadString("Engine", "Kind", ""));
  values.engine.kind = kind.value_or(file.Exists() ? EngineKind::kPage : EngineKind::kApertium);
  values.engine.address = file.ReadString("Engine", "Address", "");
  values.engine.key = file.ReadString("Engine", "Key", "").substr(0, kMaxEngineFieldLength);
  if (values.engine.kind != EngineKind::kPage && !IsEngineAddress(values.engine.address)) {
    // No address the program could ask: Apertium's public server answers both kinds' users.
    values.engine.kind = EngineKind::kApertium;
    values.engine.address = kApertiumPublicAddress;
  }

  values.ontop = ReadBool(file, "Miscellaneous", "Ontop", false);
  values.monitor_clp = ReadBool(file, "Miscellaneous", "MonitorClp", false);
  values.date_shown = file.ReadString("Popups", "DateShown", "");
  return values;
}

bool IsFirstRun(const TSettingsValues& values) { return values.version.empty(); }

bool NeedsRenewal(const TSettingsValues& values) {
  return values.version != kBuildVersion || values.guid.empty();
}

void SaveSettings(IProfileFile& file, const TSettingsValues& values) {
  const std::string product = ProductSection();
  file.WriteString(product, "Version", kBuildVersion);
  file.WriteString(product, "GUID", values.guid);
  file.WriteString("Language", "Last", std::to_string(values.current_pair));
  file.WriteString("Proxy", "Autodetect", BoolText(values.proxy.Autodetect));
  file.WriteString("Proxy", "Enabled", BoolText(values.proxy.Enabled));
  file.WriteString("Proxy", "Address", values.proxy.Address);
  file.WriteString("Proxy", "Port", values.proxy.Port);
  file.WriteString("Proxy", "Authenticate", BoolText(values.proxy.Authenticate));
  file.WriteString("Proxy", "Username", values.proxy.Username);
  file.WriteString("Proxy", "Password", values.proxy.Password);
  file.WriteString("Miscellaneous", "Ontop", BoolText(values.ontop));
  file.WriteString("Miscellaneous", "MonitorClp", BoolText(values.monitor_clp));
  file.WriteString("Popups", "DateShown", values.date_shown);
  file.WriteString("Engine", "Kind", std::string(EngineKindName(values.engine.kind)));
  file.WriteString("Engine", "Address", values.engine.address);
  file.WriteString("Engine", "Key", values.engine.key);
}

}  // namespace parlix
