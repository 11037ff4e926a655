// One HTTP download run on the calling thread, the way both workers make their requests:
// the proxy set up from the settings, the answer written to a file, and the thread's
// messages pumped until the request has ended or the caller asks to stop.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "net/proxy_settings.h"

namespace parlix {

struct TDownloadJob {
  std::string url;
  std::optional<std::string> post_body;  // POST with this body; GET without
  std::string referer;
  std::string target_file;  // made anew by every answer, so a refused attempt leaves nothing in it
  TProxySettings proxy;
  std::int64_t max_size = 0;  // a larger document ends the request as failed
};

enum class TDownloadTransport {
  kAnswered,    // the request ended normally with an answer whose status is in `status`
  kNotStarted,  // the request could not even be started
  kFailed,      // the connection or the answer failed; `error` holds the client's code
  kStopped,     // the caller asked to stop
};

struct TDownloadOutcome {
  TDownloadTransport transport = TDownloadTransport::kNotStarted;
  std::uint16_t error = 0;
  int status = 0;
  std::int64_t size = -1;  // of the target file once closed; -1 when there is none
};

// Runs the job; `stop_requested` is looked at whenever a message has been handled and at
// least every 10 ms. The target file is closed when this returns, and left in place
// whatever the outcome: the caller decides whether it is kept.
TDownloadOutcome RunDownload(const TDownloadJob& job, const std::function<bool()>& stop_requested);

}  // namespace parlix
