// What the configuration window's proxy controls show, and the rules that fill them: the
// order of filling, the Autodetect toggle and the copy back into the settings.
#pragma once

#include <functional>

#include <optional>

#include "net/proxy_settings.h"
#include "shared/globals.h"
#include "translate/engine.h"

namespace parlix {

// The seven proxy controls' values, and whether the six below Autodetect are enabled.
struct TProxyControls {
  bool autodetect = false;
  bool use_proxy = false;
  std::string address;
  std::string port;
  bool authenticate = false;
  std::string username;
  std::string password;
  bool details_enabled = true;
};

// The Autodetect box changed to `ticked`: the six controls are enabled when it is clear;
// ticked, the use-proxy box, address and port come from a fresh detection; clear, all six
// come back from the stored settings.
void AutodetectToggled(TProxyControls& controls, bool ticked, const TProxySettings& stored,
                       const ProxyDetector& detect);

// The window's filling order: the Autodetect box first, whose change runs the toggle once
// (so a detection runs and the details are disabled), then the six values from the stored
// settings, which overwrite what the detection put there.
TProxyControls FillProxyControls(const TProxySettings& stored, const ProxyDetector& detect);

// The settings the controls stand for, as typed (neither trimmed nor checked).
TProxySettings ProxySettingsFrom(const TProxyControls& controls);

// The "Translation engine" group: the engine chosen, its address and key, and which of
// the two fields mean anything for it.
struct TEngineControls {
  EngineKind kind = EngineKind::kPage;
  std::string address;
  std::string key;
  bool address_enabled = false;
  bool key_enabled = false;
};

TEngineControls FillEngineControls(const TEngineSettings& stored);

// Another engine was chosen: Apertium with no address gets its public server; the fields
// that engine does not use are disabled (their text stays, so choosing back loses nothing).
void EngineKindChosen(TEngineControls& controls, EngineKind kind);

// The settings the controls stand for, trimmed; nullopt when the address is not plainly a
// web address (an empty one is refused too, except for the page service, which has its own).
std::optional<TEngineSettings> EngineSettingsFrom(const TEngineControls& controls);

}  // namespace parlix
