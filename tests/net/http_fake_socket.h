// A scripted stand-in for the client's socket and window, for the native tests.
// One FIFO queue plays the thread's posted messages (socket and client messages
// share it, as they share a Windows thread queue). A scripted "server" answers each
// complete request with the next exchange's reply bytes, in the pieces the test
// chooses, and closes when told to. Nothing touches the network.
#pragma once

#include <algorithm>
#include <cctype>
#include <cstring>
#include <deque>
#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

#include "net/http_client.h"
#include "net/wsocket_util.h"

namespace parlix::testing {

class FakeLoop {
 public:
  void Post(std::function<void()> task) { queue_.push_back(std::move(task)); }
  // Runs queued tasks (and the ones they queue) until none is left. A machine that
  // keeps posting for ever fails the test instead of hanging it.
  bool RunUntilIdle(size_t cap = 5'000'000) {
    size_t ran = 0;
    while (!queue_.empty()) {
      if (++ran > cap) return false;
      std::function<void()> task = std::move(queue_.front());
      queue_.pop_front();
      task();
    }
    return true;
  }
  bool Empty() const { return queue_.empty(); }

 private:
  std::deque<std::function<void()>> queue_;
};

// One answer of the scripted server.
struct FakeExchange {
  std::string reply;
  bool close_after = true;       // the server closes once the reply is out
  std::vector<size_t> splits{};  // reply offsets at which a new read begins
  bool byte_by_byte = false;     // every byte its own read
  bool hold = false;             // the server takes the request and never answers
};

inline FakeExchange Exchange(std::string reply, bool close_after = true) {
  return {.reply = std::move(reply), .close_after = close_after};
}

// The lines every request of the client carries unless a test changes them.
inline const std::string kAcceptLine = "Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*\r\n";
inline const std::string kAgentLine = "User-Agent: Mozilla/4.0 (compatible)\r\n";

enum class FakeConnect {
  kOk,
  kRefusedEvent,       // OnSessionConnected(10061), then the socket closes itself
  kRefusedEventOpen,   // OnSessionConnected(10061), the socket stays open
  kErrorOnly,          // only OnError, nothing else ever
  kThrow,              // Connect raises
};

class FakeSocket : public HttpSocket {
 public:
  explicit FakeSocket(FakeLoop& loop) : loop_(loop) {}

  // Where the events go: the client, or a layer between (TLS).
  void SetCore(HttpSocketEvents* core) { core_ = core; }

  // --- script ---
  std::map<std::string, std::pair<uint16_t, std::string>> dns;  // name -> (error, address)
  bool dns_throws = false;
  bool close_unscripted = false;  // a request with no exchange left gets a close
  FakeConnect connect_mode = FakeConnect::kOk;
  std::deque<FakeExchange> exchanges;

  // --- what happened ---
  std::vector<std::string> connects;   // "addr:port" of each Connect
  std::vector<std::string> lookups;    // each DnsLookup's name
  std::vector<std::string> requests;   // each complete request, as received
  std::vector<size_t> send_sizes;      // the size of each Send
  std::string sent;                    // every byte sent, in order
  bool stuck = false;  // the client stopped reading while bytes were waiting

  // --- HttpSocket ---
  HttpSocketState State() const override { return state_; }

  void DnsLookup(const std::string& host) override {
    lookups.push_back(host);
    if (dns_throws) throw std::runtime_error("test: lookup cannot start");
    dns_result_.clear();
    const int id = ++lookup_id_;
    if (host.empty()) {
      core_->SocketError();
      core_->SocketDnsLookupDone(10022);
      return;
    }
    if (WSocketIsDottedIP(host)) {  // a dotted address answers before DnsLookup returns, as on the real socket
      dns_result_ = host;
      core_->SocketDnsLookupDone(0);
      return;
    }
    loop_.Post([this, id, host] {
      if (id != lookup_id_) return;  // cancelled
      auto it = dns.find(host);
      if (it == dns.end()) {
        core_->SocketDnsLookupDone(11001);
        return;
      }
      if (it->second.first == 0) dns_result_ = it->second.second;
      core_->SocketDnsLookupDone(it->second.first);
    });
  }

  void CancelDnsLookup() override { ++lookup_id_; }
  std::string DnsResult() const override { return dns_result_; }

  void Connect(const HttpConnectParams& params) override {
    connects.push_back(params.addr + ":" + params.port);
    switch (connect_mode) {
      case FakeConnect::kThrow:
        last_error_ = 10049;
        throw std::runtime_error("test: connect refused at once");
      case FakeConnect::kErrorOnly:
        last_error_ = 10049;
        core_->SocketError();
        return;
      default:
        break;
    }
    state_ = HttpSocketState::kOpening;
    const int conn = ++conn_id_;
    loop_.Post([this, conn] {
      if (conn != conn_id_ || state_ != HttpSocketState::kOpening) return;
      if (connect_mode == FakeConnect::kOk) {
        state_ = HttpSocketState::kConnected;
        pending_request_.clear();
        core_->SocketSessionConnected(0);
        return;
      }
      last_error_ = 10061;
      core_->SocketSessionConnected(10061);
      if (connect_mode == FakeConnect::kRefusedEvent) CloseWith(10061);
    });
  }

  int LastError() const override { return last_error_; }

  void Send(const char* data, size_t len) override {
    send_sizes.push_back(len);
    sent.append(data, len);
    if (state_ != HttpSocketState::kConnected) {
      last_error_ = 10057;
      loop_.Post([this] { core_->SocketError(); });
      return;
    }
    pending_request_.append(data, len);
    const int conn = conn_id_;
    // The queue empties at once; the notice comes from the loop, never from Send.
    loop_.Post([this, conn] {
      if (conn == conn_id_ && state_ == HttpSocketState::kConnected) core_->SocketDataSent(0);
    });
    TakeCompleteRequest();
  }

  int Receive(char* buffer, size_t size) override {
    const size_t n = std::min(size, incoming_.size());
    if (n > 0) std::memcpy(buffer, incoming_.data(), n);
    incoming_.erase(0, n);
    return static_cast<int>(n);
  }

  void Close() override { CloseWith(0); }
  void Abort() override { CloseWith(0); }

  void CloseDelayed() override {
    const int conn = conn_id_;
    loop_.Post([this, conn] {
      if (conn == conn_id_) CloseWith(0);
    });
  }

  void SetMultiThreaded(bool on) override { multi_threaded_ = on; }
  bool multi_threaded() const { return multi_threaded_; }

  // Plays the server's bytes now, as one read notification per call.
  void Deliver(const std::string& bytes) {
    incoming_ += bytes;
    ReadLoop();
  }
  // The server closes: waiting bytes are delivered first, then the close.
  void PeerClose(uint16_t error = 0) {
    if (state_ == HttpSocketState::kClosed) return;
    ReadLoop();
    CloseWith(error);
  }

 private:
  void CloseWith(uint16_t error) {
    if (state_ == HttpSocketState::kClosed) return;
    state_ = HttpSocketState::kClosed;
    ++conn_id_;
    incoming_.clear();
    core_->SocketSessionClosed(error);
  }

  // Like the real socket's receive loop: OnDataAvailable again and again while
  // bytes wait. A client that does not read would loop for ever; that is caught.
  void ReadLoop() {
    int idle_rounds = 0;
    while (!incoming_.empty() && state_ == HttpSocketState::kConnected) {
      const size_t before = incoming_.size();
      core_->SocketDataAvailable(0);
      if (incoming_.size() == before && ++idle_rounds > 3) {
        stuck = true;
        return;
      }
    }
  }

  static size_t RequestContentLength(const std::string& header) {
    size_t pos = 0;
    while ((pos = header.find("\r\n", pos)) != std::string::npos) {
      pos += 2;
      static const char kName[] = "content-length:";
      if (header.size() - pos < sizeof(kName) - 1) break;
      std::string name = header.substr(pos, sizeof(kName) - 1);
      for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      if (name == kName) return std::stoul(header.substr(pos + sizeof(kName) - 1));
    }
    return 0;
  }

  void TakeCompleteRequest() {
    const size_t end = pending_request_.find("\r\n\r\n");
    if (end == std::string::npos) return;
    const size_t header_len = end + 4;
    const size_t total = header_len + RequestContentLength(pending_request_.substr(0, header_len));
    if (pending_request_.size() < total) return;
    requests.push_back(pending_request_.substr(0, total));
    pending_request_.erase(0, total);
    if (exchanges.empty()) {
      if (close_unscripted) {
        const int conn = conn_id_;
        loop_.Post([this, conn] {
          if (conn == conn_id_) PeerClose();
        });
      }
      return;
    }
    FakeExchange ex = std::move(exchanges.front());
    exchanges.pop_front();
    if (ex.hold) return;
    PlayReply(ex);
  }

  void PlayReply(const FakeExchange& ex) {
    std::vector<std::string> pieces;
    if (ex.byte_by_byte) {
      for (char c : ex.reply) pieces.emplace_back(1, c);
    } else {
      size_t from = 0;
      for (size_t at : ex.splits) {
        at = std::min(at, ex.reply.size());
        if (at > from) pieces.push_back(ex.reply.substr(from, at - from));
        from = std::max(from, at);
      }
      if (from < ex.reply.size() || pieces.empty()) pieces.push_back(ex.reply.substr(from));
    }
    const int conn = conn_id_;
    for (std::string& piece : pieces) {
      loop_.Post([this, conn, piece] {
        if (conn == conn_id_) Deliver(piece);
      });
    }
    if (ex.close_after) {
      loop_.Post([this, conn] {
        if (conn == conn_id_) PeerClose();
      });
    }
  }

  FakeLoop& loop_;
  HttpSocketEvents* core_ = nullptr;
  HttpSocketState state_ = HttpSocketState::kClosed;
  std::string dns_result_;
  int lookup_id_ = 0;
  int conn_id_ = 0;
  int last_error_ = 0;
  bool multi_threaded_ = false;
  std::string incoming_;
  std::string pending_request_;
};

// Any client class (plain, or with authentication) on the fake loop, over the fake
// socket or a layer above it; the caller points the socket's events at it.
template <class Client>
class LoopClient : public Client, private HttpMessagePoster {
 public:
  LoopClient(FakeLoop& loop, HttpSocket& socket) : loop_(loop) {
    this->AttachTransport(&socket, this);
  }

 private:
  void PostClientMessage(unsigned msg, uintptr_t wparam, intptr_t lparam) override {
    loop_.Post([this, msg, wparam, lparam] { this->HandleClientMessage(msg, wparam, lparam); });
  }

  FakeLoop& loop_;
};

// A client class wired to the fake socket and the fake message queue.
template <class Client>
class FakeSocketClient : public LoopClient<Client> {
 public:
  FakeSocketClient(FakeLoop& loop, FakeSocket& socket) : LoopClient<Client>(loop, socket) { socket.SetCore(this); }
};
using FakeHttpClient = FakeSocketClient<HttpClientCore>;

// A client (of any class built on the fake socket), its fake socket and loop, a memory
// document stream, a post body and a log of every event in the order raised.
template <class Client>
struct FakeHttpRigOf {
  FakeLoop loop;
  FakeSocket socket{loop};
  Client cli{loop, socket};
  HttpMemoryStream doc;
  HttpMemoryStream post;  // what Start sends with a POST
  std::vector<std::string> events;
  int done_count = 0;
  THttpRequest done_request = httpABORT;
  uint16_t done_error = 0xFFFF;

  FakeHttpRigOf() {
    cli.SetDocStream(&doc);
    auto log = [this](const char* name) {
      return [this, name](auto&&...) { events.push_back(name); };
    };
    cli.OnStateChange = [this](HttpClientCore& c) {
      events.push_back("State" + std::to_string(static_cast<int>(c.State())));
    };
    cli.OnSessionConnected = log("SessionConnected");
    cli.OnSessionClosed = log("SessionClosed");
    cli.OnRequestHeaderBegin = log("RequestHeaderBegin");
    cli.OnRequestHeaderEnd = log("RequestHeaderEnd");
    cli.OnBeforeHeaderSend = log("BeforeHeaderSend");
    cli.OnCommand = log("Command");
    cli.OnHeaderBegin = log("HeaderBegin");
    cli.OnHeaderData = log("HeaderData");
    cli.OnHeaderEnd = log("HeaderEnd");
    cli.OnDocBegin = log("DocBegin");
    cli.OnDocData = log("DocData");
    cli.OnDocEnd = log("DocEnd");
    cli.OnSendBegin = log("SendBegin");
    cli.OnSendData = log("SendData");
    cli.OnSendEnd = log("SendEnd");
    cli.OnLocationChange = log("LocationChange");
    cli.OnRequestDone = [this](HttpClientCore&, THttpRequest rq, uint16_t err) {
      events.push_back("RequestDone");
      ++done_count;
      done_request = rq;
      done_error = err;
    };
  }

  // Runs the loop until nothing is left to do; false when it would never end.
  bool Run() { return loop.RunUntilIdle(); }

  // The exchange stays where it is until the next one is scripted, for a test to
  // split or hold it.
  FakeExchange& Reply(std::string bytes, bool close_after = true) {
    socket.exchanges.push_back(Exchange(std::move(bytes), close_after));
    return socket.exchanges.back();
  }

  // Most cases want one request and everything that follows from it.
  bool Get(const std::string& url = "http://127.0.0.1/") { return Start(httpGET, url); }
  bool Post(HttpStream& body, const std::string& url = "http://127.0.0.1/") {
    return Start(httpPOST, url, &body);
  }
  // A POST sends `post` unless it is given another body.
  bool Start(THttpRequest kind, const std::string& url, HttpStream* body = nullptr) {
    cli.SetURL(url);
    if (kind == httpPOST) cli.SetPostStream(body ? body : &post);
    switch (kind) {
      case httpPOST: cli.StartPost(); break;
      case httpHEAD: cli.StartHead(); break;
      default: cli.StartGet(); break;
    }
    return Run();
  }

  void Credentials(const std::string& user, const std::string& pass, const std::string& proxy_user = "pu",
                   const std::string& proxy_pass = "pp") {
    cli.SetUsername(user);
    cli.SetPassword(pass);
    cli.SetProxyUsername(proxy_user);
    cli.SetProxyPassword(proxy_pass);
  }

  // How the requests went, for one comparison: how many ended, the last one's error,
  // the status and the document.
  std::tuple<int, uint16_t, int, std::string> Ended() const {
    return {done_count, done_error, cli.StatusCode(), doc.Data()};
  }

  int Count(const std::string& name) const {
    return static_cast<int>(std::count(events.begin(), events.end(), name));
  }
};
using FakeHttpRig = FakeHttpRigOf<FakeHttpClient>;

}  // namespace parlix::testing
