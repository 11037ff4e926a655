#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "shared/code_cript.h"
#include "shared/literals.h"

namespace parlix {
namespace {

TEST(Unscramble, RoundTripsEveryByteValueAndEveryShortLength) {
  std::string all;
  for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
  // NUL ends a stored form, not a plain text: the stored form never holds one.
  EXPECT_EQ(Unscramble(Scramble(all)), all);
  for (int b = 0; b < 256; ++b) {
    const std::string one(1, static_cast<char>(b));
    EXPECT_EQ(Unscramble(Scramble(one)), one) << b;
  }
  std::mt19937 rng(7);
  for (size_t len = 0; len <= 10; ++len) {
    for (int round = 0; round < 50; ++round) {
      std::string plain;
      for (size_t i = 0; i < len; ++i) plain.push_back(static_cast<char>(rng() & 0xFF));
      const std::string stored = Scramble(plain);
      EXPECT_EQ(stored.size(), (len + 2) / 3 * 4);
      EXPECT_EQ(Unscramble(stored), plain) << "length " << len;
    }
  }
}

TEST(Unscramble, PaddingGivesOneOrTwoCharacters) {
  const std::string two = Scramble("ab");
  ASSERT_EQ(two.size(), 4u);
  EXPECT_EQ(two[3], '=');
  EXPECT_NE(two[2], '=');
  EXPECT_EQ(Unscramble(two), "ab");
  const std::string one = Scramble("a");
  EXPECT_EQ(one.substr(2), "==");
  EXPECT_EQ(Unscramble(one), "a");
  // The two padding tests are independent: "=" only in the third place still drops the second character.
  std::string odd = Scramble("abc");
  odd[2] = '=';
  EXPECT_EQ(Unscramble(odd).size(), 2u);
}

TEST(Unscramble, ShortAndOverlongForms) {
  for (const char* s : {"", "4", "4s", "4s8"}) EXPECT_EQ(Unscramble(s), "") << s;
  const std::string stored = Scramble("abcdef");  // 8 characters
  EXPECT_EQ(Unscramble(stored + "Q"), "abcdef");
  EXPECT_EQ(Unscramble(stored + "Q=="), "abcdef");
  // A NUL ends the stored form.
  EXPECT_EQ(Unscramble(stored.substr(0, 4) + std::string(1, '\0') + stored.substr(4)), "abc");
}

TEST(Unscramble, CharactersOutsideTheAlphabetCountAsPositionZero) {
  // '!' and '\xff' are no alphabet characters: each counts as the first alphabet character.
  const std::string zero(4, kScrambleAlphabet[0]);
  EXPECT_EQ(Unscramble("!!!!"), Unscramble(zero));
  EXPECT_EQ(Unscramble("\xff\xfe\x80 "), Unscramble(zero));
  EXPECT_EQ(Unscramble("!!!!"), std::string(3, '\0'));
  // An "=" in the first two places is outside the alphabet, not padding.
  EXPECT_EQ(Unscramble("====").size(), 1u);
}

TEST(Unscramble, ManyThreadsAtOnce) {
  std::vector<std::string> plains;
  for (int i = 0; i < 64; ++i) plains.push_back(std::string(static_cast<size_t>(i), static_cast<char>('a' + i % 26)) + "#");
  std::vector<std::string> stored;
  for (const auto& p : plains) stored.push_back(Scramble(p));
  std::vector<int> failures(8, 0);
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([&, t] {
      for (int round = 0; round < 200; ++round)
        for (size_t i = 0; i < stored.size(); ++i)
          if (Unscramble(stored[i]) != plains[i]) ++failures[t];
    });
  }
  for (auto& th : threads) th.join();
  for (int f : failures) EXPECT_EQ(f, 0);
}

TEST(Literals, EveryStoredLiteralGivesItsPlainValue) {
  const std::map<std::string, std::string> expected = {
      {kRequestAddressLit, "http://translate.google.com/translate_t"},
      {kTextFieldLit, "text="},
      {kPairFieldLit, "&langpair="},
      {kRequestConst1Lit, "&hl=en"},
      {kRequestConst2Lit, "&ie=UTF-8"},
      {kRequestConst3Lit, "&oe=UTF-8"},
      {kClosedVersionLit,
       "This version of Parlix Desk is no longer supported. Please download the new version from our home page."},
      {kUserAgentLit, "Mozilla/4.0 (compatible; Parlix Desk 2.5; Windows)"},
      {kRefererLit, "http://translate.google.com/"},
      {kProductNameLit, "Parlix"},
      {kCaptionSuffixLit, "2.5"},
      {kProductTitleLit, "Parlix Desk Translator"},
      {kMakerFolderLit, "ParlixSoft"},
      {kWebPageLit, "https://translate.google.com/"},
      {kHomePageLit, "http://www.parlix.example/"},
      {kEmailLit, "mailto:support@parlix.example"},
      {kProductsPageLit, "http://www.parlix.example/products/"},
      {kDonationPageLit, "http://www.parlix.example/donate?item=%s&action=%s&ref=%s"},
      {kServiceAddressLit, "http://www.parlix.example/desk/service.txt"},
      {kAboutInfo1Lit, "Translations come from a web service."},
      {kAboutInfo2Lit, "Free for personal use. Write to us!"},
      {kStartMarkerLit, "<div"},
      {kSecondMarkerLit, "id=result_box"},
      {kTextMarkerLit, ">"},
      {kEndMarkerLit, "</div>"},
  };
  for (const auto& [stored, plain] : expected) EXPECT_EQ(Unscramble(stored), plain);

  const std::string service = Unscramble(kServiceAlphabetLit);
  ASSERT_EQ(service.size(), 64u);
  EXPECT_NE(service, std::string(kScrambleAlphabet));
  EXPECT_EQ(std::string(service).find_first_not_of(
                "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/"),
            std::string::npos);
  std::string sorted = service;
  std::sort(sorted.begin(), sorted.end());
  EXPECT_EQ(std::unique(sorted.begin(), sorted.end()), sorted.end()) << "service alphabet repeats a character";

  const std::string pool = Unscramble(kNamePoolLit);
  EXPECT_EQ(pool.size(), 72u);
  EXPECT_EQ(pool.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_"),
            std::string::npos);
}

}  // namespace
}  // namespace parlix
