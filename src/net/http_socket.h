// What the HTTP client needs of its socket and of its own message window. The
// Windows client fills these with TWSocket and a hidden window; the tests with a
// scripted fake that plays a server byte by byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>

namespace parlix {

enum class HttpSocketState { kClosed, kOpening, kConnected };

// Everything the socket is given before it connects.
struct HttpConnectParams {
  std::string addr;
  std::string port;
  std::string proto = "tcp";
  std::string local_addr;
  std::string socks_server;
  std::string socks_level;
  std::string socks_port;
  std::string socks_usercode;
  std::string socks_password;
  bool socks_authentication = false;
  // Set for a secure connection: the socket speaks TLS to this host once the TCP
  // connection stands, and reports the session connected only when the handshake
  // is done and the certificate checked. Empty: plain TCP.
  std::string tls_host;
};

// Codes a socket reports for a secure connection that failed, beside the Windows
// Sockets numbers (which start at 10000).
inline constexpr uint16_t kTlsErrUntrusted = 11;  // the certificate chain is not trusted
inline constexpr uint16_t kTlsErrWrongName = 12;  // the certificate is for another host
inline constexpr uint16_t kTlsErrExpired = 13;    // the certificate is outside its dates
// The handshake, the negotiated protocol (older than TLS 1.2) or a record failed.
inline constexpr uint16_t kTlsErrFailed = 14;

inline bool IsTlsError(uint16_t code) { return code >= kTlsErrUntrusted && code <= kTlsErrFailed; }

// The socket's events come back through HttpClientCore::Socket* calls, always from
// the message loop or from inside DnsLookup (a dotted address completes at once),
// Close and Abort (which report the close before they return). Never from Send.
class HttpSocket {
 public:
  virtual ~HttpSocket() = default;

  virtual HttpSocketState State() const = 0;
  // Starts a lookup; may throw when it cannot even start.
  virtual void DnsLookup(const std::string& host) = 0;
  virtual void CancelDnsLookup() = 0;
  virtual std::string DnsResult() const = 0;
  // Sets the connection values and starts connecting; may throw.
  virtual void Connect(const HttpConnectParams& params) = 0;
  virtual int LastError() const = 0;
  virtual void Send(const char* data, size_t len) = 0;
  // Bytes read (0 when none is waiting), negative on error.
  virtual int Receive(char* buffer, size_t size) = 0;
  virtual void Close() = 0;
  // Closes later, from the message loop.
  virtual void CloseDelayed() = 0;
  virtual void Abort() = 0;
  virtual void SetMultiThreaded(bool on) = 0;
  // Starts TLS to `host` on the open connection (through a proxy's tunnel); `early`
  // holds bytes already read past the proxy's answer. The outcome comes as a
  // session-connected event. A socket without TLS raises.
  virtual void StartTls(const std::string& /*host*/, const std::string& /*early*/) {
    throw std::runtime_error("this socket speaks no TLS");
  }
};

// Where a socket's events go: the HTTP client, or a layer between them (TLS).
class HttpSocketEvents {
 public:
  virtual ~HttpSocketEvents() = default;
  virtual void SocketDnsLookupDone(uint16_t error) = 0;
  virtual void SocketSessionConnected(uint16_t error) = 0;
  virtual void SocketDataAvailable(uint16_t error) = 0;
  virtual void SocketDataSent(uint16_t error) = 0;
  virtual void SocketSessionClosed(uint16_t error) = 0;
  virtual void SocketError() = 0;
};

// The client's private messages, posted to its own window so that they are handled
// from the message loop after the current handler has returned.
enum HttpClientMessage : unsigned {
  kHttpMsgRequestDone = 0x401,  // wparam: request kind, lparam: ErrCode
  kHttpMsgSetReady = 0x402,     // wparam: request generation
  kHttpMsgLogin = 0x403,        // wparam: request generation
  kHttpMsgConnectCheck = 0x404, // wparam: request generation
};

class HttpMessagePoster {
 public:
  virtual ~HttpMessagePoster() = default;
  virtual void PostClientMessage(unsigned msg, uintptr_t wparam, intptr_t lparam) = 0;
};

}  // namespace parlix
