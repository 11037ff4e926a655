#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <random>
#include <regex>
#include <sstream>
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

std::string ReadSourceFile(const std::string& relative) {
  std::ifstream in(std::string(PARLIX_SOURCE_DIR) + "/" + relative, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// name -> stored form, from the header the build compiles.
std::map<std::string, std::string> StoredLiterals() {
  std::map<std::string, std::string> stored;
  const std::regex definition(R"re(inline constexpr char (\w+)\[\] = "([^"]*)";)re");
  const std::string header = ReadSourceFile("src/shared/literals.h");
  for (std::sregex_iterator it(header.begin(), header.end(), definition), end; it != end; ++it)
    stored[(*it)[1]] = (*it)[2];
  return stored;
}

// The table tools/scramble makes the header from is the one record of what each literal
// must say: every line of it is checked, so a literal added there is checked too.
TEST(Literals, EveryStoredLiteralGivesItsPlainValue) {
  const std::map<std::string, std::string> stored = StoredLiterals();
  ASSERT_EQ(stored.at("kRequestAddressLit"), kRequestAddressLit) << "the header read is not the one compiled";
  std::istringstream table(ReadSourceFile("tools/literals.tsv"));
  size_t lines = 0;
  for (std::string line; std::getline(table, line);) {
    if (line.empty() || line[0] == '#') continue;
    const size_t name_end = line.find('\t'), role_end = line.find('\t', name_end + 1);
    ASSERT_NE(role_end, std::string::npos) << line;
    const std::string name = line.substr(0, name_end), plain = line.substr(role_end + 1);
    ++lines;
    ASSERT_EQ(stored.count(name), 1u) << name << " is in tools/literals.tsv but not in the header";
    EXPECT_EQ(Unscramble(stored.at(name)), plain) << name;
  }
  EXPECT_EQ(lines, stored.size()) << "the header and tools/literals.tsv differ in their literals";
  EXPECT_GE(lines, 27u);

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
