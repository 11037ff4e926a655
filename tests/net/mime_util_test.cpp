#include <gtest/gtest.h>

#include <random>
#include <string>
#include <utility>

#include "net/mime_util.h"

namespace parlix {
namespace {

TEST(Base64, KnownAnswers) {
  const std::pair<std::string, std::string> known[] = {
      {"", ""}, {"a", "YQ=="}, {"ab", "YWI="}, {"abc", "YWJj"},
      {"Aladdin:open sesame", "QWxhZGRpbjpvcGVuIHNlc2FtZQ=="}, {std::string("\xFB\xFF\xBF", 3), "+/+/"}};
  for (const auto& [plain, encoded] : known) {
    EXPECT_EQ(Base64Encode(plain), encoded);
    EXPECT_EQ(Base64Decode(encoded), plain) << encoded;
  }
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
    for (size_t i = 0; i < len; ++i)
      s.push_back(rng() % 3 ? kBase64Alphabet[rng() % 64] : static_cast<char>(rng() & 0xFF));
    EXPECT_LE(Base64Decode(s).size(), (len + 3) / 4 * 3);
  }
}

}  // namespace
}  // namespace parlix
