#include <gtest/gtest.h>

#include <set>
#include <string>

#include "translate/language_pairs.h"

namespace parlix {
namespace {

// The pair code names the same languages as the source and target tables.
TEST(LanguagePairs, CodesAgreeWithSourceAndTarget) {
  const std::string iso[kLanguageCount] = {"en", "fr", "de", "it", "pt", "es"};
  std::set<std::string_view> seen;
  for (int pair = 0; pair < kPairCount; ++pair) {
    const std::string_view code = PairCodes[pair];
    ASSERT_EQ(code.size(), 7u) << pair;
    EXPECT_EQ(code.substr(0, 2), iso[PairSource[pair]]) << pair;
    EXPECT_EQ(code.substr(2, 3), "%7C") << pair;
    EXPECT_EQ(code.substr(5, 2), iso[PairTarget[pair]]) << pair;
    EXPECT_NE(PairSource[pair], PairTarget[pair]) << pair;
    EXPECT_TRUE(seen.insert(code).second) << "duplicate pair " << code;
  }
}

TEST(LanguagePairs, NamedPairsOfTheTable) {
  EXPECT_EQ(LanguageNames[PairSource[0]], "English");
  EXPECT_EQ(LanguageNames[PairTarget[0]], "German");
  EXPECT_EQ(LanguageNames[PairTarget[kDefaultPair]], "Spanish");
  EXPECT_EQ(LanguageNames[PairSource[7]], "Spanish");
  EXPECT_EQ(LanguageNames[PairSource[11]], "Portuguese");
  EXPECT_EQ(LanguageNames[PairTarget[11]], "English");
  EXPECT_EQ(PairCodes[6], "de%7Cfr");
  EXPECT_EQ(PairCodes[9], "fr%7Cde");
}

TEST(LanguagePairs, FunctionKeysSelectPairsWithoutCtrl) {
  EXPECT_EQ(PairForKey(kKeyF1, false), 0);
  EXPECT_EQ(PairForKey(kKeyF1 + 6, false), 6);  // F7: German to French
  EXPECT_EQ(PairForKey(kKeyF12, false), 11);
  EXPECT_EQ(PairForKey(kKeyF1 + 4, true), std::nullopt);  // Ctrl+F5
  EXPECT_EQ(PairForKey(kKeyF1 - 1, false), std::nullopt);
  EXPECT_EQ(PairForKey(kKeyF12 + 1, false), std::nullopt);  // F13
  EXPECT_EQ(PairForKey('A', false), std::nullopt);
  for (int pair = -1; pair <= kPairCount; ++pair) EXPECT_EQ(IsValidPair(pair), pair >= 0 && pair < kPairCount);
}

}  // namespace
}  // namespace parlix
