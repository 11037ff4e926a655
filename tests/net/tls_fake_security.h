// A scripted stand-in for the system's TLS package, for the native tests and the
// fuzzer. Records are framed as on the wire but not encrypted: a type byte ('H'
// handshake, 'D' data, 'R' a post-handshake message, 'C' close-notify) and a
// two-byte length. The client speaks first, the server answers one 'H' record, and
// the client's second token ends the handshake. After 'R' the next 'H' record goes
// back to the handshake, as SChannel asks for with SEC_I_RENEGOTIATE.
#pragma once

#include <string>

#include "net/tls_security.h"

namespace parlix::testing {

inline std::string TlsRec(char type, const std::string& payload) {
  std::string r(1, type);
  r += static_cast<char>((payload.size() >> 8) & 0xFF);
  r += static_cast<char>(payload.size() & 0xFF);
  return r + payload;
}

// What the scripted server sends.
inline std::string ServerHello() { return TlsRec('H', "server-hello"); }
inline std::string TlsData(const std::string& text) { return TlsRec('D', text); }
inline std::string PostHandshakeMessage() { return TlsRec('R', "") + TlsRec('H', "ticket"); }
inline std::string CloseNotify() { return TlsRec('C', ""); }

struct FakeTlsScript {
  TlsVerdict verdict = TlsVerdict::kOk;
  bool refuse_server_hello = false;
  size_t max_message = 16384;
  int contexts = 0;  // made so far
};

class FakeTlsSecurity : public TlsSecurity {
 public:
  explicit FakeTlsSecurity(FakeTlsScript& script) : script_(script) { ++script_.contexts; }

  TlsHandshakeResult Handshake(const std::string& host, std::string_view input) override {
    TlsHandshakeResult r;
    if (state_ == 0) {
      state_ = 1;
      r.step = TlsStep::kContinue;
      r.output = TlsRec('H', "client-hello:" + host);
      return r;
    }
    size_t len = 0;
    if (!Whole(input, len)) {
      r.step = TlsStep::kIncomplete;
      return r;
    }
    if (input[0] != 'H' || (state_ == 1 && script_.refuse_server_hello)) {
      r.step = TlsStep::kFailed;
      return r;
    }
    r.consumed = len;
    r.step = TlsStep::kDone;
    if (state_ == 1) r.output = TlsRec('H', "client-finished");
    state_ = 2;
    return r;
  }

  TlsDecryptResult Decrypt(char* data, size_t size) override {
    const std::string_view input(data, size);
    TlsDecryptResult r;
    size_t len = 0;
    if (!Whole(input, len)) {
      r.status = TlsRecord::kIncomplete;
      return r;
    }
    r.consumed = len;
    switch (input[0]) {
      case 'D':
        r.status = TlsRecord::kData;
        r.plain_offset = 3;
        r.plain_size = len - 3;
        break;
      case 'R': r.status = TlsRecord::kRenegotiate; break;
      case 'C': r.status = TlsRecord::kClosed; break;
      default: r.status = TlsRecord::kFailed; break;
    }
    return r;
  }

  size_t MaxMessage() const override { return script_.max_message; }

  bool Encrypt(std::string_view plain, std::string& record) override {
    if (plain.size() > script_.max_message) return false;
    record = TlsRec('D', std::string(plain));
    return true;
  }

  TlsVerdict Verify(const std::string&) override { return script_.verdict; }

 private:
  static bool Whole(std::string_view in, size_t& len) {
    if (in.size() < 3) return false;
    len = 3 + ((static_cast<unsigned char>(in[1]) << 8) | static_cast<unsigned char>(in[2]));
    return in.size() >= len;
  }

  FakeTlsScript& script_;
  int state_ = 0;
};

// The texts of the 'D' records in `wire` (what the client sent), joined.
inline std::string TlsSentText(const std::string& wire) {
  std::string text;
  size_t at = 0;
  while (at + 3 <= wire.size()) {
    const size_t len = (static_cast<unsigned char>(wire[at + 1]) << 8) | static_cast<unsigned char>(wire[at + 2]);
    if (wire[at] == 'D') text += wire.substr(at + 3, len);
    at += 3 + len;
  }
  return text;
}

}  // namespace parlix::testing
