// NTLM (version 1) messages for HTTP authentication: the negotiate message the
// client opens with, the server's challenge, and the authenticate message with the
// LM and NT responses. Each message travels base64-encoded after "NTLM " in an
// (Proxy-)Authorization or (Proxy-)Authenticate field.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "net/des.h"

namespace parlix {

inline constexpr uint32_t kNtlmFlagsNegotiate = 0x00008207;
inline constexpr uint32_t kNtlmFlagsAuthenticate = 0x00008205;
inline constexpr uint32_t kNtlmFlagDomainSupplied = 0x00001000;
inline constexpr uint32_t kNtlmFlagWorkstationSupplied = 0x00002000;
inline constexpr uint32_t kNtlmFlagUnicode = 0x00000001;
inline constexpr uint32_t kNtlmFlagTargetInfo = 0x00800000;

using NtlmChallenge = std::array<uint8_t, 8>;

// What the client keeps from the server's challenge. Only `challenge` is used to
// answer; the names are kept as the server sent them.
struct NtlmChallengeInfo {
  bool valid = false;
  std::u16string target_name;
  std::u16string server_name;
  std::u16string domain_name;
  NtlmChallenge challenge{};
};

// Raw negotiate message. With names given they are appended upper-cased (OEM) and
// flagged; the HTTP client passes none and sends the bare 32 bytes.
std::string NtlmBuildMessage1(std::string_view domain = {}, std::string_view workstation = {});
// The same, base64-encoded, as it follows "NTLM ".
std::string NtlmGetMessage1(std::string_view domain = {}, std::string_view workstation = {});

// Parses a raw challenge message. A wrong signature or type, a message too short
// for the challenge, or target information laid over the header give
// valid == false. Names the client does not need (a buffer reaching past the end,
// a malformed target information entry) are read as empty instead. Nothing is
// read out of bounds.
NtlmChallengeInfo NtlmParseMessage2(std::string_view raw);
// The base64 text after "NTLM "; empty text is not valid.
NtlmChallengeInfo NtlmGetMessage2(std::string_view base64);

// Raw authenticate message and its base64 form. The domain, user and workstation
// are widened byte by byte to UTF-16LE, as the client has no code-page tables here.
std::string NtlmBuildMessage3(std::string_view domain, std::string_view user,
                              std::string_view workstation, std::string_view password,
                              const NtlmChallenge& challenge);
std::string NtlmGetMessage3(std::string_view domain, std::string_view user,
                            std::string_view workstation, std::string_view password,
                            const NtlmChallenge& challenge);

// The pieces of the responses, public for the known-answer tests.
DesBlock NtlmDesKey(const uint8_t* seven);
std::array<uint8_t, 16> NtlmLmHash(std::string_view password);
std::array<uint8_t, 16> NtlmNtHash(std::string_view password);
// Three DES encryptions of the challenge, keyed by the 16-byte hash padded to 21.
std::array<uint8_t, 24> NtlmResponse(const std::array<uint8_t, 16>& hash,
                                     const NtlmChallenge& challenge);

}  // namespace parlix
