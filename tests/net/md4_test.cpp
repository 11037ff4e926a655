#include "net/md4.h"

#include <gtest/gtest.h>

#include <string>

#include "net/hex_util.h"

namespace parlix {
namespace {

using testing::ToHex;

struct Md4Case {
  std::string input;
  const char* digest;
};

// The test suite of RFC 1320, appendix A.5.
const Md4Case kRfc1320[] = {
    {"", "31d6cfe0d16ae931b73c59d7e0c089c0"},
    {"a", "bde52cb31de33e46245e05fbdbd6fb24"},
    {"abc", "a448017aaf21d8525fc10ae87aa6729d"},
    {"message digest", "d9130a8164549fe818874806e1c7014b"},
    {"abcdefghijklmnopqrstuvwxyz", "d79e1c308aa5bbcdeea8ed63df412da9"},
    {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
     "043f8582f241db351ce627e153e7f0e4"},
    {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
     "e33b4ddc9c38f2199c3e7b164fcc0536"},
};

TEST(Md4, Rfc1320Vectors) {
  for (const Md4Case& c : kRfc1320) {
    SCOPED_TRACE(c.input);
    EXPECT_EQ(ToHex(Md4Of(c.input)), c.digest);
  }
}

// However the input is cut into updates (across the 64-byte block edge and the
// 56-byte padding edge), the digest is the one of the whole.
TEST(Md4, AnySplitOfTheInputGivesTheSameDigest) {
  std::string input;
  for (int i = 0; i < 130; ++i) input.push_back(static_cast<char>(i * 7 + 3));
  for (size_t len : {55u, 56u, 63u, 64u, 65u, 119u, 120u, 128u, 130u}) {
    const std::string whole = input.substr(0, len);
    const Md4Digest expected = Md4Of(whole);
    for (size_t cut = 0; cut <= len; cut += 9) {
      Md4 md4;
      md4.Init();
      md4.Update(whole.substr(0, cut));
      md4.Update(whole.substr(cut));
      EXPECT_EQ(md4.Final(), expected) << "length " << len << " cut " << cut;
    }
  }
}

// The NT password hash of NTLM is MD4 over UTF-16LE; "SecREt01" is the
// password of the widely published NTLM worked example.
TEST(Md4, NtPasswordHashOfThePublishedExample) {
  const std::string wide("S\0e\0c\0R\0E\0t\0\x30\0\x31\0", 16);
  EXPECT_EQ(ToHex(Md4Of(wide)), "cd06ca7c7e10c99b1d33b7485a2ed808");
}

TEST(Md4, UseWithoutInitRaises) {
  Md4 md4;
  try {
    md4.Update("x");
    FAIL() << "Update without Init";
  } catch (const MD4Exception& e) {
    EXPECT_STREQ(e.what(), "MD4 not initialized");
  }
  EXPECT_THROW(md4.Final(), MD4Exception);
  md4.Init();
  md4.Update("abc");
  EXPECT_EQ(ToHex(md4.Final()), "a448017aaf21d8525fc10ae87aa6729d");
  // Final ends the digest: it must be started again.
  EXPECT_THROW(md4.Update("abc"), MD4Exception);
}

}  // namespace
}  // namespace parlix
