// The HTTP/1.0 and 1.1 client machine: builds and sends the request, reads the
// answer line by line, decodes the body, follows relocations. It reaches the
// network only through HttpSocket and its own message window only through
// HttpMessagePoster, so the same code runs on TWSocket under Windows and on a
// scripted fake in the native tests. THttpCli (http_cli_win.h) is the Windows
// object the program uses.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "net/http_chunk.h"
#include "net/http_proto.h"
#include "net/http_socket.h"
#include "net/http_stream.h"

namespace parlix {

enum THttpRequest : uint8_t { httpABORT = 0, httpGET, httpPOST, httpPUT, httpHEAD, httpCLOSE };

enum class ClientState : uint8_t {
  kReady = 0,
  kNotConnected = 1,
  kConnected = 2,
  kDnsLookup = 3,
  kDnsLookupDone = 4,
  kWaitingHeader = 5,
  kWaitingBody = 6,
  kBodyReceived = 7,
  kWaitingProxyConnect = 8,
  kClosing = 9,
  kAborting = 10,
};

enum THttpCliOption : unsigned { httpoNoBasicAuth = 1, httpoNoNTLMAuth = 2 };
using THttpCliOptions = unsigned;

// Codes of EHttpException and of the ErrCode reported by OnRequestDone. Socket and
// resolver errors are reported with their own (Windows Sockets) numbers.
inline constexpr uint16_t kHttpErrBusy = 1;
inline constexpr uint16_t kHttpErrNoData = 2;
inline constexpr uint16_t kHttpErrAborted = 3;
// The answer broke the protocol: a status code that is no number, a bad chunk size.
inline constexpr uint16_t kHttpErrBadAnswer = 4;
inline constexpr uint16_t kHttpErrVersion = 5;
inline constexpr uint16_t kHttpErrInvalidAuthState = 6;
// The connection closed before the answer was whole: inside the header, short of
// the Content-Length, or before the last chunk.
inline constexpr uint16_t kHttpErrCutShort = 7;
// DocStream refused the document's bytes (a full disk, say).
inline constexpr uint16_t kHttpErrDocWrite = 8;
// The document is larger than MaxDocSize allows.
inline constexpr uint16_t kHttpErrTooLarge = 9;
// The proxy would not open a tunnel to the secure server (any answer but 2xx and 407).
inline constexpr uint16_t kHttpErrTunnelRefused = 10;
// A secure request relocated to a plain address: the text would come back in clear.
// (11 to 14 are the TLS codes of http_socket.h.)
inline constexpr uint16_t kHttpErrInsecureRelocation = 15;

class EHttpException : public std::runtime_error {
 public:
  EHttpException(const std::string& message, int code)
      : std::runtime_error(message), code_(code) {}
  int ErrorCode() const { return code_; }

 private:
  int code_;
};

class HttpClientCore;
using HttpNotifyEvent = std::function<void(HttpClientCore& sender)>;
using HttpBeforeHeaderSendEvent = std::function<void(
    HttpClientCore& sender, const std::string& method, std::vector<std::string>& headers)>;
using HttpCommandEvent = std::function<void(HttpClientCore& sender, std::string& line)>;
using HttpCookieEvent =
    std::function<void(HttpClientCore& sender, const std::string& data, bool& accept)>;
using HttpDocDataEvent =
    std::function<void(HttpClientCore& sender, const char* buffer, size_t len)>;
using HttpRequestDoneEvent =
    std::function<void(HttpClientCore& sender, THttpRequest request, uint16_t err_code)>;
using HttpErrorEvent = std::function<void(HttpClientCore& sender, uint16_t err_code)>;

class HttpClientCore : public HttpSocketEvents {
 public:
  static constexpr size_t kSendBufferSize = 8193;
  static constexpr size_t kReceiveBufferSize = 8190;
  // When the receive buffer is full of one line, the socket is read in pieces of
  // this size until a line feed turns up.
  static constexpr size_t kOverflowReadSize = 25;
  // A document body is read straight into a buffer of this size, past the line
  // buffer: each read costs a round trip through the platform's socket layer, and
  // a large body in 8 KiB reads spends its time there.
  static constexpr size_t kBodyReadSize = 256 * 1024;
  // A server that relocates in a circle would otherwise keep the request (and the
  // worker waiting for it) alive for ever; past this many the relocating answer
  // ends the request.
  static constexpr int kMaxRelocations = 20;
  // Servers send ten to thirty header lines; a peer that sends more than this is
  // flooding, and every line is kept (RcvdHeader) until the next answer.
  static constexpr size_t kMaxHeaderLines = 100;
  // The whole header block of one answer, over-long lines' lost tails included. An
  // honest header is a few kilobytes; without a limit an endless line without a
  // line feed would keep the request (and the worker waiting for it) alive for ever.
  static constexpr size_t kMaxHeaderBytes = 64 * 1024;
  // Authentication challenges of one answer: a server offers a few schemes; each is
  // kept and looked at.
  static constexpr size_t kMaxAuthChallenges = 16;

  HttpClientCore();
  virtual ~HttpClientCore();
  HttpClientCore(const HttpClientCore&) = delete;
  HttpClientCore& operator=(const HttpClientCore&) = delete;

  // Published properties.
  const std::string& Name() const { return name_; }
  void SetName(std::string v) { name_ = std::move(v); }
  const std::string& URL() const { return url_; }
  void SetURL(std::string v) { url_ = std::move(v); }
  const std::string& LocalAddr() const { return local_addr_; }
  void SetLocalAddr(std::string v) { local_addr_ = std::move(v); }
  const std::string& Proxy() const { return proxy_; }
  void SetProxy(std::string v) { proxy_ = std::move(v); }
  const std::string& ProxyPort() const { return proxy_port_; }
  void SetProxyPort(std::string v) { proxy_port_ = std::move(v); }
  const std::string& Sender() const { return sender_; }
  void SetSender(std::string v) { sender_ = std::move(v); }
  const std::string& Agent() const { return agent_; }
  void SetAgent(std::string v) { agent_ = std::move(v); }
  const std::string& Accept() const { return accept_; }
  void SetAccept(std::string v) { accept_ = std::move(v); }
  const std::string& AcceptLanguage() const { return accept_language_; }
  void SetAcceptLanguage(std::string v) { accept_language_ = std::move(v); }
  const std::string& Reference() const { return reference_; }
  void SetReference(std::string v) { reference_ = std::move(v); }
  const std::string& Connection() const { return connection_; }
  void SetConnection(std::string v) { connection_ = std::move(v); }
  const std::string& ProxyConnection() const { return proxy_connection_; }
  void SetProxyConnection(std::string v) { proxy_connection_ = std::move(v); }
  const std::string& Username() const { return username_; }
  void SetUsername(std::string v) { username_ = std::move(v); }
  const std::string& Password() const { return password_; }
  void SetPassword(std::string v) { password_ = std::move(v); }
  const std::string& ProxyUsername() const { return proxy_username_; }
  void SetProxyUsername(std::string v) { proxy_username_ = std::move(v); }
  const std::string& ProxyPassword() const { return proxy_password_; }
  void SetProxyPassword(std::string v) { proxy_password_ = std::move(v); }
  bool NoCache() const { return no_cache_; }
  void SetNoCache(bool v) { no_cache_ = v; }
  // Days since 1899-12-30, the fraction being the time of day; 0 sends nothing.
  double ModifiedSince() const { return modified_since_; }
  void SetModifiedSince(double v) { modified_since_ = v; }
  const std::string& Cookie() const { return cookie_; }
  void SetCookie(std::string v) { cookie_ = std::move(v); }
  const std::string& ContentTypePost() const { return content_type_post_; }
  void SetContentTypePost(std::string v) { content_type_post_ = std::move(v); }
  const std::string& ContentRangeBegin() const { return content_range_begin_; }
  void SetContentRangeBegin(std::string v) { content_range_begin_ = std::move(v); }
  const std::string& ContentRangeEnd() const { return content_range_end_; }
  void SetContentRangeEnd(std::string v) { content_range_end_ = std::move(v); }
  const std::string& AcceptRanges() const { return accept_ranges_; }
  bool MultiThreaded() const { return multi_threaded_; }
  void SetMultiThreaded(bool v);
  const std::string& RequestVer() const { return request_ver_; }
  // Only "1.0" and "1.1"; anything else raises EHttpException (code 5).
  void SetRequestVer(const std::string& v);
  bool FollowRelocation() const { return follow_relocation_; }
  void SetFollowRelocation(bool v) { follow_relocation_ = v; }
  // The largest document accepted, in bytes; a larger one (by its Content-Length or
  // as it arrives) ends the request with kHttpErrTooLarge. Negative: no limit.
  int64_t MaxDocSize() const { return max_doc_size_; }
  void SetMaxDocSize(int64_t v) { max_doc_size_ = v; }
  THttpCliOptions Options() const { return options_; }
  void SetOptions(THttpCliOptions v) { options_ = v; }
  // Handed to the socket; nothing in the program sets them, so connections stay direct.
  HttpConnectParams& SocksParams() { return socks_; }

  // Public members.
  HttpStream* DocStream() const { return doc_stream_; }
  void SetDocStream(HttpStream* s) { doc_stream_ = s; }
  HttpStream* PostStream() const { return post_stream_; }
  void SetPostStream(HttpStream* s) { post_stream_ = s; }
  int StatusCode() const { return status_code_; }
  const std::string& ReasonPhrase() const { return reason_phrase_; }
  const std::string& Location() const { return location_; }
  int64_t ContentLength() const { return content_length_; }
  const std::string& ContentType() const { return content_type_; }
  const std::string& TransferEncoding() const { return transfer_encoding_; }
  const std::string& DocName() const { return doc_name_; }
  const std::vector<std::string>& RcvdHeader() const { return rcvd_header_; }
  ClientState State() const { return state_; }
  int64_t RcvdCount() const { return rcvd_count_; }
  int64_t SentCount() const { return sent_count_; }
  // The last line received (header line, or the line an OnDataPush is about).
  const std::string& LastResponse() const { return last_response_; }
  // The challenges of the latest answer ("www-authenticate" and
  // "proxy-authenticate" values, in arrival order).
  const std::vector<std::string>& AuthChallenges() const { return auth_challenges_; }
  THttpRequest RequestType() const { return request_type_; }

  // Each returns at once; the end is reported by OnRequestDone. Refusals raise
  // EHttpException before anything is sent, and the object stays ready.
  void StartGet() { StartRequest(httpGET); }
  void StartPost() { StartRequest(httpPOST); }
  void StartPut() { StartRequest(httpPUT); }
  void StartHead() { StartRequest(httpHEAD); }
  // Closes the connection later; accepted even while busy.
  void StartClose();
  void Abort();

  // Events, in the order a request raises them. Unassigned ones are skipped.
  HttpNotifyEvent OnStateChange;
  HttpNotifyEvent OnSessionConnected;
  HttpNotifyEvent OnSessionClosed;
  HttpNotifyEvent OnRequestHeaderBegin;
  HttpNotifyEvent OnRequestHeaderEnd;
  HttpBeforeHeaderSendEvent OnBeforeHeaderSend;
  HttpCommandEvent OnCommand;
  HttpNotifyEvent OnHeaderBegin;
  HttpNotifyEvent OnHeaderData;
  HttpNotifyEvent OnHeaderEnd;
  HttpCookieEvent OnCookie;
  HttpNotifyEvent OnDocBegin;
  HttpDocDataEvent OnDocData;
  HttpNotifyEvent OnDocEnd;
  HttpNotifyEvent OnSendBegin;
  HttpDocDataEvent OnSendData;
  HttpNotifyEvent OnSendEnd;
  HttpNotifyEvent OnLocationChange;
  HttpRequestDoneEvent OnRequestDone;
  HttpErrorEvent OnDataPush;   // a line received while no request reads the answer
  HttpNotifyEvent OnDataPush2; // a first answer line that is no HTTP status line
  HttpNotifyEvent OnSocketError;

  // Socket events; the socket adapter calls these.
  void SocketDnsLookupDone(uint16_t error) override;
  void SocketSessionConnected(uint16_t error) override;
  void SocketDataAvailable(uint16_t error) override;
  void SocketDataSent(uint16_t error) override;
  void SocketSessionClosed(uint16_t error) override;
  void SocketError() override;

  // A private message posted through the poster, delivered back by the window.
  void HandleClientMessage(unsigned msg, uintptr_t wparam, intptr_t lparam);

 protected:
  // The socket and the poster are attached once, by the object that owns them,
  // before any request starts.
  void AttachTransport(HttpSocket* socket, HttpMessagePoster* poster);

  // Hooks of the authentication layer (Basic and NTLM, server and proxy). With
  // none, a 401 or 407 answer simply ends the request.
  // Run each time the client becomes ready; true when a new attempt was started
  // (through StartNewAttempt), so the request is not done yet.
  virtual bool AuthCheckOnReady() { return false; }
  // The one authorization line of the request header (line 14), or empty.
  virtual std::string AuthorizationLine() { return {}; }
  // True while the attempt carries an NTLM first message: the body is held back
  // and Content-Length is 0.
  virtual bool AuthSendsNtlmFirstMessage() const { return false; }
  // Before each new connection (DNS lookup done): finished exchanges are forgotten.
  virtual void AuthResetOnNewConnection() {}
  // A new attempt of the same request: rewinds the streams, empties the receive
  // buffer, resets the answer state (DocName kept) and restarts the connection step.
  void StartNewAttempt();
  void ClearAuthChallenges() { auth_challenges_.clear(); }
  const std::string& TargetHost() const { return target_.target_host; }
  const std::string& TargetPort() const { return target_.target_port; }

 private:
  enum class DataHandler { kNone, kHeader, kBody };

  void StartRequest(THttpRequest kind);
  void ResetRequestState(bool keep_location, bool keep_doc_name);
  void ComputeTarget();
  void Login();
  void PostLogin();
  void Connected(uint16_t error);
  void SendRequest();
  // An https address through a proxy goes through a tunnel: CONNECT, then TLS.
  bool Tunneled() const { return !proxy_.empty() && target_.conn_proto == "https"; }
  std::string TunnelAuthority() const;
  bool SameConnection() const;
  void SendConnect();
  void OpenTunnel();
  std::vector<std::string> BuildHeaderLines(const std::string& method);
  void SendNextBodyPiece();
  bool ReadBodyDirectly();
  bool CountHeaderBytes(size_t n);
  void ProcessReceiveBuffer();
  void ProcessBodyBuffer();
  void HeaderLine(const std::string& line, const char* raw, size_t raw_len);
  // False when the field made the answer fail.
  bool HeaderField(const std::string& line);
  void HeaderEnd();
  void BodyPiece(const char* data, size_t len);
  bool WriteDocData(const char* data, size_t len);
  void EndDocument();
  void FinishAnswer();
  void CloseHandler(uint16_t error);
  void RelocationAfterClose(uint16_t error);
  void ProceedRelocation();
  void RewindStreams();
  void FailAnswer(uint16_t err_code);
  void CloseSocketAndFinish(uint16_t error);
  void ConnectCheck();
  // False when the answer failed (a secure request relocated to a plain address).
  bool FollowLocation(const std::string& value);
  bool IsChunked() const;
  void SetState(ClientState state);
  void SetReady() { SetState(ClientState::kReady); }
  void PostSetReady();
  void PostRequestDone();
  void RaiseRequestDone(THttpRequest request, uint16_t err_code);
  bool Finished() const {
    return state_ == ClientState::kReady || state_ == ClientState::kAborting;
  }
  static void Raise(const HttpNotifyEvent& event, HttpClientCore& self) {
    if (event) event(self);
  }

  HttpSocket* socket_ = nullptr;
  HttpMessagePoster* poster_ = nullptr;

  std::string name_;
  std::string url_;
  std::string local_addr_ = "0.0.0.0";
  std::string proxy_;
  std::string proxy_port_ = "80";
  std::string sender_;
  std::string agent_ = "Mozilla/4.0 (compatible)";
  std::string accept_ = "image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*";
  std::string accept_language_;
  std::string reference_;
  std::string connection_;
  std::string proxy_connection_;
  std::string username_;
  std::string password_;
  std::string proxy_username_;
  std::string proxy_password_;
  bool no_cache_ = false;
  double modified_since_ = 0;
  std::string cookie_;
  std::string content_type_post_ = "application/x-www-form-urlencoded";
  std::string content_range_begin_;
  std::string content_range_end_;
  std::string accept_ranges_;
  bool multi_threaded_ = false;
  std::string request_ver_ = "1.0";
  bool follow_relocation_ = true;
  THttpCliOptions options_ = 0;
  int64_t max_doc_size_ = -1;
  HttpConnectParams socks_;

  HttpStream* doc_stream_ = nullptr;
  HttpStream* post_stream_ = nullptr;
  int status_code_ = 0;
  std::string reason_phrase_;
  std::string location_;
  int64_t content_length_ = -1;
  std::string content_type_;
  std::string transfer_encoding_;
  std::string doc_name_;
  std::vector<std::string> rcvd_header_;
  ClientState state_ = ClientState::kReady;
  int64_t rcvd_count_ = 0;
  int64_t sent_count_ = 0;
  std::string last_response_;
  std::vector<std::string> auth_challenges_;

  THttpRequest request_type_ = httpGET;
  uint16_t err_code_ = 0;
  bool connected_ = false;
  bool proxy_connected_ = false;
  bool relocation_pending_ = false;
  bool inside_header_ = false;
  bool header_done_ = false;  // the final answer's header has ended
  bool close_after_response_ = true;
  bool sending_body_ = false;
  bool connect_pending_ = false;  // Connect was called, its outcome not yet seen
  bool connect_error_seen_ = false;  // OnSessionConnected carried an error
  bool close_handled_ = false;  // the close handler ran for this connection attempt
  bool close_to_relocation_ = false;
  bool ignore_socket_close_ = false;
  bool ever_started_ = false;
  bool login_pending_ = false;  // a restart of the connection step is posted
  // Requests are numbered so that a posted message of an earlier one can never
  // end or restart a later one.
  uintptr_t generation_ = 0;
  std::string answer_version_;
  int relocation_count_ = 0;
  uint16_t last_data_error_ = 0;

  HttpTarget target_;
  std::string proxy_conn_port_;  // the proxy's port, for reconnecting after a relocation
  std::string cur_host_;  // what the socket is connected to
  std::string cur_port_;
  std::string cur_proto_;
  std::string cur_tunnel_;  // host:port the proxy's tunnel leads to, or empty
  bool tunnel_open_ = false;  // TLS runs through the proxy's tunnel on this connection
  bool in_connect_ = false;   // the answer being read is the proxy's, to CONNECT

  std::array<char, kSendBufferSize> send_buffer_{};
  std::array<char, kReceiveBufferSize + 1> receive_buffer_{};
  std::vector<char> body_buffer_;  // kBodyReadSize, allocated on the first body read
  size_t receive_len_ = 0;
  int header_line_count_ = 0;
  size_t header_bytes_ = 0;
  int64_t body_piece_count_ = 0;
  DataHandler data_handler_ = DataHandler::kNone;
  ChunkDecoder chunk_decoder_;
};

}  // namespace parlix
