// A scripted stand-in for the system's TLS package, for the native tests and the
// fuzzer. Records are framed as on the wire but not encrypted: a type byte ('H'
// handshake, 'D' data, 'R' a post-handshake message, 'C' close-notify) and a
// two-byte length. The client speaks first, the server answers one 'H' record, and
// the client's second token ends the handshake. After 'R' the next 'H' record goes
// back to the handshake, as SChannel asks for with SEC_I_RENEGOTIATE.
#pragma once

#include <memory>
#include <string>

#include "net/http_auth.h"
#include "net/http_fake_socket.h"
#include "net/tls_security.h"
#include "net/tls_socket.h"

namespace parlix::testing {

inline std::string TlsRec(char type, const std::string& payload) {
  return std::string{type, static_cast<char>(payload.size() >> 8), static_cast<char>(payload.size() & 0xFF)} +
         payload;
}
inline std::string ServerHello() { return TlsRec('H', "server-hello"); }
inline std::string TlsData(const std::string& text) { return TlsRec('D', text); }
inline std::string PostHandshakeMessage() { return TlsRec('R', "") + TlsRec('H', "ticket"); }
inline std::string CloseNotify() { return TlsRec('C', ""); }

// The size of the whole record at the start of `in`, or 0 while it is incomplete.
inline size_t WholeRecord(std::string_view in) {
  if (in.size() < 3) return 0;
  const size_t len = 3 + ((static_cast<unsigned char>(in[1]) << 8) | static_cast<unsigned char>(in[2]));
  return in.size() >= len ? len : 0;
}

// The texts of the 'D' records in `wire` (what the client sent), joined.
inline std::string TlsSentText(const std::string& wire) {
  std::string text;
  for (size_t at = 0, len; (len = WholeRecord(std::string_view(wire).substr(at))) != 0; at += len) {
    if (wire[at] == 'D') text += wire.substr(at + 3, len - 3);
  }
  return text;
}

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
      return {TlsStep::kContinue, TlsRec('H', "client-hello:" + host), 0};
    }
    r.consumed = WholeRecord(input);
    if (r.consumed == 0) return {TlsStep::kIncomplete, "", 0};
    if (input[0] != 'H' || (state_ == 1 && script_.refuse_server_hello)) return {TlsStep::kFailed, "", 0};
    r.step = TlsStep::kDone;
    if (state_ == 1) r.output = TlsRec('H', "client-finished");
    state_ = 2;
    return r;
  }

  TlsDecryptResult Decrypt(char* data, size_t size) override {
    TlsDecryptResult r;
    r.consumed = WholeRecord(std::string_view(data, size));
    if (r.consumed == 0) {
      r.status = TlsRecord::kIncomplete;
      return r;
    }
    const char type = data[0];
    r.status = type == 'D' ? TlsRecord::kData
               : type == 'R' ? TlsRecord::kRenegotiate
               : type == 'C' ? TlsRecord::kClosed
                             : TlsRecord::kFailed;
    if (type == 'D') {
      r.plain_offset = 3;
      r.plain_size = r.consumed - 3;
    }
    return r;
  }

  size_t MaxMessage() const override { return script_.max_message; }
  bool Encrypt(std::string_view plain, std::string& record) override {
    record = TlsRec('D', std::string(plain));
    return plain.size() <= script_.max_message;
  }
  TlsVerdict Verify(const std::string&) override { return script_.verdict; }

 private:
  FakeTlsScript& script_;
  int state_ = 0;
};

// A client over the TLS layer over the fake socket, with its loop, script and document.
struct TlsRig {
  FakeLoop loop;
  FakeSocket tcp{loop};
  FakeTlsScript script;
  TlsSocket tls{tcp, [this] { return std::make_unique<FakeTlsSecurity>(script); }};
  LoopClient<HttpAuthClient> cli{loop, tls};
  HttpMemoryStream doc;
  int done = 0;
  uint16_t err = 0xFFFF;

  TlsRig() {
    tcp.SetCore(&tls);
    tls.SetEvents(&cli);
    tcp.dns["localhost"] = {0, "127.0.0.1"};
    cli.SetDocStream(&doc);
    cli.OnRequestDone = [this](HttpClientCore&, THttpRequest, uint16_t e) {
      ++done;
      err = e;
    };
  }
  // Each runs the loop until nothing is left to do: false when it would never end.
  bool Get(const std::string& url) {
    cli.SetURL(url);
    cli.StartGet();
    return loop.RunUntilIdle();
  }
  // The server's bytes in reads of `piece` bytes each.
  bool Play(const std::string& bytes, size_t piece = 1 << 20) {
    for (size_t at = 0; at < bytes.size(); at += piece) tcp.Deliver(bytes.substr(at, piece));
    return loop.RunUntilIdle();
  }
  bool Hangup() {
    tcp.PeerClose();
    return loop.RunUntilIdle();
  }
};

}  // namespace parlix::testing
