// TlsSocket: TLS between the HTTP client and its TCP socket, driven by the same
// socket events (no thread, nothing blocks). Until it is asked for TLS it passes
// everything through, so a plain connection behaves exactly as without it. The
// security package sits behind TlsSecurity; the certificate is checked by the
// program itself after the handshake, on every system, because some SChannel
// implementations accept any certificate.
#pragma once

#include <memory>
#include <string>

#include "net/http_socket.h"
#include "net/tls_security.h"

namespace parlix {

class TlsSocket final : public HttpSocket, public HttpSocketEvents {
 public:
  // Undecrypted input held at most. A record carries at most 16 KiB of text plus a few
  // hundred bytes of framing, so a peer whose record does not fit is not speaking TLS;
  // the room beyond one record lets one read of the socket take many records, as each
  // read costs a round trip through the platform's socket layer.
  static constexpr size_t kInputBufferSize = 256 * 1024;
  // Decrypted text handed to the client in one go: the client writes the document in
  // pieces of what it is given.
  static constexpr size_t kPlainBatch = 256 * 1024;
  // Productive handshake steps of one connection, renegotiations included. A TLS 1.2
  // handshake takes three; a peer that keeps the exchange going is refused.
  static constexpr int kMaxHandshakeSteps = 32;
  // Plain text queued while a post-handshake message is handled: the client sends at
  // most its request header and one body piece before it waits.
  static constexpr size_t kMaxQueuedSend = 256 * 1024;

  TlsSocket(HttpSocket& inner, TlsSecurityFactory factory);
  ~TlsSocket() override;
  TlsSocket(const TlsSocket&) = delete;
  TlsSocket& operator=(const TlsSocket&) = delete;

  // Where the events go; set once before the first request.
  void SetEvents(HttpSocketEvents* upper) { upper_ = upper; }
  bool Secure() const { return mode_ == Mode::kData; }

  // HttpSocket, for the client.
  HttpSocketState State() const override;
  void DnsLookup(const std::string& host) override { inner_.DnsLookup(host); }
  void CancelDnsLookup() override { inner_.CancelDnsLookup(); }
  std::string DnsResult() const override { return inner_.DnsResult(); }
  void Connect(const HttpConnectParams& params) override;
  int LastError() const override { return inner_.LastError(); }
  void Send(const char* data, size_t len) override;
  int Receive(char* buffer, size_t size) override;
  void Close() override;
  void CloseDelayed() override { inner_.CloseDelayed(); }
  void Abort() override;
  void SetMultiThreaded(bool on) override { inner_.SetMultiThreaded(on); }
  void StartTls(const std::string& host, const std::string& early) override;

  // HttpSocketEvents, from the TCP socket.
  void SocketDnsLookupDone(uint16_t error) override { upper_->SocketDnsLookupDone(error); }
  void SocketSessionConnected(uint16_t error) override;
  void SocketDataAvailable(uint16_t error) override;
  void SocketDataSent(uint16_t error) override;
  void SocketSessionClosed(uint16_t error) override;
  void SocketError() override { upper_->SocketError(); }

 private:
  enum class Mode : uint8_t {
    kPlain,          // no TLS on this connection (yet)
    kAwaitTcp,       // TLS starts when the TCP connection stands
    kHandshake,
    kData,
    kRenegotiating,  // a handshake message arrived after the handshake
    kPeerClosed,     // close-notify received; the rest is the close
    kFailed,         // reported; waiting for the client to drop the connection
  };

  void Reset(Mode mode);
  void BeginHandshake();
  void RunHandshake();
  void HandshakeDone();
  void ProcessRecords();
  void Deliver();
  void ReadInner();
  void Consume(size_t n);
  char* InData() { return in_.get() + in_begin_; }
  void EnsureInput();
  size_t InSize() const { return in_end_ - in_begin_; }
  void AppendPlain(const char* text, size_t n);
  void SendRecords(const char* data, size_t len);
  void FailHandshake(uint16_t code);
  void FailRecord();
  bool Handshaking() const { return mode_ == Mode::kHandshake || mode_ == Mode::kRenegotiating; }

  HttpSocket& inner_;
  TlsSecurityFactory factory_;
  HttpSocketEvents* upper_ = nullptr;
  std::unique_ptr<TlsSecurity> security_;
  Mode mode_ = Mode::kPlain;
  std::string host_;
  std::unique_ptr<char[]> in_;  // received, not yet decrypted: [in_begin_, in_end_)
  size_t in_begin_ = 0;
  size_t in_end_ = 0;
  bool need_more_ = false;  // the last step found only part of a record
  std::string plain_;  // decrypted, not yet read by the client
  size_t plain_pos_ = 0;
  std::string queued_send_;
  int steps_ = 0;
  bool first_step_ = true;
  bool swallow_close_ = false;  // the connection was dropped here and its close reported
};

}  // namespace parlix
