// What the configuration window's proxy controls show, and the rules that fill them: the
// order of filling, the Autodetect toggle and the copy back into the settings.
#pragma once

#include <functional>

#include "net/proxy_settings.h"
#include "shared/globals.h"

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

}  // namespace parlix
