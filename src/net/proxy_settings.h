// The proxy a request goes through, as the settings file and the configuration window
// hold it.
#pragma once

#include <functional>
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

// The system proxy as DetectSystemProxy reports it.
struct TDetectedProxy {
  bool enabled = false;  // the system's switch
  std::string host;
  std::string port;
};
using ProxyDetector = std::function<TDetectedProxy()>;

// The program's current proxy (GUI thread only): each worker gets its own copy when it is
// created, so a change in the configuration window never reaches a running request.
inline TProxySettings ProxySettings;

}  // namespace parlix
