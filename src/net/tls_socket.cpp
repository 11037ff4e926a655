#include "net/tls_socket.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace parlix {

namespace {

uint16_t VerdictCode(TlsVerdict verdict) {
  switch (verdict) {
    case TlsVerdict::kOk: return 0;
    case TlsVerdict::kUntrusted: return kTlsErrUntrusted;
    case TlsVerdict::kWrongName: return kTlsErrWrongName;
    case TlsVerdict::kExpired: return kTlsErrExpired;
    case TlsVerdict::kOldProtocol:
    case TlsVerdict::kFailed: break;
  }
  return kTlsErrFailed;
}

}  // namespace

TlsSocket::TlsSocket(HttpSocket& inner, TlsSecurityFactory factory)
    : inner_(inner), factory_(std::move(factory)) {}

TlsSocket::~TlsSocket() = default;

void TlsSocket::Reset(Mode mode) {
  mode_ = mode;
  security_.reset();
  in_begin_ = in_end_ = 0;
  need_more_ = false;
  plain_.clear();
  plain_pos_ = 0;
  queued_send_.clear();
  steps_ = 0;
  first_step_ = true;
}

HttpSocketState TlsSocket::State() const {
  const HttpSocketState state = inner_.State();
  if (state == HttpSocketState::kConnected && (mode_ == Mode::kAwaitTcp || mode_ == Mode::kHandshake)) {
    return HttpSocketState::kOpening;
  }
  return state;
}

void TlsSocket::Connect(const HttpConnectParams& params) {
  Reset(params.tls_host.empty() ? Mode::kPlain : Mode::kAwaitTcp);
  swallow_close_ = false;
  host_ = params.tls_host;
  inner_.Connect(params);
}

void TlsSocket::StartTls(const std::string& host, const std::string& early) {
  if (inner_.State() != HttpSocketState::kConnected) throw std::runtime_error("not connected");
  Reset(Mode::kPlain);
  host_ = host;
  if (early.size() > kInputBufferSize) throw std::runtime_error("too much before the handshake");
  EnsureInput();
  std::memcpy(in_.get(), early.data(), early.size());
  in_end_ = early.size();
  BeginHandshake();
}

void TlsSocket::Close() {
  Reset(Mode::kPlain);
  inner_.Close();
}

void TlsSocket::Abort() {
  Reset(Mode::kPlain);
  inner_.Abort();
}

// ---------------------------------------------------------------------------
// Handshake

void TlsSocket::SocketSessionConnected(uint16_t error) {
  if (mode_ != Mode::kAwaitTcp || error != 0) {
    if (error != 0) Reset(Mode::kPlain);
    upper_->SocketSessionConnected(error);
    return;
  }
  BeginHandshake();
}

void TlsSocket::BeginHandshake() {
  security_ = factory_ ? factory_() : nullptr;
  EnsureInput();
  if (!security_) {
    FailHandshake(kTlsErrFailed);
    return;
  }
  mode_ = Mode::kHandshake;
  steps_ = 0;
  first_step_ = true;
  RunHandshake();
}

void TlsSocket::RunHandshake() {
  while (Handshaking()) {
    // The first step of the handshake speaks first; later ones answer input.
    const bool opening = first_step_ && mode_ == Mode::kHandshake;
    if (!opening && InSize() == 0) return;
    if (++steps_ > kMaxHandshakeSteps) {
      if (mode_ == Mode::kHandshake) {
        FailHandshake(kTlsErrFailed);
      } else {
        FailRecord();
      }
      return;
    }
    first_step_ = false;
    TlsHandshakeResult r =
        security_->Handshake(host_, opening ? std::string_view() : std::string_view(InData(), InSize()));
    need_more_ = r.step == TlsStep::kIncomplete;
    if (need_more_) {
      --steps_;  // waiting for more bytes costs nothing
      return;
    }
    if (r.step == TlsStep::kFailed) {
      if (mode_ == Mode::kHandshake) {
        FailHandshake(kTlsErrFailed);
      } else {
        FailRecord();
      }
      return;
    }
    if (!opening) Consume(r.consumed);
    if (!r.output.empty()) inner_.Send(r.output.data(), r.output.size());
    if (r.step == TlsStep::kDone) {
      HandshakeDone();
      return;
    }
  }
}

void TlsSocket::HandshakeDone() {
  if (mode_ == Mode::kRenegotiating) {
    mode_ = Mode::kData;
    if (!queued_send_.empty()) {
      std::string queued;
      queued.swap(queued_send_);
      SendRecords(queued.data(), queued.size());
    }
    ProcessRecords();
    return;
  }
  const uint16_t code = VerdictCode(security_->Verify(host_));
  if (code != 0) {
    FailHandshake(code);
    return;
  }
  mode_ = Mode::kData;
  upper_->SocketSessionConnected(0);
  ProcessRecords();
}

// The client hears of the failure as a connect that failed with the code, and drops
// the connection itself; whatever the server sends meanwhile is ignored.
void TlsSocket::FailHandshake(uint16_t code) {
  mode_ = Mode::kFailed;
  security_.reset();
  in_begin_ = in_end_ = 0;
  upper_->SocketSessionConnected(code);
}

// After the handshake the client is past its connect: a broken record ends the
// connection as a close with the code, so the answer so far is not taken as whole.
void TlsSocket::FailRecord() {
  Reset(Mode::kFailed);
  swallow_close_ = true;
  inner_.Abort();
  Reset(Mode::kPlain);
  upper_->SocketSessionClosed(kTlsErrFailed);
}

// ---------------------------------------------------------------------------
// Records

void TlsSocket::SocketDataAvailable(uint16_t error) {
  if (mode_ == Mode::kPlain) {
    upper_->SocketDataAvailable(error);
    return;
  }
  ReadInner();
  if (Handshaking()) {
    RunHandshake();
  } else if (mode_ == Mode::kData) {
    ProcessRecords();
  }
  if ((Handshaking() || mode_ == Mode::kData) && InSize() == kInputBufferSize && need_more_) {
    // Full, and still no whole record in it.
    if (mode_ == Mode::kHandshake) {
      FailHandshake(kTlsErrFailed);
    } else {
      FailRecord();
    }
  }
}

void TlsSocket::ReadInner() {
  const bool keep = Handshaking() || mode_ == Mode::kData;
  if (!keep) {
    // A connection given up: what still comes is read and dropped, a bounded amount a
    // notice, so a peer that floods cannot keep the thread here.
    char sink[4096];
    for (size_t dropped = 0; dropped < kInputBufferSize; dropped += sizeof(sink)) {
      if (inner_.Receive(sink, sizeof(sink)) <= 0) break;
    }
    return;
  }
  for (;;) {
    if (in_begin_ > 0 && (in_begin_ == in_end_ || in_end_ == kInputBufferSize)) {
      std::memmove(in_.get(), InData(), InSize());
      in_end_ -= in_begin_;
      in_begin_ = 0;
    }
    const size_t room = kInputBufferSize - in_end_;
    if (room == 0) return;
    const int n = inner_.Receive(in_.get() + in_end_, room);
    if (n <= 0) return;
    in_end_ += static_cast<size_t>(n);
  }
}

// Made on the first secure connection and kept: plain connections never need it.
void TlsSocket::EnsureInput() {
  if (!in_) in_.reset(new char[kInputBufferSize]);
}

void TlsSocket::Consume(size_t n) {
  in_begin_ += std::min(n, InSize());
  if (in_begin_ == in_end_) in_begin_ = in_end_ = 0;
}

void TlsSocket::AppendPlain(const char* text, size_t n) {
  if (plain_pos_ > 0) {
    plain_.erase(0, plain_pos_);
    plain_pos_ = 0;
  }
  plain_.append(text, n);
}

// Whole records are decrypted up to a batch and handed over together; a close, a
// handshake message or a broken record is acted on once the text before it is given.
void TlsSocket::ProcessRecords() {
  while (mode_ == Mode::kData) {
    TlsRecord stop = TlsRecord::kData;
    need_more_ = false;
    while (plain_.size() - plain_pos_ < kPlainBatch && InSize() > 0) {
      TlsDecryptResult r = security_->Decrypt(InData(), InSize());
      if (r.status == TlsRecord::kIncomplete) {
        need_more_ = true;
        break;
      }
      if (r.status == TlsRecord::kData && r.consumed == 0) r.status = TlsRecord::kFailed;  // it would never end
      if (r.plain_offset > r.consumed || r.plain_size > r.consumed - r.plain_offset) r.status = TlsRecord::kFailed;
      if (r.status != TlsRecord::kFailed) AppendPlain(InData() + r.plain_offset, r.plain_size);
      Consume(r.consumed);
      if (r.status != TlsRecord::kData) {
        stop = r.status;
        break;
      }
    }
    Deliver();
    if (mode_ != Mode::kData) return;
    switch (stop) {
      case TlsRecord::kFailed:
        FailRecord();
        return;
      case TlsRecord::kClosed:
        // No more records may follow; the close of the connection ends the answer.
        mode_ = Mode::kPeerClosed;
        in_begin_ = in_end_ = 0;
        inner_.CloseDelayed();
        return;
      case TlsRecord::kRenegotiate:
        mode_ = Mode::kRenegotiating;
        RunHandshake();
        return;
      default:
        // The client reads no more now, or nothing whole is left.
        if (plain_pos_ < plain_.size() || need_more_ || InSize() == 0) return;
        break;
    }
  }
}

// The client reads a piece at each notice, as from a socket; it is told again while
// text waits and it keeps taking some.
void TlsSocket::Deliver() {
  while (plain_pos_ < plain_.size()) {
    const size_t before = plain_pos_;
    upper_->SocketDataAvailable(0);
    if (plain_pos_ == before) return;
  }
  plain_.clear();
  plain_pos_ = 0;
}

int TlsSocket::Receive(char* buffer, size_t size) {
  if (mode_ == Mode::kPlain) return inner_.Receive(buffer, size);
  const size_t n = std::min(size, plain_.size() - plain_pos_);
  if (n > 0) std::memcpy(buffer, plain_.data() + plain_pos_, n);
  plain_pos_ += n;
  return static_cast<int>(n);
}

void TlsSocket::Send(const char* data, size_t len) {
  switch (mode_) {
    case Mode::kPlain:
      inner_.Send(data, len);
      return;
    case Mode::kData:
      SendRecords(data, len);
      return;
    case Mode::kRenegotiating:
      if (queued_send_.size() + len > kMaxQueuedSend) throw std::runtime_error("TLS send queue full");
      queued_send_.append(data, len);
      return;
    default:
      throw std::runtime_error("no secure session to send on");
  }
}

void TlsSocket::SendRecords(const char* data, size_t len) {
  const size_t max = std::max<size_t>(1, security_->MaxMessage());
  std::string wire;
  std::string record;
  for (size_t at = 0; at < len; at += max) {
    const size_t n = std::min(max, len - at);
    if (!security_->Encrypt(std::string_view(data + at, n), record)) {
      throw std::runtime_error("TLS encryption refused");
    }
    wire += record;
  }
  if (!wire.empty()) inner_.Send(wire.data(), wire.size());
}

void TlsSocket::SocketDataSent(uint16_t error) {
  // The handshake's own tokens leaving are no business of the client's.
  if (mode_ == Mode::kPlain || mode_ == Mode::kData) upper_->SocketDataSent(error);
}

void TlsSocket::SocketSessionClosed(uint16_t error) {
  if (swallow_close_) {
    swallow_close_ = false;
    return;
  }
  const Mode mode = mode_;
  if (mode == Mode::kData || mode == Mode::kPeerClosed) Deliver();
  Reset(Mode::kPlain);
  // A server that hangs up in the middle of the handshake: the client is still
  // waiting for its connect.
  if (mode == Mode::kAwaitTcp || mode == Mode::kHandshake) upper_->SocketSessionConnected(kTlsErrFailed);
  upper_->SocketSessionClosed(error);
}

}  // namespace parlix
