#include "config/config_values.h"

namespace parlix {

namespace {

void ShowStored(TProxyControls& controls, const TProxySettings& stored) {
  controls.use_proxy = stored.Enabled;
  controls.address = stored.Address;
  controls.port = stored.Port;
  controls.authenticate = stored.Authenticate;
  controls.username = stored.Username;
  controls.password = stored.Password;
}

}  // namespace

void AutodetectToggled(TProxyControls& controls, bool ticked, const TProxySettings& stored,
                       const ProxyDetector& detect) {
  controls.autodetect = ticked;
  controls.details_enabled = !ticked;
  if (!ticked) {
    ShowStored(controls, stored);
    return;
  }
  const TDetectedProxy detected = detect ? detect() : TDetectedProxy{};
  controls.use_proxy = detected.enabled && !detected.host.empty() && !detected.port.empty();
  controls.address = detected.host;
  controls.port = detected.port;
}

TProxyControls FillProxyControls(const TProxySettings& stored, const ProxyDetector& detect) {
  TProxyControls controls;
  // The box starts clear, so only ticking it is a change that runs the toggle.
  if (stored.Autodetect) AutodetectToggled(controls, true, stored, detect);
  ShowStored(controls, stored);
  return controls;
}

TProxySettings ProxySettingsFrom(const TProxyControls& controls) {
  TProxySettings settings;
  settings.Autodetect = controls.autodetect;
  settings.Enabled = controls.use_proxy;
  settings.Address = controls.address;
  settings.Port = controls.port;
  settings.Authenticate = controls.authenticate;
  settings.Username = controls.username;
  settings.Password = controls.password;
  return settings;
}

TEngineControls FillEngineControls(const TEngineSettings& stored) {
  TEngineControls controls;
  controls.address = stored.address;
  controls.key = stored.key;
  EngineKindChosen(controls, stored.kind);
  return controls;
}

void EngineKindChosen(TEngineControls& controls, EngineKind kind) {
  controls.kind = kind;
  if (kind == EngineKind::kApertium && controls.address.empty()) controls.address = kApertiumPublicAddress;
  controls.address_enabled = kind != EngineKind::kPage;
  controls.key_enabled = kind == EngineKind::kLibreTranslate;
}

std::optional<TEngineSettings> EngineSettingsFrom(const TEngineControls& controls) {
  auto trim = [](const std::string& s) {
    const size_t first = s.find_first_not_of(" \t");
    return first == std::string::npos ? std::string() : s.substr(first, s.find_last_not_of(" \t") - first + 1);
  };
  TEngineSettings settings{controls.kind, trim(controls.address), trim(controls.key)};
  const bool needs_address = settings.kind != EngineKind::kPage || !settings.address.empty();
  if (needs_address && !IsEngineAddress(settings.address)) return std::nullopt;
  if (settings.key.size() > kMaxEngineFieldLength) return std::nullopt;
  return settings;
}

}  // namespace parlix
