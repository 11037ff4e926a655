#include <gtest/gtest.h>

#include <random>
#include <string>

#include "net/mime_util.h"

namespace parlix {
namespace {

TEST(Base64, KnownAnswers) {
  EXPECT_EQ(Base64Encode(""), "");
  EXPECT_EQ(Base64Encode("a"), "YQ==");
  EXPECT_EQ(Base64Encode("ab"), "YWI=");
  EXPECT_EQ(Base64Encode("abc"), "YWJj");
  EXPECT_EQ(Base64Encode("Aladdin:open sesame"), "QWxhZGRpbjpvcGVuIHNlc2FtZQ==");
  EXPECT_EQ(Base64Encode(std::string("\xFB\xFF\xBF", 3)), "+/+/");
  EXPECT_EQ(Base64Decode("YQ=="), "a");
  EXPECT_EQ(Base64Decode("YWI="), "ab");
  EXPECT_EQ(Base64Decode("YWJj"), "abc");
  EXPECT_EQ(Base64Decode(""), "");
  EXPECT_EQ(Base64Decode("+/+/"), std::string("\xFB\xFF\xBF", 3));
}

TEST(Base64, BothEncodersAgreeAndDecodeRoundTripsEveryLength) {
  std::mt19937 rng(99);
  for (size_t len = 0; len < 70; ++len) {
    std::string s;
    for (size_t i = 0; i < len; ++i) s.push_back(static_cast<char>(rng() & 0xFF));
    const std::string enc = Base64Encode(s);
    EXPECT_EQ(enc, EncodeBase64Str(s));
    EXPECT_EQ(enc.size(), (len + 2) / 3 * 4);
    EXPECT_EQ(enc.find_first_not_of(std::string(kBase64Alphabet) + "="), std::string::npos);
    EXPECT_EQ(Base64Decode(enc), s) << len;
  }
}

TEST(Base64, DecodeOfMalformedInputIsBoundedAndDefined) {
  // A short last group reads as if padded with "=".
  EXPECT_EQ(Base64Decode("YQ"), "a");
  EXPECT_EQ(Base64Decode("YWJjYW"), "abca");
  // Characters outside the alphabet count as 0 rather than failing.
  EXPECT_EQ(Base64Decode("Y\nQ="), Base64Decode("YAQ="));
  std::mt19937 rng(4242);
  for (int round = 0; round < 20000; ++round) {
    std::string s;
    const size_t len = rng() % 33;
    for (size_t i = 0; i < len; ++i) {
      s.push_back(rng() % 3 ? kBase64Alphabet[rng() % 64] : static_cast<char>(rng() & 0xFF));
    }
    const std::string out = Base64Decode(s);
    EXPECT_LE(out.size(), (len + 3) / 4 * 3);
  }
}

}  // namespace
}  // namespace parlix
