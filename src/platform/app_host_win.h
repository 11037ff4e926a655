// What the windows and workers below the application need of it: its title for boxes,
// a turn of its message loop, and its standard error report. The application hands
// itself over at start; until then (and in tests that run a window alone) a plain host
// with the same behaviour stands in.
#pragma once

#include <exception>
#include <string>

namespace parlix {

class IAppHost {
 public:
  virtual ~IAppHost() = default;
  virtual const std::string& Title() const = 0;
  // Handles every message already queued for this thread, then returns.
  virtual void ProcessMessages() = 0;
  // The standard error report: a stop box with the error's text under the title.
  virtual void ShowException(const std::exception& error) = 0;
};

// The host in use; never null.
IAppHost& AppHost();
// `host` must outlive its use; nullptr goes back to the plain host.
void SetAppHost(IAppHost* host);

}  // namespace parlix
