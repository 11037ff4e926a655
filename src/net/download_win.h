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

// Limits on a peer's silence. A person waits about a minute for a translation, so the two
// together stay near that; both are far above what any answering server needs.
struct TDownloadLimits {
  // From the start of a connection (name lookup included) until it is reported connected.
  std::uint64_t connect_ms = 30'000;
  // Between two signs of progress once connected: a header line, a piece of the document,
  // a piece of the request sent.
  std::uint64_t silence_ms = 30'000;
};

// The client's code of a download given up because a limit above passed (Windows
// Sockets' own number for a timed-out connection).
inline constexpr std::uint16_t kDownloadErrTimedOut = 10060;

enum class TDownloadTransport {
  kAnswered,    // the request ended normally with an answer whose status is in `status`
  kNotStarted,  // the request could not even be started
  kFailed,      // the connection or the answer failed or fell silent; `error` holds the client's code
  kStopped,     // the caller asked to stop
};

struct TDownloadOutcome {
  TDownloadTransport transport = TDownloadTransport::kNotStarted;
  std::uint16_t error = 0;
  int status = 0;
  std::int64_t size = -1;  // of the target file once closed; -1 when there is none
};

// Runs the job; `stop_requested` and the limits on silence are looked at whenever a message
// has been handled and at least every 10 ms. PARLIX_TEST_NET_LIMITS="CONNECT_MS,SILENCE_MS"
// in the environment lowers the limits, for tests only. The target file is closed when this returns, and left in place
// whatever the outcome: the caller decides whether it is kept.
TDownloadOutcome RunDownload(const TDownloadJob& job, const std::function<bool()>& stop_requested);

}  // namespace parlix
