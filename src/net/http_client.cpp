#include "net/http_client.h"

#include <algorithm>
#include <cstring>

#include "net/url.h"
#include "net/wsocket_util.h"

namespace parlix {

namespace {

// Used when a connect failed without the socket naming a cause.
constexpr uint16_t kConnectRefused = 10061;

const char* MethodName(THttpRequest kind) {
  switch (kind) {
    case httpPOST: return "POST";
    case httpPUT: return "PUT";
    case httpHEAD: return "HEAD";
    default: return "GET";
  }
}

bool HasBody(THttpRequest kind) { return kind == httpPOST || kind == httpPUT; }

bool IsSecure(const std::string& proto) { return proto == "https"; }

const char* DefaultPort(const std::string& proto) { return IsSecure(proto) ? "443" : "80"; }

// "https://host:port/path" as a request line inside a tunnel: "/path".
std::string OriginForm(const std::string& request_path) {
  const size_t scheme = request_path.find("://");
  if (scheme == std::string::npos) return request_path;
  const size_t slash = request_path.find('/', scheme + 3);
  return slash == std::string::npos ? std::string("/") : request_path.substr(slash);
}

std::string SocketErrorReason(int code) {
  return WSocketErrorDesc(code) + " (Error #" + std::to_string(code) + ")";
}

}  // namespace

HttpClientCore::HttpClientCore() = default;
HttpClientCore::~HttpClientCore() = default;

void HttpClientCore::AttachTransport(HttpSocket* socket, HttpMessagePoster* poster) {
  socket_ = socket;
  poster_ = poster;
  if (socket_ != nullptr && multi_threaded_) socket_->SetMultiThreaded(true);
}

void HttpClientCore::SetMultiThreaded(bool v) {
  multi_threaded_ = v;
  if (socket_ != nullptr) socket_->SetMultiThreaded(v);
}

void HttpClientCore::SetRequestVer(const std::string& v) {
  if (v != "1.0" && v != "1.1") throw EHttpException("Insupported HTTP version", kHttpErrVersion);
  request_ver_ = v;
}

// ---------------------------------------------------------------------------
// Starting a request

void HttpClientCore::StartRequest(THttpRequest kind) {
  if (state_ != ClientState::kReady) {
    throw EHttpException("HTTP component " + name_ + " is busy", kHttpErrBusy);
  }
  if (HasBody(kind) && post_stream_ == nullptr) {
    throw EHttpException("HTTP component has nothing to post or put", kHttpErrNoData);
  }
  request_type_ = kind;
  ++generation_;
  login_pending_ = false;
  ever_started_ = true;
  relocation_count_ = 0;
  ResetRequestState(false, false);
  ComputeTarget();
  doc_name_ = HttpDocName(target_.request_path);
  proxy_connected_ = false;
  SetState(ClientState::kNotConnected);
  Login();
}

void HttpClientCore::ResetRequestState(bool keep_location, bool keep_doc_name) {
  rcvd_header_.clear();
  err_code_ = 0;
  if (!keep_doc_name) doc_name_.clear();
  status_code_ = 0;
  reason_phrase_.clear();
  rcvd_count_ = 0;
  sent_count_ = 0;
  header_line_count_ = 0;
  header_bytes_ = 0;
  body_piece_count_ = 0;
  content_length_ = -1;
  content_type_.clear();
  transfer_encoding_.clear();
  sending_body_ = false;
  if (!keep_location) location_ = url_;
  auth_challenges_.clear();
  close_after_response_ = request_ver_ == "1.0";
  relocation_pending_ = false;
  in_connect_ = false;
  inside_header_ = false;
  header_done_ = false;
  answer_version_.clear();
  data_handler_ = DataHandler::kNone;
}

void HttpClientCore::ComputeTarget() {
  std::string proto, user, pass, host, port, path;
  ParseURL(url_, proto, user, pass, host, port, path);
  if (!user.empty()) username_ = user;
  if (!pass.empty()) password_ = pass;
  if (proto.empty()) proto = "http";
  path = HttpRootedPath(path);

  target_ = HttpTarget{};
  target_.target_host = host;
  target_.location = url_;
  target_.conn_proto = proto;
  if (proxy_.empty()) {
    target_.target_port = port.empty() ? DefaultPort(proto) : port;
    target_.conn_host = host;
    target_.conn_port = target_.target_port;
    target_.request_path = path;
    return;
  }
  target_.target_port = port.empty() ? DefaultPort(proto) : port;
  target_.request_path = proto + "://" + host + (port.empty() ? "" : ":" + port) + path;
  std::string p_proto, p_user, p_pass, p_host, p_port, p_path;
  ParseURL(proxy_, p_proto, p_user, p_pass, p_host, p_port, p_path);
  target_.conn_host = p_host;
  target_.conn_port = p_port.empty() ? proxy_port_ : p_port;
  proxy_conn_port_ = target_.conn_port;
}

// The connection step: reuse the open connection when it goes to the same place,
// otherwise look the host up (the socket connects when the lookup is done).
// A new attempt or a relocation restarts the connection step from the message loop.
// Until it runs, a close of the old connection (a server that answered and hung up)
// belongs to no attempt: it must not end the request that is about to go on.
void HttpClientCore::PostLogin() {
  login_pending_ = true;
  poster_->PostClientMessage(kHttpMsgLogin, generation_, 0);
}

void HttpClientCore::Login() {
  login_pending_ = false;
  close_handled_ = false;
  close_to_relocation_ = false;
  connect_error_seen_ = false;
  if (connected_ && socket_->State() == HttpSocketState::kConnected) {
    if (SameConnection()) {
      Connected(0);
      return;
    }
    ignore_socket_close_ = true;
    socket_->Abort();
    ignore_socket_close_ = false;
  }
  connected_ = false;
  SetState(ClientState::kDnsLookup);
  try {
    socket_->DnsLookup(target_.conn_host);
  } catch (const std::exception& e) {
    status_code_ = 404;
    reason_phrase_ = e.what();
    connected_ = false;
    SetReady();
  }
}

void HttpClientCore::SocketDnsLookupDone(uint16_t error) {
  if (state_ != ClientState::kDnsLookup) return;  // cancelled or aborted meanwhile
  if (error != 0) {
    err_code_ = error;
    status_code_ = 404;
    reason_phrase_ = "can't resolve hostname to IP address";
    CloseHandler(error);
    return;
  }
  SetState(ClientState::kDnsLookupDone);
  AuthResetOnNewConnection();
  receive_len_ = 0;
  cur_host_ = target_.conn_host;
  cur_port_ = target_.conn_port;
  cur_proto_ = target_.conn_proto;
  cur_tunnel_ = TunnelAuthority();
  tunnel_open_ = false;
  if (target_.conn_proto != "http" && !IsSecure(target_.conn_proto)) {
    err_code_ = static_cast<uint16_t>(socket_->LastError());
    status_code_ = 501;
    reason_phrase_ = "Protocol \"" + target_.conn_proto + "\" not implemented";
    CloseSocketAndFinish(err_code_);
    return;
  }
  HttpConnectParams params = socks_;
  params.addr = socket_->DnsResult();
  params.port = target_.conn_port;
  params.proto = "tcp";
  params.local_addr = local_addr_;
  // Direct, TLS starts with the connection; through a proxy, after its CONNECT.
  if (IsSecure(target_.conn_proto) && proxy_.empty()) params.tls_host = target_.target_host;
  connect_pending_ = true;
  try {
    socket_->Connect(params);
  } catch (const std::exception&) {
    connect_pending_ = false;
    const int code = socket_->LastError();
    err_code_ = static_cast<uint16_t>(code);
    status_code_ = 404;
    reason_phrase_ = "can't connect: " + SocketErrorReason(code);
    CloseSocketAndFinish(err_code_);
  }
}

void HttpClientCore::SocketSessionConnected(uint16_t error) {
  if (!connect_pending_) return;  // an attempt that was given up already
  connect_pending_ = false;
  Connected(error);
}

void HttpClientCore::SocketError() {
  Raise(OnSocketError, *this);
  // A socket that fails to connect may say so only here; if no OnSessionConnected
  // follows, the request must still end.
  if (connect_pending_ && !Finished()) {
    poster_->PostClientMessage(kHttpMsgConnectCheck, generation_, 0);
  }
}

void HttpClientCore::ConnectCheck() {
  if (Finished() || close_handled_) return;
  if (!connect_pending_ && !connect_error_seen_) return;
  connect_pending_ = false;
  if (!connect_error_seen_) {
    const int code = socket_->LastError();
    err_code_ = static_cast<uint16_t>(code != 0 ? code : kConnectRefused);
    status_code_ = 404;
    reason_phrase_ = "can't connect: " + SocketErrorReason(err_code_);
  }
  CloseSocketAndFinish(err_code_);
}

void HttpClientCore::Connected(uint16_t error) {
  if (error != 0) {
    err_code_ = error;
    status_code_ = 404;
    reason_phrase_ = SocketErrorReason(error);
    connect_error_seen_ = true;
    Raise(OnSessionConnected, *this);
    // The socket closes itself after a failed connect and the close handler ends
    // the request; the check covers a socket that does not.
    poster_->PostClientMessage(kHttpMsgConnectCheck, generation_, 0);
    return;
  }
  relocation_pending_ = false;
  connected_ = true;
  SetState(ClientState::kConnected);
  Raise(OnSessionConnected, *this);
  if (Finished()) return;
  data_handler_ = DataHandler::kHeader;
  inside_header_ = false;
  header_done_ = false;
  SetState(ClientState::kWaitingHeader);
  try {
    if (Tunneled() && !tunnel_open_) {
      SendConnect();
      return;
    }
    SendRequest();
    if (HasBody(request_type_) && !AuthSendsNtlmFirstMessage() && !Finished()) {
      Raise(OnSendBegin, *this);
      sending_body_ = true;
      SendNextBodyPiece();
    }
  } catch (const std::exception&) {
    connected_ = false;
    CloseSocketAndFinish(0);
  }
}

// ---------------------------------------------------------------------------
// Sending

std::vector<std::string> HttpClientCore::BuildHeaderLines(const std::string& method) {
  std::vector<std::string> lines;
  // Inside a tunnel the server is spoken to directly: no absolute address, and
  // nothing meant for the proxy, whose credentials must not reach the server.
  const bool tunneled = Tunneled();
  lines.push_back(method + " " + (tunneled ? OriginForm(target_.request_path) : target_.request_path) +
                  " HTTP/" + request_ver_);
  if (!sender_.empty()) lines.push_back("From: " + sender_);
  if (!accept_.empty()) lines.push_back("Accept: " + accept_);
  if (!reference_.empty()) lines.push_back("Referer: " + reference_);
  if (!connection_.empty()) lines.push_back("Connection: " + connection_);
  if (!proxy_connection_.empty() && !tunneled) {
    lines.push_back("Proxy-Connection: " + proxy_connection_);
  }
  if (!accept_language_.empty()) lines.push_back("Accept-Language: " + accept_language_);
  if (HasBody(request_type_) && !content_type_post_.empty()) {
    lines.push_back("Content-Type: " + content_type_post_);
  }
  if (!agent_.empty()) lines.push_back("User-Agent: " + agent_);
  std::string host_line = "Host: " + target_.target_host;
  if (target_.target_port != DefaultPort(target_.conn_proto)) host_line += ":" + target_.target_port;
  lines.push_back(host_line);
  if (no_cache_) lines.push_back("Pragma: no-cache");
  if (HasBody(request_type_)) {
    if (AuthSendsNtlmFirstMessage()) {
      lines.push_back("Content-Length: 0");
    } else {
      if (post_stream_ == nullptr) {
        throw EHttpException("HTTP component has nothing to post or put", kHttpErrNoData);
      }
      const int64_t rest = std::max<int64_t>(0, post_stream_->Size() - post_stream_->Position());
      lines.push_back("Content-Length: " + std::to_string(rest));
    }
  }
  if (modified_since_ != 0) {
    lines.push_back("If-Modified-Since: " + FormatHttpDate(modified_since_) + " GMT");
  }
  std::string auth_line = AuthorizationLine();
  if (!auth_line.empty() && !(tunneled && HttpStartsWithNoCase(auth_line, "Proxy-"))) {
    lines.push_back(std::move(auth_line));
  }
  if (!cookie_.empty()) lines.push_back("Cookie: " + cookie_);
  if (!content_range_begin_.empty() || !content_range_end_.empty()) {
    lines.push_back("Range: bytes=" + content_range_begin_ + "-" + content_range_end_);
    content_range_begin_.clear();
    content_range_end_.clear();
  }
  return lines;
}

void HttpClientCore::SendRequest() {
  const std::string method = MethodName(request_type_);
  Raise(OnRequestHeaderBegin, *this);
  std::vector<std::string> lines = BuildHeaderLines(method);
  accept_ranges_.clear();
  if (OnBeforeHeaderSend) OnBeforeHeaderSend(*this, method, lines);
  std::string header;
  for (std::string& line : lines) {
    if (OnCommand) OnCommand(*this, line);
    header += line;
    header += "\r\n";
  }
  Raise(OnRequestHeaderEnd, *this);
  header += "\r\n";
  if (Finished()) return;
  socket_->Send(header.data(), header.size());
}

std::string HttpClientCore::TunnelAuthority() const {
  return Tunneled() ? target_.target_host + ":" + target_.target_port : std::string();
}

bool HttpClientCore::SameConnection() const {
  return target_.conn_host == cur_host_ && target_.conn_port == cur_port_ &&
         target_.conn_proto == cur_proto_ && TunnelAuthority() == cur_tunnel_;
}

// The proxy's answer to CONNECT is read as any answer, so a 407 goes through the
// usual Basic and NTLM exchanges; only the proxy's own lines are sent.
void HttpClientCore::SendConnect() {
  in_connect_ = true;
  Raise(OnRequestHeaderBegin, *this);
  const std::string authority = TunnelAuthority();
  std::string header = "CONNECT " + authority + " HTTP/" + request_ver_ + "\r\n";
  header += "Host: " + authority + "\r\n";
  if (!agent_.empty()) header += "User-Agent: " + agent_ + "\r\n";
  if (!proxy_connection_.empty()) header += "Proxy-Connection: " + proxy_connection_ + "\r\n";
  const std::string auth_line = AuthorizationLine();
  if (HttpStartsWithNoCase(auth_line, "Proxy-")) header += auth_line + "\r\n";
  header += "\r\n";
  Raise(OnRequestHeaderEnd, *this);
  if (Finished()) return;
  socket_->Send(header.data(), header.size());
}

// The proxy has connected us through; what follows is TLS to the server. Bytes read
// past the proxy's blank line already belong to it.
void HttpClientCore::OpenTunnel() {
  tunnel_open_ = true;
  const std::string early(receive_buffer_.data(), receive_len_);
  receive_len_ = 0;
  ResetRequestState(true, true);
  data_handler_ = DataHandler::kNone;
  SetState(ClientState::kWaitingProxyConnect);
  connect_pending_ = true;
  try {
    socket_->StartTls(target_.target_host, early);
  } catch (const std::exception&) {
    connect_pending_ = false;
    err_code_ = kTlsErrFailed;
    CloseSocketAndFinish(err_code_);
  }
}

// Each piece goes out only after the previous one left the socket's queue, so the
// queue never holds more than one send buffer of the body.
void HttpClientCore::SendNextBodyPiece() {
  if (post_stream_ == nullptr) {
    throw EHttpException("HTTP component has nothing to post or put", kHttpErrNoData);
  }
  const size_t n = post_stream_->Read(send_buffer_.data(), send_buffer_.size());
  if (n == 0) {
    sending_body_ = false;
    Raise(OnSendEnd, *this);
    return;
  }
  sent_count_ += static_cast<int64_t>(n);
  if (OnSendData) OnSendData(*this, send_buffer_.data(), n);
  if (Finished()) return;
  socket_->Send(send_buffer_.data(), n);
}

void HttpClientCore::SocketDataSent(uint16_t /*error*/) {
  if (!sending_body_ || Finished()) return;
  try {
    SendNextBodyPiece();
  } catch (const std::exception&) {
    connected_ = false;
    CloseSocketAndFinish(0);
  }
}

// ---------------------------------------------------------------------------
// Receiving

void HttpClientCore::SocketDataAvailable(uint16_t error) {
  last_data_error_ = error;
  if (ReadBodyDirectly()) return;
  char* buffer = receive_buffer_.data();
  // The socket keeps notifying while bytes wait, so something is read every time,
  // even when the buffer is full of one unfinished line.
  if (receive_len_ >= kReceiveBufferSize) {
    char piece[kOverflowReadSize];
    const int n = socket_->Receive(piece, sizeof(piece));
    if (n <= 0 || !ever_started_) return;
    const char* lf = static_cast<const char*>(std::memchr(piece, '\n', static_cast<size_t>(n)));
    const size_t lost = lf == nullptr ? static_cast<size_t>(n) : static_cast<size_t>(lf - piece);
    if (state_ == ClientState::kWaitingHeader && !CountHeaderBytes(lost)) return;
    if (lf == nullptr) return;  // still inside the over-long line: its tail is lost
    const size_t tail = static_cast<size_t>(piece + n - lf);
    std::memcpy(buffer + kReceiveBufferSize - tail, lf, tail);
  } else {
    const int n = socket_->Receive(buffer + receive_len_, kReceiveBufferSize - receive_len_);
    if (n <= 0 || !ever_started_) return;
    receive_len_ += static_cast<size_t>(n);
  }
  buffer[receive_len_] = '\0';
  ProcessReceiveBuffer();
}

// While a document is coming and nothing waits in the line buffer, the body is read
// in large pieces and handed to the body handler as it is. A body of known length is
// never read past its end, so what follows it still goes through the line buffer.
bool HttpClientCore::ReadBodyDirectly() {
  if (!ever_started_ || state_ != ClientState::kWaitingBody ||
      data_handler_ != DataHandler::kBody || request_type_ == httpHEAD || receive_len_ != 0) {
    return false;
  }
  size_t cap = kBodyReadSize;
  if (!IsChunked() && content_length_ >= 0) {
    const int64_t rest = content_length_ - rcvd_count_;
    if (rest <= 0) return false;
    cap = static_cast<size_t>(std::min<int64_t>(rest, static_cast<int64_t>(cap)));
  }
  if (body_buffer_.size() < kBodyReadSize) body_buffer_.resize(kBodyReadSize);
  const int n = socket_->Receive(body_buffer_.data(), cap);
  if (n > 0) BodyPiece(body_buffer_.data(), static_cast<size_t>(n));
  return true;
}

// False, with the answer failed, once the header block passes kMaxHeaderBytes.
bool HttpClientCore::CountHeaderBytes(size_t n) {
  header_bytes_ += n;
  if (header_bytes_ <= kMaxHeaderBytes) return true;
  FailAnswer(kHttpErrBadAnswer);
  return false;
}

void HttpClientCore::ProcessReceiveBuffer() {
  char* buffer = receive_buffer_.data();
  while (receive_len_ > 0) {
    if (state_ == ClientState::kWaitingBody) {
      ProcessBodyBuffer();
      return;
    }
    const char* lf = static_cast<const char*>(std::memchr(buffer, '\n', receive_len_));
    if (lf == nullptr) return;
    const size_t raw_len = static_cast<size_t>(lf - buffer) + 1;
    size_t line_len = raw_len - 1;
    if (line_len > 0 && buffer[line_len - 1] == '\r') --line_len;
    const std::string raw(buffer, raw_len);
    // The line leaves the buffer before anyone sees it: a handler may take the rest
    // of the buffer as body, or empty it.
    receive_len_ -= raw_len;
    std::memmove(buffer, buffer + raw_len, receive_len_);
    buffer[receive_len_] = '\0';
    const std::string line(raw.data(), line_len);
    last_response_ = line;

    if (state_ == ClientState::kWaitingHeader) {
      if (data_handler_ == DataHandler::kHeader) {
        HeaderLine(line, raw.data(), raw.size());
      } else {
        PostSetReady();
      }
    } else if (OnDataPush) {
      OnDataPush(*this, last_data_error_);
    }
  }
}

void HttpClientCore::ProcessBodyBuffer() {
  if (request_type_ == httpHEAD || data_handler_ != DataHandler::kBody) {
    // Some servers send a document after a HEAD answer anyway; it is thrown away
    // with the connection.
    receive_len_ = 0;
    if (request_type_ == httpHEAD && socket_->State() != HttpSocketState::kClosed) {
      socket_->Abort();
    }
    return;
  }
  size_t n = receive_len_;
  if (!IsChunked() && content_length_ >= 0) {
    n = static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(n),
                                              std::max<int64_t>(0, content_length_ - rcvd_count_)));
  }
  BodyPiece(receive_buffer_.data(), n);
  // An abort inside the handlers empties the buffer; what is beyond the document
  // (a next answer on a kept connection) stays for the line handler.
  if (receive_len_ < n) return;
  receive_len_ -= n;
  std::memmove(receive_buffer_.data(), receive_buffer_.data() + n, receive_len_);
  receive_buffer_[receive_len_] = '\0';
  if (receive_len_ > 0 && state_ != ClientState::kWaitingBody) ProcessReceiveBuffer();
}

void HttpClientCore::HeaderLine(const std::string& line, const char* raw, size_t raw_len) {
  if (header_line_count_ == 0) {
    inside_header_ = true;
    Raise(OnHeaderBegin, *this);
    if (Finished()) return;
  } else if (header_line_count_ == -1) {
    header_line_count_ = 0;
  }
  ++header_line_count_;
  if (!CountHeaderBytes(raw_len)) return;

  // (A proxy's answer to CONNECT is never the document: the document comes through TLS.)
  if (header_line_count_ == 1 && !in_connect_ && HttpUpper(line.substr(0, 6)) == "<HTML>") {
    // No header at all: the answer is the document.
    if (content_type_.empty()) content_type_ = "text/html";
    SetState(ClientState::kWaitingBody);
    data_handler_ = DataHandler::kBody;
    inside_header_ = false;
    header_done_ = true;
    Raise(OnHeaderEnd, *this);
    if (Finished()) return;
    // The line keeps its line end: it is part of the document.
    BodyPiece(raw, raw_len);
    return;
  }
  if (line.empty()) {
    HeaderEnd();
    return;
  }
  if (rcvd_header_.size() >= kMaxHeaderLines) {
    FailAnswer(kHttpErrBadAnswer);
    return;
  }
  rcvd_header_.push_back(line);
  if (header_line_count_ == 1) {
    HttpStatusLine status;
    switch (ParseHttpStatusLine(line, status)) {
      case HttpStatusParse::kNotHttp:
        Raise(OnDataPush2, *this);
        break;
      case HttpStatusParse::kBadCode:
        FailAnswer(kHttpErrBadAnswer);
        return;
      case HttpStatusParse::kOk:
        answer_version_ = status.version;
        status_code_ = status.code;
        reason_phrase_ = status.reason;
        break;
    }
  } else if (!HeaderField(line)) {
    return;
  }
  if (Finished()) return;
  Raise(OnHeaderData, *this);
}

bool HttpClientCore::HeaderField(const std::string& line) {
  const size_t colon = line.find(':');
  if (colon == std::string::npos) return true;
  const std::string name = HttpLower(std::string_view(line).substr(0, colon));
  size_t start = colon + 1;
  while (start < line.size() && line[start] == ' ') ++start;
  const std::string value = line.substr(start);

  if (name == "location" && !in_connect_) {
    // A line break or NUL inside the value would pass into the next request line
    // and Host line: such an answer is malformed.
    if (value.find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos) {
      FailAnswer(kHttpErrBadAnswer);
      return false;
    }
    if (request_type_ == httpPUT) {
      location_ = value;
    } else if (follow_relocation_ && !FollowLocation(value)) {
      return false;
    }
  } else if (name == "content-length") {
    content_length_ = ParseHttpContentLength(value);
  } else if (name == "transfer-encoding") {
    transfer_encoding_ = value;
  } else if (name == "content-range") {
    ParseHttpContentRange(value, content_range_begin_, content_range_end_);
  } else if (name == "accept-ranges") {
    accept_ranges_ = value;
  } else if (name == "content-type") {
    content_type_ = HttpLower(value);
  } else if (name == "www-authenticate" || name == "proxy-authenticate") {
    if (auth_challenges_.size() >= kMaxAuthChallenges) {
      FailAnswer(kHttpErrBadAnswer);
      return false;
    }
    auth_challenges_.push_back(value);
  } else if (name == "set-cookie") {
    bool accept = true;
    if (OnCookie) OnCookie(*this, value, accept);
  } else if (name == "connection" || name == "proxy-connection") {
    const std::string v = HttpLower(HttpTrim(value));
    if (v == "close") close_after_response_ = true;
    if (v == "keep-alive") close_after_response_ = false;
  }
  return true;
}

bool HttpClientCore::FollowLocation(const std::string& value) {
  if (relocation_count_ >= kMaxRelocations) return true;
  const std::optional<HttpRelocation> next = ComputeRelocation(value, target_, !proxy_.empty());
  if (!next) return true;
  if (IsSecure(target_.conn_proto) && !IsSecure(next->target.conn_proto)) {
    FailAnswer(kHttpErrInsecureRelocation);
    return false;
  }
  ++relocation_count_;
  relocation_pending_ = true;
  target_ = next->target;
  location_ = target_.location;
  if (!next->username.empty() && !next->password.empty()) {
    username_ = next->username;
    password_ = next->password;
  }
  return true;
}

bool HttpClientCore::IsChunked() const {
  // Transfer codings are case-insensitive and a stray blank is harmless; reading a
  // chunked body as plain bytes would leave the chunk framing in the document.
  return HttpLower(HttpTrim(transfer_encoding_)) == "chunked";
}

void HttpClientCore::HeaderEnd() {
  if (answer_version_ == "1.1" && status_code_ == 100) {
    // An interim answer: the real header follows.
    rcvd_header_.clear();
    header_line_count_ = -1;
    return;
  }
  if (in_connect_) {
    if (status_code_ >= 200 && status_code_ <= 299) {
      in_connect_ = false;
      OpenTunnel();
      return;
    }
    // A 407 is answered by the authentication layer once the answer is read.
    if (status_code_ != 407) {
      FailAnswer(kHttpErrTunnelRefused);
      return;
    }
  }
  inside_header_ = false;
  header_done_ = true;
  Raise(OnHeaderEnd, *this);
  if (Finished()) {
    receive_len_ = 0;
    return;
  }
  const bool no_body =
      (content_length_ == -1 && (status_code_ < 200 || status_code_ == 204 ||
                                 status_code_ == 301 || status_code_ == 302 ||
                                 status_code_ == 304)) ||
      content_length_ == 0 || request_type_ == httpHEAD;
  if (no_body) {
    data_handler_ = DataHandler::kNone;
    // A relocation is followed on a kept connection too, not only after a close.
    if (relocation_pending_) {
      ProceedRelocation();
    } else if (close_after_response_) {
      if (request_type_ == httpHEAD) {
        receive_len_ = 0;
        SetState(ClientState::kWaitingBody);
      }
      socket_->CloseDelayed();
    } else {
      SetReady();
    }
    return;
  }
  if (max_doc_size_ >= 0 && content_length_ > max_doc_size_) {
    FailAnswer(kHttpErrTooLarge);
    return;
  }
  doc_name_ = HttpHtmlDocName(doc_name_, content_type_);
  SetState(ClientState::kWaitingBody);
  data_handler_ = DataHandler::kBody;
  if (receive_len_ > 0) ProcessBodyBuffer();
}

void HttpClientCore::BodyPiece(const char* data, size_t len) {
  if (body_piece_count_ == 0) {
    chunk_decoder_.Reset();
    Raise(OnDocBegin, *this);
    if (Finished()) return;
  }
  ++body_piece_count_;
  if (!IsChunked()) {
    if (len > 0) {
      rcvd_count_ += static_cast<int64_t>(len);
      if (!WriteDocData(data, len)) return;
    }
    if (rcvd_count_ == content_length_) EndDocument();
    return;
  }
  const ChunkDecoder::Status status =
      chunk_decoder_.Feed(data, len, [this](const char* run, size_t n) {
        rcvd_count_ += static_cast<int64_t>(n);
        return WriteDocData(run, n);
      });
  if (Finished()) return;
  if (status == ChunkDecoder::Status::kBadSize) {
    FailAnswer(kHttpErrBadAnswer);
  } else if (status == ChunkDecoder::Status::kFinished) {
    EndDocument();
  }
}

bool HttpClientCore::WriteDocData(const char* data, size_t len) {
  if (max_doc_size_ >= 0 && rcvd_count_ > max_doc_size_) {
    FailAnswer(kHttpErrTooLarge);
    return false;
  }
  if (doc_stream_ != nullptr && !doc_stream_->WriteAll(data, len)) {
    FailAnswer(kHttpErrDocWrite);
    return false;
  }
  if (OnDocData) OnDocData(*this, data, len);
  return !Finished();
}

void HttpClientCore::EndDocument() {
  body_piece_count_ = 0;
  data_handler_ = DataHandler::kNone;
  SetState(ClientState::kBodyReceived);
  Raise(OnDocEnd, *this);
  if (Finished()) return;
  FinishAnswer();
}

void HttpClientCore::FinishAnswer() {
  if (relocation_pending_) {
    ProceedRelocation();
  } else if (close_after_response_) {
    // Ready once the connection has closed: OnSessionClosed comes before
    // OnRequestDone.
    socket_->CloseDelayed();
  } else {
    SetReady();
  }
}

// ---------------------------------------------------------------------------
// Closing, relocations, abort

void HttpClientCore::SocketSessionClosed(uint16_t error) {
  if (ignore_socket_close_) return;
  if (close_to_relocation_) {
    RelocationAfterClose(error);
    return;
  }
  CloseHandler(error);
}

void HttpClientCore::CloseHandler(uint16_t error) {
  close_handled_ = true;
  if (error != 0) err_code_ = error;
  connected_ = false;
  tunnel_open_ = false;
  proxy_connected_ = false;
  connect_pending_ = false;
  sending_body_ = false;
  if (login_pending_ && state_ == ClientState::kNotConnected) {
    Raise(OnSessionClosed, *this);
    return;
  }
  const bool following = relocation_pending_ && state_ != ClientState::kAborting;

  if (inside_header_) {
    inside_header_ = false;
    Raise(OnHeaderEnd, *this);
    if (following) {
      RelocationAfterClose(error);
      return;
    }
    // The answer broke off inside its header: the request still ends, with an error.
    if (err_code_ == 0) err_code_ = kHttpErrCutShort;
    Raise(OnSessionClosed, *this);
    if (state_ != ClientState::kReady) PostSetReady();
    return;
  }

  bool cut_short = false;
  if (body_piece_count_ > 0) {
    cut_short = IsChunked() ? !chunk_decoder_.finished()
                            : (content_length_ >= 0 && rcvd_count_ < content_length_);
    body_piece_count_ = 0;
    data_handler_ = DataHandler::kNone;
    Raise(OnDocEnd, *this);
  } else if (state_ == ClientState::kWaitingBody && data_handler_ == DataHandler::kBody) {
    cut_short = IsChunked() || content_length_ > 0;
  } else if (!header_done_ && (state_ == ClientState::kConnected ||
                               state_ == ClientState::kWaitingHeader)) {
    cut_short = true;  // the request went out and no answer came
  }
  if (following) {
    RelocationAfterClose(error);
    return;
  }
  if (cut_short && err_code_ == 0 && state_ != ClientState::kReady) err_code_ = kHttpErrCutShort;
  Raise(OnSessionClosed, *this);
  if (state_ != ClientState::kReady) PostSetReady();
}

void HttpClientCore::ProceedRelocation() {
  if (!SameConnection() || close_after_response_ ||
      socket_->State() != HttpSocketState::kConnected) {
    close_to_relocation_ = true;
    if (socket_->State() == HttpSocketState::kClosed) {
      RelocationAfterClose(0);
    } else {
      socket_->CloseDelayed();
    }
    return;
  }
  Raise(OnLocationChange, *this);
  if (Finished()) return;
  RewindStreams();
  ResetRequestState(true, true);
  doc_name_ = HttpDocName(target_.request_path);
  if (request_type_ == httpPOST) request_type_ = httpGET;
  SetState(ClientState::kNotConnected);
  PostLogin();
}

void HttpClientCore::RelocationAfterClose(uint16_t /*error*/) {
  close_to_relocation_ = false;
  close_handled_ = true;
  connected_ = false;
  proxy_connected_ = false;
  relocation_pending_ = false;
  if (request_type_ == httpPOST) request_type_ = httpGET;
  Raise(OnLocationChange, *this);
  if (Finished()) return;
  RewindStreams();
  ResetRequestState(true, true);
  doc_name_ = HttpDocName(target_.request_path);
  if (!proxy_.empty()) target_.conn_port = proxy_conn_port_;
  receive_len_ = 0;
  SetState(ClientState::kNotConnected);
  PostLogin();
}

void HttpClientCore::RewindStreams() {
  if (doc_stream_ != nullptr && rcvd_count_ > 0) {
    doc_stream_->SetSize(std::max<int64_t>(0, doc_stream_->Size() - rcvd_count_));
    doc_stream_->Seek(doc_stream_->Size());
  }
  if (post_stream_ != nullptr && sent_count_ > 0) {
    post_stream_->Seek(post_stream_->Position() - sent_count_);
  }
}

void HttpClientCore::StartNewAttempt() {
  RewindStreams();
  receive_len_ = 0;
  ResetRequestState(true, true);
  SetState(ClientState::kNotConnected);
  PostLogin();
}

// A protocol fault of the answer (or a document that cannot be stored): the
// connection is dropped and the request ends with the code.
void HttpClientCore::FailAnswer(uint16_t err_code) {
  err_code_ = err_code;
  relocation_pending_ = false;
  receive_len_ = 0;
  CloseSocketAndFinish(0);
}

void HttpClientCore::CloseSocketAndFinish(uint16_t error) {
  if (socket_->State() != HttpSocketState::kClosed) {
    ignore_socket_close_ = true;
    socket_->Abort();
    ignore_socket_close_ = false;
  }
  CloseHandler(error);
}

void HttpClientCore::Abort() {
  if (state_ == ClientState::kReady) {
    if (socket_->State() != HttpSocketState::kClosed) socket_->Abort();
    status_code_ = 200;
    reason_phrase_ = "OK";
    err_code_ = 0;
    Raise(OnStateChange, *this);
    RaiseRequestDone(request_type_, 0);
    return;
  }
  const bool was_lookup = state_ == ClientState::kDnsLookup;
  SetState(ClientState::kAborting);
  try {
    socket_->CancelDnsLookup();
  } catch (const std::exception&) {
  }
  status_code_ = 404;
  reason_phrase_ = "Connection aborted on request";
  err_code_ = kHttpErrAborted;
  relocation_pending_ = false;
  close_to_relocation_ = false;
  sending_body_ = false;
  connect_pending_ = false;
  receive_len_ = 0;
  close_handled_ = false;
  if (!was_lookup && socket_->State() != HttpSocketState::kClosed) socket_->Abort();
  if (!close_handled_) CloseHandler(0);
  SetReady();
}

void HttpClientCore::StartClose() {
  request_type_ = httpCLOSE;
  status_code_ = 200;
  reason_phrase_ = "OK";
  err_code_ = 0;
  SetState(ClientState::kClosing);
  if (socket_->State() != HttpSocketState::kClosed) {
    socket_->CloseDelayed();
  } else {
    SetReady();
  }
}

// ---------------------------------------------------------------------------
// State and private messages

void HttpClientCore::SetState(ClientState state) {
  if (state_ == state) return;
  state_ = state;
  Raise(OnStateChange, *this);
  if (state != ClientState::kReady) return;
  if (AuthCheckOnReady()) return;
  PostRequestDone();
}

void HttpClientCore::PostSetReady() {
  poster_->PostClientMessage(kHttpMsgSetReady, generation_, 0);
}

void HttpClientCore::PostRequestDone() {
  poster_->PostClientMessage(kHttpMsgRequestDone, request_type_, err_code_);
}

void HttpClientCore::RaiseRequestDone(THttpRequest request, uint16_t err_code) {
  if (OnRequestDone) OnRequestDone(*this, request, err_code);
}

void HttpClientCore::HandleClientMessage(unsigned msg, uintptr_t wparam, intptr_t lparam) {
  switch (msg) {
    case kHttpMsgRequestDone:
      RaiseRequestDone(static_cast<THttpRequest>(wparam), static_cast<uint16_t>(lparam));
      return;
    case kHttpMsgSetReady:
      if (wparam == generation_) SetReady();
      return;
    case kHttpMsgLogin:
      if (wparam == generation_ && !Finished()) Login();
      return;
    case kHttpMsgConnectCheck:
      if (wparam == generation_) ConnectCheck();
      return;
    default:
      return;
  }
}

}  // namespace parlix
