#include "net/download_win.h"

#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <memory>

#include "net/http_cli_win.h"
#include "net/http_stream.h"
#include "platform/files_win.h"
#include "platform/stage_clock.h"
#include "platform/thread_win.h"
#include "shared/code_cript.h"
#include "shared/literals.h"

namespace parlix {

namespace {

constexpr DWORD kLoopLimitMs = 10;

// Tests set the limits lower through PARLIX_TEST_NET_LIMITS="CONNECT_MS,SILENCE_MS"; a
// value can only shorten a limit, never lengthen it or switch it off.
constexpr char kLimitsVariable[] = "PARLIX_TEST_NET_LIMITS";
constexpr std::uint64_t kLowestLimitMs = 100;

std::uint64_t Lowered(const char* text, std::uint64_t limit) {
  char* end = nullptr;
  const unsigned long long value = std::strtoull(text, &end, 10);
  if (end == text || value < kLowestLimitMs || value > limit) return limit;
  return value;
}

TDownloadLimits LimitsInEffect() {
  TDownloadLimits limits;
  char text[64] = {};
  const DWORD n = GetEnvironmentVariableA(kLimitsVariable, text, sizeof text);
  if (n == 0 || n >= sizeof text) return limits;
  limits.connect_ms = Lowered(text, limits.connect_ms);
  if (const char* comma = std::strchr(text, ',')) limits.silence_ms = Lowered(comma + 1, limits.silence_ms);
  return limits;
}

// The request's state between the client's events and the loop that waits for them.
class TDownload {
 public:
  explicit TDownload(const TDownloadJob& job) : job_(job), limits_(LimitsInEffect()) {}

  TDownloadOutcome Run(const std::function<bool()>& stop_requested) {
    {
      THttpCli client;
      Configure(client);
      // Set first: a request can end inside its own start.
      running_ = true;
      connecting_ = true;
      phase_start_ = last_activity_ = GetTickCount64();
      try {
        if (job_.post_body) {
          client.StartPost();
        } else {
          client.StartGet();
        }
      } catch (const std::exception&) {
        // Nothing was started, so nothing will ever end it: waiting would keep the
        // worker alive until the user cancels or the program closes.
        running_ = false;
        outcome_.transport = TDownloadTransport::kNotStarted;
      }
      while (running_) {
        TThread::WaitForMessages(kLoopLimitMs);
        PumpThreadMessages();
        if (stop_requested()) {
          if (running_) client.Abort();
          running_ = false;
          outcome_.transport = TDownloadTransport::kStopped;
        } else if (running_ && LimitPassed()) {
          stage_clock::Mark("time limit passed");
          client.Abort();
          running_ = false;
          outcome_.transport = TDownloadTransport::kFailed;
          outcome_.error = kDownloadErrTimedOut;
        }
      }
      // The streams go before the client: nothing may write into a freed stream.
      client.SetDocStream(nullptr);
      client.SetPostStream(nullptr);
      doc_stream_.reset();
      post_stream_.reset();
    }
    outcome_.size = FileSizeOf(job_.target_file);
    return outcome_;
  }

 private:
  // A peer that accepts and then says nothing would hold the worker until the user
  // cancels, and the service worker, which has no cancel, until the program ends.
  bool LimitPassed() const {
    const std::uint64_t now = GetTickCount64();
    if (connecting_) return now - phase_start_ >= limits_.connect_ms;
    return now - last_activity_ >= limits_.silence_ms;
  }

  void Progress() { last_activity_ = GetTickCount64(); }

  void StateChanged(HttpClientCore& client) {
    Progress();
    // Every new connection (a relocation elsewhere, a proxy's new attempt after its 407)
    // has the whole connect limit again, its name lookup included.
    if (client.State() == ClientState::kDnsLookup) {
      connecting_ = true;
      phase_start_ = last_activity_;
    }
  }

  void Configure(THttpCli& client) {
    // Autodetect is not looked at: detection has already filled the other fields.
    const TProxySettings& proxy = job_.proxy;
    client.SetProxy(proxy.Enabled ? proxy.Address : "");
    client.SetProxyPort(proxy.Enabled ? proxy.Port : "");
    client.SetProxyUsername(proxy.Enabled && proxy.Authenticate ? proxy.Username : "");
    client.SetProxyPassword(proxy.Enabled && proxy.Authenticate ? proxy.Password : "");
    client.SetURL(job_.url);
    client.SetMaxDocSize(job_.max_size);
    client.SetAgent(Unscramble(kUserAgentLit));
    client.SetReference(job_.referer);
    client.SetSender(Unscramble(kProductNameLit));
    client.SetUsername("");
    client.SetPassword("");
    client.SetModifiedSince(0);
    client.SetMultiThreaded(true);
    client.SetDocStream(nullptr);
    if (job_.post_body) {
      // The body stays with the client until the request is done: a refused answer (a
      // proxy's 407) ends its document too, and the next attempt posts the body again.
      post_stream_ = std::make_unique<HttpMemoryStream>(*job_.post_body);
      client.SetPostStream(post_stream_.get());
    }
    // Whether the status at the end is a server's: every attempt and relocation starts
    // without an answer.
    client.OnStateChange = [this](HttpClientCore& sender) { StateChanged(sender); };
    // Connected is reported only once the connection can carry the request, so anything
    // the connection needs first (a handshake) counts against the connect limit.
    client.OnSessionConnected = [this](HttpClientCore&) {
      connecting_ = false;
      Progress();
    };
    client.OnHeaderData = [this](HttpClientCore&) { Progress(); };
    client.OnDocData = [this](HttpClientCore&, const char*, size_t) { Progress(); };
    client.OnSendData = [this](HttpClientCore&, const char*, size_t) { Progress(); };
    client.OnRequestHeaderBegin = [this](HttpClientCore&) { answered_ = false; };
    client.OnLocationChange = [this](HttpClientCore&) { answered_ = false; };
    client.OnHeaderEnd = [this](HttpClientCore&) { answered_ = true; };
    client.OnDocBegin = [this](HttpClientCore& sender) { DocBegin(sender); };
    client.OnDocEnd = [this](HttpClientCore& sender) { CloseDocument(sender); };
    // Only the end of the request stops the wait: a proxy asking for credentials closes
    // the session after its 407, and the client then goes on with a new attempt. A
    // request can also end without its session closing (a lookup that never started, a
    // kept-alive answer).
    client.OnRequestDone = [this](HttpClientCore& sender, THttpRequest, uint16_t error) {
      RequestDone(sender, error);
    };
  }

  void DocBegin(HttpClientCore& client) {
    stage_clock::Mark("answer begins");
    CloseDocument(client);
    auto file = std::make_unique<HttpFileStream>(job_.target_file, HttpFileStream::Mode::kCreate);
    // A file that cannot be made leaves the client without a stream: the document is
    // then missing, which the caller sees in the size.
    if (!file->IsOpen()) return;
    doc_stream_ = std::move(file);
    client.SetDocStream(doc_stream_.get());
  }

  void CloseDocument(HttpClientCore& client) {
    client.SetDocStream(nullptr);
    doc_stream_.reset();
  }

  void RequestDone(HttpClientCore& client, uint16_t error) {
    stage_clock::Mark("request done");
    // The file must be closed before its size means anything.
    CloseDocument(client);
    running_ = false;
    outcome_.error = error;
    outcome_.status = client.StatusCode();
    // The client gives local failures a status of its own; only a received header makes
    // the status the server's.
    outcome_.transport = error == 0 && answered_ ? TDownloadTransport::kAnswered : TDownloadTransport::kFailed;
  }

  const TDownloadJob& job_;
  const TDownloadLimits limits_;
  bool connecting_ = false;
  std::uint64_t phase_start_ = 0;
  std::uint64_t last_activity_ = 0;
  TDownloadOutcome outcome_;
  bool running_ = false;
  bool answered_ = false;
  std::unique_ptr<HttpStream> post_stream_;
  std::unique_ptr<HttpStream> doc_stream_;
};

}  // namespace

TDownloadOutcome RunDownload(const TDownloadJob& job, const std::function<bool()>& stop_requested) {
  return TDownload(job).Run(stop_requested);
}

}  // namespace parlix
