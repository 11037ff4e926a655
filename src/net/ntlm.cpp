#include "net/ntlm.h"

#include <algorithm>

#include "net/md4.h"
#include "net/mime_util.h"

namespace parlix {
namespace {

constexpr char kSignature[8] = {'N', 'T', 'L', 'M', 'S', 'S', 'P', '\0'};
constexpr size_t kMessage1Size = 32;
constexpr size_t kMessage3HeaderSize = 64;
// A challenge must at least reach the end of its 8-byte challenge field.
constexpr size_t kChallengeMinSize = 32;
// The challenge header with the target information buffer's fields.
constexpr size_t kChallengeHeaderSize = 48;
// The length fields are 16 bits; longer texts are cut so the fields stay true.
constexpr size_t kMaxFieldBytes = 0xFFFE;
// What follows "NTLM " in a challenge field is read up to this many characters.
constexpr size_t kMaxChallengeText = 1000;

void PutLe16(std::string& msg, size_t at, uint32_t v) {
  msg[at] = static_cast<char>(v & 0xFF);
  msg[at + 1] = static_cast<char>((v >> 8) & 0xFF);
}

void PutLe32(std::string& msg, size_t at, uint32_t v) {
  PutLe16(msg, at, v & 0xFFFF);
  PutLe16(msg, at + 2, v >> 16);
}

// Security buffer: 16-bit length, 16-bit maximum length (the same), 32-bit offset.
void PutBuffer(std::string& msg, size_t at, size_t length, size_t offset) {
  PutLe16(msg, at, static_cast<uint32_t>(length));
  PutLe16(msg, at + 2, static_cast<uint32_t>(length));
  PutLe32(msg, at + 4, static_cast<uint32_t>(offset));
}

uint32_t GetLe16(std::string_view msg, size_t at) {
  return static_cast<uint8_t>(msg[at]) | static_cast<uint32_t>(static_cast<uint8_t>(msg[at + 1])) << 8;
}

uint32_t GetLe32(std::string_view msg, size_t at) {
  return GetLe16(msg, at) | GetLe16(msg, at + 2) << 16;
}

std::string UpperAscii(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return out;
}

std::string Widen(std::string_view s) {
  std::string out;
  out.reserve(s.size() * 2);
  for (char c : s) {
    out.push_back(c);
    out.push_back('\0');
  }
  return out.substr(0, std::min(out.size(), kMaxFieldBytes));
}

std::u16string FromUtf16Le(std::string_view bytes) {
  std::u16string out;
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    out.push_back(static_cast<char16_t>(GetLe16(bytes, i)));
  }
  return out;
}

// The bytes an optional security buffer at `at` names. A buffer that reaches past
// the message is read as empty: the client needs only the challenge and the flags,
// and servers people use send garbage offsets for empty names (one proxy puts
// 0xAAAAAAAE in the target name's offset).
std::string_view ReadOptionalBuffer(std::string_view msg, size_t at) {
  if (msg.size() < at + 8) return {};
  const size_t length = GetLe16(msg, at);
  const size_t offset = GetLe32(msg, at + 4);
  if (offset > msg.size() || length > msg.size() - offset) return {};
  return msg.substr(offset, length);
}

// Target information: entries of 16-bit type, 16-bit length and that many bytes,
// up to a terminating entry of type 0 or the end of the block. An entry that
// claims more bytes than remain ends the reading; the names are not needed to
// answer, so they never cost the challenge.
void ReadTargetInfo(std::string_view info, NtlmChallengeInfo& out) {
  size_t pos = 0;
  while (info.size() - pos >= 4) {
    const uint32_t type = GetLe16(info, pos);
    const size_t length = GetLe16(info, pos + 2);
    pos += 4;
    if (type == 0 || length > info.size() - pos) return;
    const std::string_view value = info.substr(pos, length);
    if (type == 1) out.server_name = FromUtf16Le(value);
    if (type == 2) out.domain_name = FromUtf16Le(value);
    pos += length;
  }
}

}  // namespace

// Negotiate message:
//
// | Offset | Size | Field                                              |
// |--------|------|----------------------------------------------------|
// | 0      | 8    | "NTLMSSP\0"                                        |
// | 8      | 4    | 1 (message type)                                   |
// | 12     | 4    | flags 0x00008207 (+0x1000 domain, +0x2000 station) |
// | 16     | 8    | domain buffer (OEM, upper case)                    |
// | 24     | 8    | workstation buffer (OEM, upper case)               |
// | 32     | ...  | domain, then workstation, when given               |
std::string NtlmBuildMessage1(std::string_view domain, std::string_view workstation) {
  const std::string dom = UpperAscii(domain.substr(0, std::min(domain.size(), kMaxFieldBytes)));
  const std::string host =
      UpperAscii(workstation.substr(0, std::min(workstation.size(), kMaxFieldBytes)));
  std::string msg(kMessage1Size, '\0');
  std::copy(std::begin(kSignature), std::end(kSignature), msg.begin());
  PutLe32(msg, 8, 1);
  uint32_t flags = kNtlmFlagsNegotiate;
  if (!dom.empty()) {
    flags |= kNtlmFlagDomainSupplied;
    PutBuffer(msg, 16, dom.size(), kMessage1Size);
  }
  if (!host.empty()) {
    flags |= kNtlmFlagWorkstationSupplied;
    PutBuffer(msg, 24, host.size(), kMessage1Size + dom.size());
  }
  PutLe32(msg, 12, flags);
  return msg + dom + host;
}

std::string NtlmGetMessage1(std::string_view domain, std::string_view workstation) {
  return Base64Encode(NtlmBuildMessage1(domain, workstation));
}

// Challenge message, as read:
//
// | Offset | Size | Field                                                |
// |--------|------|------------------------------------------------------|
// | 0      | 8    | "NTLMSSP\0"                                          |
// | 8      | 4    | 2 (message type)                                     |
// | 12     | 8    | target name buffer (length at 12, offset at 16)      |
// | 20     | 4    | flags                                                |
// | 24     | 8    | server challenge                                     |
// | 32     | 8    | context (not read)                                   |
// | 40     | 8    | target information buffer (length at 40, offset 44), |
// |        |      | only with flag 0x00800000                            |
//
// Older servers send only the first 32 bytes (no target information), and some
// send the 40-byte header with the target name right after it: both are usable.
// The target information fields exist only when the flags announce them
// (kNtlmFlagTargetInfo) and the header is long enough to hold them.
NtlmChallengeInfo NtlmParseMessage2(std::string_view raw) {
  NtlmChallengeInfo info;
  if (raw.size() < kChallengeMinSize) return info;
  if (!std::equal(std::begin(kSignature), std::end(kSignature), raw.begin())) return info;
  if (GetLe32(raw, 8) != 2) return info;
  const uint32_t flags = GetLe32(raw, 20);
  if ((flags & kNtlmFlagTargetInfo) != 0 && raw.size() >= kChallengeHeaderSize) {
    const size_t info_length = GetLe16(raw, 40);
    const size_t info_offset = GetLe32(raw, 44);
    // Target information laid over the header would be read from the challenge
    // and the flags themselves: a message built like that is no honest server's.
    if (info_length > 0 && info_offset < kChallengeHeaderSize) return info;
    ReadTargetInfo(ReadOptionalBuffer(raw, 40), info);
  }
  const std::string_view target = ReadOptionalBuffer(raw, 12);
  if ((flags & kNtlmFlagUnicode) != 0) {
    info.target_name = FromUtf16Le(target);
  } else {
    for (char c : target) info.target_name.push_back(static_cast<char16_t>(static_cast<uint8_t>(c)));
  }
  for (size_t i = 0; i < 8; ++i) info.challenge[i] = static_cast<uint8_t>(raw[24 + i]);
  info.valid = true;
  return info;
}

NtlmChallengeInfo NtlmGetMessage2(std::string_view base64) {
  if (base64.empty()) return {};
  return NtlmParseMessage2(Base64Decode(base64.substr(0, std::min(base64.size(), kMaxChallengeText))));
}

DesBlock NtlmDesKey(const uint8_t* k) {
  DesBlock key = {
      k[0],
      static_cast<uint8_t>(k[0] << 7 | k[1] >> 1),
      static_cast<uint8_t>(k[1] << 6 | k[2] >> 2),
      static_cast<uint8_t>(k[2] << 5 | k[3] >> 3),
      static_cast<uint8_t>(k[3] << 4 | k[4] >> 4),
      static_cast<uint8_t>(k[4] << 3 | k[5] >> 5),
      static_cast<uint8_t>(k[5] << 2 | k[6] >> 6),
      static_cast<uint8_t>(k[6] << 1),
  };
  for (uint8_t& b : key) b &= 0xFE;
  return key;
}

std::array<uint8_t, 16> NtlmLmHash(std::string_view password) {
  std::array<uint8_t, 14> pw{};
  const std::string upper = UpperAscii(password.substr(0, std::min<size_t>(password.size(), 14)));
  std::copy(upper.begin(), upper.end(), pw.begin());
  static constexpr DesBlock kMagic = {'K', 'G', 'S', '!', '@', '#', '$', '%'};
  const DesBlock first = DesEncrypt(NtlmDesKey(pw.data()), kMagic);
  const DesBlock second = DesEncrypt(NtlmDesKey(pw.data() + 7), kMagic);
  std::array<uint8_t, 16> hash{};
  std::copy(first.begin(), first.end(), hash.begin());
  std::copy(second.begin(), second.end(), hash.begin() + 8);
  return hash;
}

std::array<uint8_t, 16> NtlmNtHash(std::string_view password) {
  std::string wide;
  wide.reserve(password.size() * 2);
  for (char c : password) {
    wide.push_back(c);
    wide.push_back('\0');
  }
  Md4 md4;
  md4.Init();
  md4.Update(wide);
  return md4.Final();
}

std::array<uint8_t, 24> NtlmResponse(const std::array<uint8_t, 16>& hash,
                                     const NtlmChallenge& challenge) {
  std::array<uint8_t, 21> keys{};
  std::copy(hash.begin(), hash.end(), keys.begin());
  const DesBlock plain = challenge;
  std::array<uint8_t, 24> out{};
  for (size_t i = 0; i < 3; ++i) {
    const DesBlock part = DesEncrypt(NtlmDesKey(keys.data() + 7 * i), plain);
    std::copy(part.begin(), part.end(), out.begin() + 8 * i);
  }
  return out;
}

// Authenticate message:
//
// | Offset | Size | Field                                                    |
// |--------|------|----------------------------------------------------------|
// | 0      | 8    | "NTLMSSP\0"                                              |
// | 8      | 4    | 3 (message type)                                         |
// | 12     | 8    | LM response buffer (24), after the workstation           |
// | 20     | 8    | NT response buffer (24), after the LM response           |
// | 28     | 8    | domain buffer, offset 64                                 |
// | 36     | 8    | user buffer, after the domain                            |
// | 44     | 8    | workstation buffer, after the user                       |
// | 52     | 8    | session key buffer, all 0                                |
// | 60     | 4    | flags 0x00008205                                         |
// | 64     | ...  | domain, user, workstation (UTF-16LE), LM, NT responses   |
std::string NtlmBuildMessage3(std::string_view domain, std::string_view user,
                              std::string_view workstation, std::string_view password,
                              const NtlmChallenge& challenge) {
  const std::string dom = Widen(domain);
  const std::string usr = Widen(user);
  const std::string host = Widen(workstation);
  const auto lm = NtlmResponse(NtlmLmHash(password), challenge);
  const auto nt = NtlmResponse(NtlmNtHash(password), challenge);

  const size_t dom_off = kMessage3HeaderSize;
  const size_t usr_off = dom_off + dom.size();
  const size_t host_off = usr_off + usr.size();
  const size_t lm_off = host_off + host.size();
  const size_t nt_off = lm_off + lm.size();

  std::string msg(kMessage3HeaderSize, '\0');
  std::copy(std::begin(kSignature), std::end(kSignature), msg.begin());
  PutLe32(msg, 8, 3);
  PutBuffer(msg, 12, lm.size(), lm_off);
  PutBuffer(msg, 20, nt.size(), nt_off);
  PutBuffer(msg, 28, dom.size(), dom_off);
  PutBuffer(msg, 36, usr.size(), usr_off);
  PutBuffer(msg, 44, host.size(), host_off);
  PutLe32(msg, 60, kNtlmFlagsAuthenticate);
  msg += dom;
  msg += usr;
  msg += host;
  msg.append(lm.begin(), lm.end());
  msg.append(nt.begin(), nt.end());
  return msg;
}

std::string NtlmGetMessage3(std::string_view domain, std::string_view user,
                            std::string_view workstation, std::string_view password,
                            const NtlmChallenge& challenge) {
  return Base64Encode(NtlmBuildMessage3(domain, user, workstation, password, challenge));
}

}  // namespace parlix
