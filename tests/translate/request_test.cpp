#include <gtest/gtest.h>

#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <utility>

#include "shared/code_cript.h"
#include "shared/literals.h"
#include "support/cp1252.h"
#include "translate/request.h"

namespace parlix {
namespace {

using testing::Cp1252;

std::string Encoded(std::string_view ansi) { return FormEncode(RequestTextUtf8(ansi, Cp1252())); }

TEST(FormEncode, ExamplesOfTheRequest) {
  EXPECT_EQ(Encoded("a b"), "a+b");
  EXPECT_EQ(Encoded("x = y & z"), "x+=+y+%26+z");
  EXPECT_EQ(Encoded("x=y&z"), "x=y%26z");
  EXPECT_EQ(Encoded("\xE9"), "%C3%A9");  // e acute in code page 1252
  EXPECT_EQ(Encoded("\r\n"), "%0D%0A");
  EXPECT_EQ(Encoded("\x80"), "%E2%82%AC");  // euro sign
  EXPECT_EQ(Encoded(""), "");
}

TEST(FormEncode, EveryByteValue) {
  for (int b = 0; b < 256; ++b) {
    const std::string in(1, static_cast<char>(b));
    const std::string out = FormEncode(in);
    const bool kept = b == '-' || b == '.' || b == '=' || isalnum(b);
    if (b == ' ') {
      EXPECT_EQ(out, "+");
    } else if (kept && b < 128) {
      EXPECT_EQ(out, in) << b;
    } else {
      char expected[4];
      snprintf(expected, sizeof expected, "%%%02X", b);
      EXPECT_EQ(out, expected) << b;
    }
  }
}

TEST(Utf16ToUtf8, AllLengthsAndLoneSurrogates) {
  EXPECT_EQ(Utf16ToUtf8(u"A\u00E9\u20AC"), "A\xC3\xA9\xE2\x82\xAC");
  EXPECT_EQ(Utf16ToUtf8(u"\U0001F600"), "\xF0\x9F\x98\x80");
  EXPECT_EQ(Utf16ToUtf8(std::u16string(1, char16_t{0xD800})), "\xEF\xBF\xBD");
  EXPECT_EQ(Utf16ToUtf8(std::u16string{char16_t{0xDC00}, u'a'}), "\xEF\xBF\xBD" "a");
  EXPECT_EQ(Utf16ToUtf8(std::u16string{char16_t{0xD83D}, u'a'}), "\xEF\xBF\xBD" "a");
  EXPECT_EQ(Utf16ToUtf8(std::u16string(1, char16_t{0x7FF})), "\xDF\xBF");
  EXPECT_EQ(Utf16ToUtf8(std::u16string(1, char16_t{0x800})), "\xE0\xA0\x80");
  EXPECT_EQ(Utf16ToUtf8(std::u16string(1, char16_t{0})), std::string(1, '\0'));
}

TEST(TrimText, RemovesCodesUpTo32OnBothEnds) {
  EXPECT_EQ(TrimText(" \t\r\n hello world \x01\x1F "), "hello world");
  EXPECT_EQ(TrimText(std::string("\0a\0", 3)), "a");
  EXPECT_EQ(TrimText(" \r\n \t "), "");
  EXPECT_EQ(TrimText(""), "");
  EXPECT_EQ(TrimText("\xA0x\xA0"), "\xA0x\xA0");  // a no-break space is not trimmed
}

TEST(BuildRequestBody, ExactBodies) {
  EXPECT_EQ(BuildRequestBody("Hello world", 0, Cp1252()),
            "text=Hello+world&langpair=en%7Cde&hl=en&ie=UTF-8&oe=UTF-8");
  EXPECT_EQ(BuildRequestBody("Ol\xE1, mundo!", 11, Cp1252()),
            "text=Ol%C3%A1%2C+mundo%21&langpair=pt%7Cen&hl=en&ie=UTF-8&oe=UTF-8");
}

TEST(BuildRequestBody, PiecesInOrderFromTheStoredLiterals) {
  const std::string body = BuildRequestBody("x", 1, Cp1252());
  const std::string expected = Unscramble(kTextFieldLit) + "x" + Unscramble(kPairFieldLit) + "en%7Ces" +
                               Unscramble(kRequestConst1Lit) + Unscramble(kRequestConst2Lit) +
                               Unscramble(kRequestConst3Lit);
  EXPECT_EQ(body, expected);
  for (const auto& [stored, size] : {std::pair{kTextFieldLit, 5u}, {kPairFieldLit, 10u}, {kRequestConst1Lit, 6u},
                                     {kRequestConst2Lit, 9u}, {kRequestConst3Lit, 9u}, {kRequestAddressLit, 39u}})
    EXPECT_EQ(Unscramble(stored).size(), size) << stored;
}

TEST(BuildRequestBody, PairOutsideTheTableIsRefused) {
  EXPECT_THROW(BuildRequestBody("x", 12, Cp1252()), std::out_of_range);
  EXPECT_THROW(BuildRequestBody("x", -1, Cp1252()), std::out_of_range);
}

std::string TextPart(const std::string& body) {
  const std::string head = Unscramble(kTextFieldLit);
  const auto end = body.find(Unscramble(kPairFieldLit));
  return body.substr(head.size(), end - head.size());
}

TEST(BuildRequestBody, CutAt2048Bytes) {
  std::string letters;
  for (int i = 0; i < 3000; ++i) letters.push_back(static_cast<char>('a' + i % 26));
  EXPECT_EQ(TextPart(BuildRequestBody(letters, 1, Cp1252())), letters.substr(0, 2048));

  const std::string euros(700, '\x80');
  std::string expected;
  for (int i = 0; i < 682; ++i) expected += "%E2%82%AC";
  expected += "%E2%82";  // the first two bytes of the 683rd sign
  EXPECT_EQ(TextPart(BuildRequestBody(euros, 1, Cp1252())), expected);

  // Exactly 2048 bytes are kept whole.
  EXPECT_EQ(RequestTextUtf8(std::string(2048, 'q'), Cp1252()).size(), 2048u);
  EXPECT_EQ(RequestTextUtf8(std::string(1024, '\xE9'), Cp1252()).size(), 2048u);
}

TEST(PseudoRandom, DeterministicFromTheFixedStateAndFromASeed) {
  PseudoRandom a, b;
  for (int i = 0; i < 100; ++i) EXPECT_EQ(a.Next(1000), b.Next(1000));
  a.Seed(12345);
  b.Seed(12345);
  for (int i = 0; i < 100; ++i) EXPECT_EQ(a.Next(72), b.Next(72));
  PseudoRandom c;
  c.Seed(54321);
  int differences = 0;
  for (int i = 0; i < 20; ++i) differences += a.Next(1u << 30) != c.Next(1u << 30);
  EXPECT_GT(differences, 15);
  EXPECT_EQ(a.Next(0), 0u);
  EXPECT_EQ(a.Next(1), 0u);
}

TEST(PseudoRandom, DrawsCoverTheRangeRoughlyUniformly) {
  PseudoRandom r;
  std::map<std::uint32_t, int> counts;
  const int draws = 72000;
  for (int i = 0; i < draws; ++i) {
    const auto v = r.Next(72);
    ASSERT_LT(v, 72u);
    ++counts[v];
  }
  ASSERT_EQ(counts.size(), 72u);
  for (const auto& [value, n] : counts) {
    EXPECT_GT(n, 800) << value;
    EXPECT_LT(n, 1200) << value;
  }
}

TEST(RandomName, DrawsFromTheNamePool) {
  const std::string pool = Unscramble(kNamePoolLit);
  ASSERT_EQ(pool.size(), 72u);
  PseudoRandom r;
  std::set<std::string> names;
  for (int i = 0; i < 200; ++i) {
    const std::string name = RandomName(8, r);
    ASSERT_EQ(name.size(), 8u);
    for (const char c : name) EXPECT_NE(pool.find(c), std::string::npos) << c;
    names.insert(name);
  }
  EXPECT_EQ(names.size(), 200u);
  EXPECT_EQ(RandomName(0, r), "");
  // Unseeded runs start from the same state: the same first name every time.
  PseudoRandom fresh1, fresh2;
  EXPECT_EQ(RandomName(8, fresh1), RandomName(8, fresh2));
}

}  // namespace
}  // namespace parlix
