#include "net/ntlm.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "net/hex_util.h"
#include "net/mime_util.h"

namespace parlix {
namespace {

using namespace parlix::testing;

const NtlmChallenge kChallenge = {0x01, 0x23, 0x45, 0x67, 0x89, 0xab, 0xcd, 0xef};

uint32_t ReadLe16(const std::string& m, size_t at) {
  return static_cast<uint8_t>(m[at]) | static_cast<uint32_t>(static_cast<uint8_t>(m[at + 1])) << 8;
}
uint32_t ReadLe32(const std::string& m, size_t at) { return ReadLe16(m, at) | ReadLe16(m, at + 2) << 16; }

std::string Buffer(uint32_t length, uint32_t offset) {
  return Le16(length) + Le16(length) + Le32(offset);
}
std::string Wide(const std::string& s) {
  std::string out;
  for (char c : s) out += {c, '\0'};
  return out;
}
std::string AvPair(uint16_t type, const std::string& value) {
  return Le16(type) + Le16(static_cast<uint32_t>(value.size())) + value;
}

// A challenge message as a server writes it: 48-byte header, the target name,
// then the target information.
std::string Challenge(const std::string& target, const std::string& info) {
  std::string m("NTLMSSP\0", 8);
  m += Le32(2);
  m += Buffer(static_cast<uint32_t>(target.size()), 48);
  m += Le32(0x00810201);  // Unicode, NTLM, target type domain, target info
  m += std::string(reinterpret_cast<const char*>(kChallenge.data()), 8);
  m += std::string(8, '\0');
  m += Buffer(static_cast<uint32_t>(info.size()), static_cast<uint32_t>(48 + target.size()));
  return m + target + info;
}

std::string StandardChallenge() {
  return Challenge(Wide("DOMAIN"), AvPair(2, Wide("DOMAIN")) + AvPair(1, Wide("SERVER")) +
                                       AvPair(4, Wide("domain.com")) + AvPair(0, ""));
}

// The standard challenge with bytes laid over it from `at` on.
std::string PatchedChallenge(size_t at, const std::string& bytes) {
  std::string m = StandardChallenge();
  m.replace(at, bytes.size(), bytes);
  return m;
}

// Everything a parsed challenge holds, for one comparison.
using Parsed = std::tuple<bool, NtlmChallenge, std::u16string, std::u16string, std::u16string>;
Parsed Contents(const NtlmChallengeInfo& i) {
  return {i.valid, i.challenge, i.target_name, i.server_name, i.domain_name};
}

// Header fields as {offset, value}, read as 16- or 32-bit little-endian numbers.
using Fields = std::vector<std::pair<size_t, uint32_t>>;
void ExpectFields(const std::string& m, const Fields& le16, const Fields& le32) {
  for (const auto& [at, v] : le16) EXPECT_EQ(ReadLe16(m, at), v) << "16 bits at " << at;
  for (const auto& [at, v] : le32) EXPECT_EQ(ReadLe32(m, at), v) << "32 bits at " << at;
}

TEST(NtlmMessage1, TheBare32BytesTheClientSends) {
  const std::string raw = NtlmBuildMessage1();
  ASSERT_EQ(raw.size(), 32u);
  EXPECT_EQ(raw.substr(0, 8), std::string("NTLMSSP\0", 8));
  ExpectFields(raw, {}, {{8, 1}, {12, 0x00008207u}});
  EXPECT_EQ(raw.substr(16), std::string(16, '\0'));
  EXPECT_EQ(NtlmGetMessage1(), "TlRMTVNTUAABAAAAB4IAAAAAAAAAAAAAAAAAAAAAAAA=");
}

TEST(NtlmMessage1, NamesWhenGivenAreUpperCasedAndFlagged) {
  const std::string raw = NtlmBuildMessage1("corp", "pc-7");
  ASSERT_EQ(raw.size(), 40u);
  ExpectFields(raw, {{16, 4}, {24, 4}}, {{12, 0x00008207u | 0x1000u | 0x2000u}, {20, 32}, {28, 36}});
  EXPECT_EQ(raw.substr(32), "CORPPC-7");
}

// The worked example published with the protocol's reverse-engineered
// documentation: password "SecREt01", challenge 0123456789abcdef.
TEST(NtlmResponses, PublishedWorkedExample) {
  EXPECT_EQ(ToHex(NtlmLmHash("SecREt01")), "ff3750bcc2b22412c2265b23734e0dac");
  EXPECT_EQ(ToHex(NtlmNtHash("SecREt01")), "cd06ca7c7e10c99b1d33b7485a2ed808");
  EXPECT_EQ(ToHex(NtlmResponse(NtlmLmHash("SecREt01"), kChallenge)),
            "c337cd5cbd44fc9782a667af6d427c6de67c20c2d3e77c56");
  EXPECT_EQ(ToHex(NtlmResponse(NtlmNtHash("SecREt01"), kChallenge)),
            "25a98c1c31e81847466b29b2df4680f39958fb8c213a9cc6");
}

TEST(NtlmResponses, LmHashUpperCasesAsciiOnlyAndCutsAt14) {
  EXPECT_EQ(NtlmLmHash("secret01"), NtlmLmHash("SECRET01"));
  EXPECT_EQ(NtlmLmHash("abcdefghijklmnXYZ"), NtlmLmHash("ABCDEFGHIJKLMN"));
  // Bytes above 127 are left as they are: 0xe9 and 0xc9 stay different.
  EXPECT_NE(NtlmLmHash("caf\xe9"), NtlmLmHash("CAF\xc9"));
  // An empty password: both halves are the null-key constant.
  EXPECT_EQ(ToHex(NtlmLmHash("")), "aad3b435b51404eeaad3b435b51404ee");
  // The NT hash keeps case and length.
  EXPECT_NE(NtlmNtHash("secret01"), NtlmNtHash("SECRET01"));
  EXPECT_EQ(ToHex(NtlmNtHash("")), "31d6cfe0d16ae931b73c59d7e0c089c0");
}

TEST(NtlmResponses, DesKeySpreadsSevenBytesOverEightWithParityCleared) {
  const uint8_t ones[7] = {0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff};
  EXPECT_EQ(ToHex(NtlmDesKey(ones)), "fefefefefefefefe");
  const uint8_t seq[7] = {0x01, 0x23, 0x45, 0x67, 0x89, 0xab, 0xcd};
  // k0; k0<<7|k1>>1; k1<<6|k2>>2; ... ; k6<<1, low bit cleared.
  EXPECT_EQ(ToHex(NtlmDesKey(seq)), "0090d0ac784cae9a");
}

TEST(NtlmMessage3, LayoutAndContents) {
  const std::string raw = NtlmBuildMessage3("", "user", "HOST", "SecREt01", kChallenge);
  ASSERT_GE(raw.size(), 64u);
  EXPECT_EQ(raw.substr(0, 8), std::string("NTLMSSP\0", 8));
  // Domain (empty) at 64, user right after, workstation after the user; then the
  // LM and NT responses.
  ExpectFields(raw, {{28, 0}, {36, 8}, {38, 8}, {44, 8}, {12, 24}, {14, 24}, {20, 24}},
               {{8, 3}, {60, 0x00008205u}, {32, 64}, {40, 64}, {48, 72}, {16, 80}, {24, 104}});
  EXPECT_EQ(raw.substr(52, 8), std::string(8, '\0'));
  ASSERT_EQ(raw.size(), 128u);
  EXPECT_EQ(raw.substr(64, 8), Wide("user"));  // not upper-cased
  EXPECT_EQ(raw.substr(72, 8), Wide("HOST"));
  EXPECT_EQ(ToHex(raw.substr(80, 24)), "c337cd5cbd44fc9782a667af6d427c6de67c20c2d3e77c56");
  EXPECT_EQ(ToHex(raw.substr(104, 24)), "25a98c1c31e81847466b29b2df4680f39958fb8c213a9cc6");
  EXPECT_EQ(NtlmGetMessage3("", "user", "HOST", "SecREt01", kChallenge), Base64Encode(raw));
}

TEST(NtlmMessage3, DomainAndEmptyWorkstation) {
  const std::string raw = NtlmBuildMessage3("ab", "u", "", "p", kChallenge);
  ASSERT_EQ(raw.size(), 64u + 4 + 2 + 48);
  EXPECT_EQ(raw.substr(64, 4), Wide("ab"));
  ExpectFields(raw, {{28, 4}, {44, 0}}, {{40, 68}, {48, 70}, {16, 70}, {24, 94}});
}

TEST(NtlmMessage2, ReadsChallengeTargetAndTargetInfo) {
  EXPECT_EQ(Contents(NtlmGetMessage2(Base64Encode(StandardChallenge()))),
            Parsed(true, kChallenge, u"DOMAIN", u"SERVER", u"DOMAIN"));
}

TEST(NtlmMessage2, ShortFormsThatAreStillUsable) {
  // 32 bytes, as old servers send: no target information at all.
  const std::string full = StandardChallenge();
  std::string old = full.substr(0, 32);
  old.replace(12, 8, Buffer(0, 0));
  EXPECT_EQ(Contents(NtlmParseMessage2(old)), Parsed(true, kChallenge, u"", u"", u""));
  // Target information without the terminating entry ends with the data.
  EXPECT_EQ(Contents(NtlmParseMessage2(Challenge("", AvPair(1, Wide("S1"))))),
            Parsed(true, kChallenge, u"", u"S1", u""));
}

// What a proxy in common use sends: the 40-byte header without the target
// information fields (flags 0x8207, no 0x00800000), the target name "WORKGROUP"
// after it, and 0xAAAAAAAE in the target name's offset.
const char kSquidChallengeHex[] =
    "4e544c4d535350000200000009000900aeaaaaaa0782000079b10b15a397604a"
    "0000000000003a00574f524b47524f5550";
const NtlmChallenge kSquidChallenge = {0x79, 0xb1, 0x0b, 0x15, 0xa3, 0x97, 0x60, 0x4a};

TEST(NtlmMessage2, ChallengesFromServersInTheField) {
  const std::string squid = HexToBytes(kSquidChallengeHex);
  ASSERT_EQ(squid.size(), 49u);
  // Bytes 40-47 are the start of "WORKGROUP", not target information, and the
  // target name points nowhere: only the challenge counts.
  EXPECT_EQ(Contents(NtlmParseMessage2(squid)), Parsed(true, kSquidChallenge, u"", u"", u""));
  // The same server once it announces target information (flag 0x00800000) in
  // a 48-byte header, with the target name and a real block after it.
  std::string with_info = squid.substr(0, 40);
  with_info.replace(12, 8, Buffer(18, 48));
  with_info.replace(20, 4, Le32(0x00808207));
  const std::string block = AvPair(2, Wide("WORKGROUP")) + AvPair(1, Wide("PROXY")) + AvPair(0, "");
  with_info += Buffer(static_cast<uint32_t>(block.size()), 66);
  with_info += Wide("WORKGROUP") + block;
  EXPECT_EQ(Contents(NtlmParseMessage2(with_info)),
            Parsed(true, kSquidChallenge, u"WORKGROUP", u"PROXY", u"WORKGROUP"));
  // Without the flag the same fields are not read at all.
  with_info.replace(20, 4, Le32(0x00008207));
  EXPECT_EQ(Contents(NtlmParseMessage2(with_info)), Parsed(true, kSquidChallenge, u"WORKGROUP", u"", u""));
}

// Optional buffers that point outside the message, or target information that
// is malformed, cost the names, never the challenge; every read stays inside
// the message (the sanitizers watch).
TEST(NtlmMessage2, UnusableNamesAreReadAsEmpty) {
  const std::string good = StandardChallenge();
  const auto with = PatchedChallenge;
  const std::vector<std::pair<const char*, std::string>> cases = {
      {"target name offset past the end", with(12, Buffer(12, 5000))},
      {"target name length past the end", with(12, Buffer(0xFFFF, 48))},
      {"target name offset overflowing", with(12, Buffer(12, 0xFFFFFFF0u))},
      {"target info offset past the end", with(40, Buffer(4, 0xFFFFFFFFu))},
      {"target info length past the end",
       with(40, Buffer(static_cast<uint32_t>(good.size() - 60 + 1), 60))},
      {"cut at 44 bytes: header too short for the target info fields", good.substr(0, 44)},
  };
  for (const auto& [name, raw] : cases) {
    SCOPED_TRACE(name);
    const NtlmChallengeInfo info = NtlmParseMessage2(raw);
    EXPECT_EQ(std::pair(info.valid, info.challenge), std::pair(true, kChallenge));
  }
  const std::string broken = Challenge("", AvPair(1, Wide("S1")) + std::string("\x02\x00\xff\x00", 4));
  EXPECT_EQ(Contents(NtlmParseMessage2(broken)), Parsed(true, kChallenge, u"", u"S1", u""));
}

TEST(NtlmMessage2, MalformedMessagesAreRefused) {
  const std::string good = StandardChallenge();
  const auto with = PatchedChallenge;
  const std::vector<std::pair<const char*, std::string>> cases = {
      {"empty", ""},
      {"31 bytes: the challenge is cut", good.substr(0, 31)},
      {"squid's message cut inside the challenge", HexToBytes(kSquidChallengeHex).substr(0, 30)},
      {"wrong signature", with(0, "NTLMSSX")},
      {"type 1", with(8, Le32(1))},
      {"type 3", with(8, Le32(3))},
      // Target information laid over the header would be read from the
      // challenge and flags themselves.
      {"target info at offset 0", with(40, Buffer(8, 0))},
      {"target info at offset 24", with(40, Buffer(8, 24))},
      {"target info at offset 47", with(40, Buffer(1, 47))},
  };
  for (const auto& [name, raw] : cases) {
    SCOPED_TRACE(name);
    EXPECT_EQ(Contents(NtlmParseMessage2(raw)), Parsed());
  }
  // An empty block may carry any offset: nothing is read.
  EXPECT_TRUE(NtlmParseMessage2(with(40, Buffer(0, 0))).valid);
}

TEST(NtlmMessage2, TextThatIsNoChallenge) {
  EXPECT_FALSE(NtlmGetMessage2("").valid);
  EXPECT_FALSE(NtlmGetMessage2("!!!!").valid);
  EXPECT_FALSE(NtlmGetMessage2(NtlmGetMessage1()).valid);
  // Only the first 1000 characters are read: a challenge padded beyond that is cut.
  EXPECT_TRUE(NtlmGetMessage2(Base64Encode(StandardChallenge()) + std::string(2000, 'A')).valid);
}

// Every truncation and every single-byte change of a good challenge parses
// without reading outside the message.
TEST(NtlmMessage2, AnyCutOrFlippedByteIsSafe) {
  const std::string good = StandardChallenge();
  for (size_t len = 0; len <= good.size(); ++len) {
    const NtlmChallengeInfo info = NtlmParseMessage2(good.substr(0, len));
    if (info.valid) {
      EXPECT_EQ(info.challenge, kChallenge);
    }
  }
  for (size_t at = 0; at < good.size(); ++at)
    for (int v : {0x00, 0x7f, 0xff}) {
      std::string m = good;
      m[at] = static_cast<char>(v);
      (void)NtlmParseMessage2(m);
    }
}

}  // namespace
}  // namespace parlix
