// What the TLS layer needs of the system's security package: one client context
// per connection, driven step by step. Windows fills it with SChannel
// (tls_schannel_win.h); the tests with a scripted fake, so the record and
// handshake logic runs natively under the sanitizers and the fuzzer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace parlix {

enum class TlsStep : uint8_t {
  kContinue,    // send `output`, then wait for more of the server's handshake
  kIncomplete,  // the input holds part of a record: nothing consumed, read more
  kDone,        // handshake finished; send `output` if any
  kFailed,
};

struct TlsHandshakeResult {
  TlsStep step = TlsStep::kFailed;
  std::string output;  // token for the server
  size_t consumed = 0; // input bytes used; the rest is the next record's
};

enum class TlsRecord : uint8_t {
  kData,         // the record's text (possibly none) is in place
  kIncomplete,   // part of a record: nothing consumed, read more
  kRenegotiate,  // a handshake message after the handshake: the bytes after `consumed` go to Handshake
  kClosed,       // the server's close-notify
  kFailed,
};

struct TlsDecryptResult {
  TlsRecord status = TlsRecord::kFailed;
  // The record's text, decrypted in place: [data + plain_offset, + plain_size).
  size_t plain_offset = 0;
  size_t plain_size = 0;
  size_t consumed = 0;
};

enum class TlsVerdict : uint8_t { kOk, kUntrusted, kWrongName, kExpired, kOldProtocol, kFailed };

class TlsSecurity {
 public:
  virtual ~TlsSecurity() = default;
  // One handshake step for `host`; the first call has no input.
  virtual TlsHandshakeResult Handshake(const std::string& host, std::string_view input) = 0;
  // Decrypts the first record of [data, data + len), in place: the bytes may be
  // overwritten.
  virtual TlsDecryptResult Decrypt(char* data, size_t len) = 0;
  // The largest text one record may carry (the caller splits).
  virtual size_t MaxMessage() const = 0;
  // One record carrying `plain`; false when the context refuses.
  virtual bool Encrypt(std::string_view plain, std::string& record) = 0;
  // After the handshake: the server's certificate for `host` and the protocol.
  virtual TlsVerdict Verify(const std::string& host) = 0;
};

using TlsSecurityFactory = std::function<std::unique_ptr<TlsSecurity>()>;

}  // namespace parlix
