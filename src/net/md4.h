// MD4 message digest (RFC 1320). NTLM needs it for the NT password hash; it is
// far too weak for anything else.
#pragma once

#include <array>
#include <cstdint>
#include <stdexcept>
#include <string_view>

namespace parlix {

class MD4Exception : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

using Md4Digest = std::array<uint8_t, 16>;

class Md4 {
 public:
  void Init();
  // Both raise MD4Exception "MD4 not initialized" unless Init came first; Final
  // leaves the object uninitialised again.
  void Update(std::string_view data);
  Md4Digest Final();

 private:
  void Transform(const uint8_t* block);

  bool initialized_ = false;
  std::array<uint32_t, 4> state_{};
  uint64_t length_ = 0;  // bytes taken so far
  std::array<uint8_t, 64> buffer_{};
};

// The digest of one byte string, as 16 raw bytes.
Md4Digest Md4Of(std::string_view data);

}  // namespace parlix
