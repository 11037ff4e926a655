#include "service/service_file.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <tuple>
#include <utility>

#include "shared/code_cript.h"
#include "shared/literals.h"

namespace parlix {
namespace {

const std::string kStdAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

std::string Alphabet() { return Unscramble(kServiceAlphabetLit); }

void WriteFile(const std::string& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

TEST(ServiceText, DecodesKnownBase64OverAnyAlphabet) {
  EXPECT_EQ(DecodeServiceText("TWFu", kStdAlphabet), "Man");
  EXPECT_EQ(DecodeServiceText("TWE=", kStdAlphabet), "Ma");
  EXPECT_EQ(DecodeServiceText("TQ==", kStdAlphabet), "M");
  // Lines are joined without separators, whatever their breaks.
  EXPECT_EQ(DecodeServiceText("TWFu\r\nTWFu\nTWFu\rTQ==", kStdAlphabet), "ManManManM");
  EXPECT_EQ(DecodeServiceText("", kStdAlphabet), "");
}

TEST(ServiceText, ToleratesMalformedLines) {
  // Characters after the last whole group are dropped, per line.
  EXPECT_EQ(DecodeServiceText("TWFuTW\nTWFu", kStdAlphabet), "ManMan");
  // A NUL ends its line.
  EXPECT_EQ(DecodeServiceText(std::string("TWFu\0TWFu\nTWFu", 14), kStdAlphabet), "ManMan");
  // Characters outside the alphabet count as position 0 ("A").
  EXPECT_EQ(DecodeServiceText("!!!!", kStdAlphabet), DecodeServiceText("AAAA", kStdAlphabet));
  // Lines longer than the producer's 76 characters are decoded in full.
  std::string long_line;
  for (int i = 0; i < 40; ++i) long_line += "TWFu";
  EXPECT_EQ(DecodeServiceText(long_line, kStdAlphabet).size(), 120u);
}

TEST(ServiceText, EncodingRoundTripsInProducerLines) {
  std::string plain;
  for (int i = 0; i < 600; ++i) plain.push_back(static_cast<char>(i * 37 % 256));
  for (std::size_t n : {0u, 1u, 2u, 3u, 56u, 57u, 58u, 600u}) {
    const std::string part = plain.substr(0, n);
    const std::string encoded = EncodeServiceText(part, Alphabet());
    EXPECT_EQ(DecodeServiceText(encoded, Alphabet()), part) << n;
    std::size_t start = 0;
    while (start < encoded.size()) {
      const std::size_t end = encoded.find("\r\n", start);
      ASSERT_NE(end, std::string::npos);
      EXPECT_LE(end - start, 76u);
      EXPECT_EQ((end - start) % 4, 0u);
      start = end + 2;
    }
  }
  EXPECT_EQ(EncodeServiceText("Man", kStdAlphabet), "TWFu\r\n");
  EXPECT_EQ(EncodeServiceText("Man", "ABC"), "");
}

// Written by tools/encode-service, so the producer's tool and the program agree.
TEST(ServiceText, DecodesTheOutputOfTheEncodingTool) {
  const std::string encoded =
      "Zn2sbDR7Smh+bhB26eR7iZATAwC+iwlvtrsiowTKbhB26lVExmhNc82O9A27bzep18/piuVliWap\r\n"
      "Sw7lFmCn1Z25FwG+iuSzFwbEj6VISZnNx+VESLh+Fm4kboVaP8sRFw4EbNBg\r\n";
  EXPECT_EQ(DecodeServiceText(encoded, Alphabet()),
            "[Signature]\r\nName=Parlix\r\n[Home]\r\nPopupMsg=Caf\xe9 is open; the quick brown fox jumps over the "
            "lazy dog\r\n");
}

TEST(ServiceText, DecodeServiceFileWritesTheDecodedBytes) {
  const std::string source = testing::TempDir() + "parlix_service_src.dat";
  const std::string target = testing::TempDir() + "parlix_service_dst.dat";
  const std::string plain = "[Signature]\r\nName=Parlix\r\n";
  WriteFile(source, EncodeServiceText(plain, Alphabet()));
  WriteFile(target, std::string(500, 'x'));  // stale: must be replaced whole
  ASSERT_TRUE(DecodeServiceFile(source, target));
  std::ifstream in(target, std::ios::binary);
  const std::string got((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(got, plain);
  std::remove(source.c_str());
  EXPECT_FALSE(DecodeServiceFile(source, target));
  std::remove(target.c_str());
}

constexpr char kToday[] = "08/12/2026";

TServiceInfo Current() {
  TServiceInfo info = DefaultServiceInfo();
  info.DateShown = "07/12/2026";
  return info;
}

TServiceOutcome Interpret(const std::string& ini, const TServiceInfo& current = Current(), std::uint32_t seed = 1) {
  PseudoRandom random;
  random.Seed(seed);
  return InterpretServiceFile(ini, current, kToday, kBuildVersion, random);
}

// The addresses a signed file may replace, for one comparison.
auto Addresses(const TServiceInfo& i) { return std::tie(i.HomeUrl, i.HomeEmail, i.ProdUrl, i.DonateUrl); }

const std::string kSigned = "[Signature]\r\nName=Parlix\r\n";
const std::string kFullHome =
    "[Home]\nUrl=http://h.example/\nEmail=mailto:m@h.example\nPopupMsg=Hello there\n"
    "PopupUrl=http://h.example/news\nProdUrl=http://h.example/prod\n"
    "[Donate]\nUrl=http://h.example/d?%s&%s&%s\n";
const std::string kNoOffer = "[Updates]\nBuild=025000\n";

TEST(ServiceInterpretation, RejectedSignaturesChangeNothingButTheDate) {
  for (const std::string& ini : {std::string(""), std::string("[Signature]\nName=parlix\n") + kFullHome,
                                 std::string("[Signature]\nName=Parlix Desk\n") + kFullHome,
                                 std::string("[Signature]\n") + kFullHome, kFullHome,
                                 std::string("garbage \x01\x02\xff")}) {
    const TServiceOutcome out = Interpret(ini);
    EXPECT_FALSE(out.signature_valid) << ini;
    EXPECT_EQ(Addresses(out.info), Addresses(Current()));
    EXPECT_EQ(out.info.AdvCaption, "More free products");
    EXPECT_FALSE(out.info.ClosedVersion);
    EXPECT_TRUE(out.add_products_item);
    EXPECT_TRUE(out.set_adv_button);
    EXPECT_TRUE(out.actions.empty());
    EXPECT_EQ(out.info.DateShown, kToday);
  }
}

TEST(ServiceInterpretation, SignedFileReplacesAddressesAndAnnouncesInOrder) {
  const TServiceOutcome out = Interpret(kSigned + kFullHome + kNoOffer);
  ASSERT_TRUE(out.signature_valid);
  EXPECT_EQ(Addresses(out.info), std::tuple("http://h.example/", "mailto:m@h.example", "http://h.example/prod",
                                            "http://h.example/d?%s&%s&%s"));
  EXPECT_TRUE(out.info.UpdatePrompt.empty());
  ASSERT_EQ(out.actions.size(), 2u);
  EXPECT_EQ(out.actions[0].kind, TServiceAction::Kind::kShowMessage);
  EXPECT_EQ(out.actions[0].text, "Hello there");
  EXPECT_EQ(out.actions[1].kind, TServiceAction::Kind::kOpenPage);
  EXPECT_EQ(out.actions[1].url, "http://h.example/news");
  EXPECT_EQ(out.info.DateShown, kToday);
}

TEST(ServiceInterpretation, BuildEqualityDecidesTheOffer) {
  const TServiceOutcome same = Interpret(kSigned + "[Updates]\nBuild=025000\nUrl=http://u.example/\n");
  EXPECT_TRUE(same.info.UpdatePrompt.empty());
  EXPECT_TRUE(same.info.UpdateUrl.empty());

  const TServiceOutcome older = Interpret(kSigned + "[Updates]\nBuild=024000\nVersion=2.4\nUrl=http://u.example/\n");
  EXPECT_EQ(older.info.UpdatePrompt, "Parlix version 2.4 (build version 024000) is available, download now?");
  EXPECT_EQ(older.info.UpdateUrl, "http://u.example/");
  ASSERT_EQ(older.actions.size(), 1u);
  EXPECT_EQ(older.actions[0].kind, TServiceAction::Kind::kOfferUpdate);
  EXPECT_EQ(older.actions[0].url, "http://u.example/");

  const TServiceOutcome missing = Interpret(kSigned);
  EXPECT_EQ(missing.info.UpdatePrompt, "Parlix version  (build version ) is available, download now?");
  EXPECT_TRUE(missing.info.UpdateUrl.empty());
}

TEST(ServiceInterpretation, MissingHomeAndDonateKeysEmptyTheDefaults) {
  const TServiceOutcome out = Interpret(kSigned + "[Updates]\nBuild=025000\n");
  EXPECT_EQ(Addresses(out.info), std::tuple("", "", "", ""));
  EXPECT_FALSE(out.add_products_item);
  // The promotional values were not touched, so the button keeps its default target.
  EXPECT_TRUE(out.set_adv_button);
  EXPECT_TRUE(out.actions.empty());
}

TEST(ServiceInterpretation, SecondRunOfTheDayAppliesValuesButAnnouncesNothing) {
  TServiceInfo current = Current();
  current.DateShown = kToday;
  const TServiceOutcome out = Interpret(kSigned + kFullHome + "[Updates]\nBuild=1\n", current);
  EXPECT_EQ(out.info.HomeUrl, "http://h.example/");
  EXPECT_FALSE(out.info.UpdatePrompt.empty());
  EXPECT_TRUE(out.actions.empty());
  EXPECT_EQ(out.info.DateShown, kToday);
}

std::string AdvSections(int count) {
  std::string text = "[AdvDef]\nCount=" + std::to_string(count) + "\n";
  for (int k = 1; k <= count; ++k)
    text += "[Adv" + std::to_string(k) + "]\nCaption=Ad " + std::to_string(k) + "\nColor=$0000FF\nText=hint " +
            std::to_string(k) + "\nUrl=http://ad.example/" + std::to_string(k) + "\n";
  return text;
}

TEST(ServiceInterpretation, SingleAdvertIsTakenWithoutDrawing) {
  PseudoRandom random;
  random.Seed(99);
  const TServiceOutcome out =
      InterpretServiceFile(kSigned + kFullHome + AdvSections(1), Current(), kToday, kBuildVersion, random);
  EXPECT_EQ(std::tie(out.info.AdvCaption, out.info.AdvColor, out.info.AdvText, out.info.AdvUrl),
            std::tuple("Ad 1", 0xFF, "hint 1", "http://ad.example/1"));
  EXPECT_EQ(random.State(), 99u);
}

TEST(ServiceInterpretation, AdvertsAreDrawnEvenly) {
  int seen[4] = {0, 0, 0, 0};
  const std::string ini = kSigned + kFullHome + AdvSections(3);
  for (std::uint32_t seed = 0; seed < 3000; ++seed) {
    const TServiceOutcome out = Interpret(ini, Current(), seed * 2654435761u);
    ASSERT_EQ(out.info.AdvCaption.substr(0, 3), "Ad ");
    const int k = out.info.AdvCaption[3] - '0';
    ASSERT_GE(k, 1);
    ASSERT_LE(k, 3);
    ++seen[k];
  }
  for (int k = 1; k <= 3; ++k) EXPECT_GT(seen[k], 800) << k;
}

TEST(ServiceInterpretation, MissingChosenAdvertKeepsDefaultsAndMissingColourIsGrey) {
  const TServiceOutcome none = Interpret(kSigned + kFullHome + "[AdvDef]\nCount=1\n[Adv2]\nCaption=x\n");
  EXPECT_EQ(none.info.AdvCaption, "More free products");
  EXPECT_EQ(none.info.AdvUrl, Current().AdvUrl);

  const TServiceOutcome grey = Interpret(kSigned + kFullHome + "[AdvDef]\nCount=1\n[Adv1]\nCaption=x\nColor=blue\n");
  EXPECT_EQ(grey.info.AdvCaption, "x");
  EXPECT_EQ(grey.info.AdvColor, 4934475);
  EXPECT_TRUE(grey.info.AdvUrl.empty());
  EXPECT_FALSE(grey.set_adv_button);

  const TServiceOutcome negative = Interpret(kSigned + kFullHome + "[AdvDef]\nCount=-3\n" + AdvSections(1).substr(16));
  EXPECT_EQ(negative.info.AdvCaption, "More free products");
}

TEST(ServiceInterpretation, ClosedVersionsAreStoredScrambled) {
  const std::string scrambled = Scramble(kBuildVersion);
  const TServiceOutcome closed =
      Interpret(kSigned + kFullHome + "[ClosedVersions]\nCount=2\nVersion1=" + Scramble("024000") + "\nVersion2=" + scrambled + "\n");
  EXPECT_TRUE(closed.info.ClosedVersion);

  const TServiceOutcome plain = Interpret(kSigned + kFullHome + "[ClosedVersions]\nCount=2\nVersion2=025000\n");
  EXPECT_FALSE(plain.info.ClosedVersion);

  const TServiceOutcome beyond_count =
      Interpret(kSigned + kFullHome + "[ClosedVersions]\nCount=1\nVersion2=" + scrambled + "\n");
  EXPECT_FALSE(beyond_count.info.ClosedVersion);
}

// Keys that name another build's number, a leading zero, or a number past Count close
// nothing; the first of two equal keys counts, as a profile lookup finds it.
TEST(ServiceInterpretation, ClosedVersionsLookOnlyAtTheKeysPresent) {
  const std::string scrambled = Scramble(kBuildVersion);
  struct Case {
    std::string section;
    bool closed;
  };
  const Case cases[] = {
      {"Count=2000000000\nVersion1999999999=" + scrambled + "\n", true},
      {"Count=2000000000\n", false},
      {"Count=3\nversion3=" + scrambled + "\n", true},
      {"Count=3\nVersion03=" + scrambled + "\n", false},
      {"Count=3\nVersion0=" + scrambled + "\n", false},
      {"Count=3\nVersion3x=" + scrambled + "\n", false},
      {"Count=-5\nVersion1=" + scrambled + "\n", false},
      {"Count=2\nVersion2=" + Scramble("024000") + "\nVersion2=" + scrambled + "\n", false},
      {"Count=99999999999\nVersion1=" + scrambled + "\n", false},  // no number that fits
  };
  for (const Case& c : cases)
    EXPECT_EQ(Interpret(kSigned + "[ClosedVersions]\n" + c.section).info.ClosedVersion, c.closed) << c.section;
}

// Addresses the file names are opened by the browser or the shell: anything that is
// not plainly a web page (a contact link may also be mail) reads as absent, so no
// announcement opens it and the buttons keep their own addresses.
TEST(ServiceInterpretation, AddressesThatAreNoWebPageAreDropped) {
  for (const std::string bad : {"\\\\evil.example\\share\\x", "file:///C:/windows/system32/calc.exe",
                                "-new-window", "javascript:alert(1)", "http://\\\\evil\\share", "C:\\x.exe"}) {
    SCOPED_TRACE(bad);
    const TServiceOutcome out = Interpret(kSigned + "[Home]\nUrl=" + bad + "\nEmail=" + bad +
                                          "\nPopupMsg=Hi\nPopupUrl=" + bad + "\nProdUrl=" + bad +
                                          "\n[Updates]\nBuild=1\nUrl=" + bad + "\n[AdvDef]\nCount=1\n[Adv1]\n"
                                          "Caption=Ad\nUrl=" + bad + "\n");
    for (const auto& [key, value] : {std::pair{"HomeUrl", out.info.HomeUrl}, {"HomeEmail", out.info.HomeEmail},
                                     {"PopupUrl", out.info.PopupUrl}, {"ProdUrl", out.info.ProdUrl},
                                     {"UpdateUrl", out.info.UpdateUrl}, {"AdvUrl", out.info.AdvUrl}})
      EXPECT_TRUE(value.empty()) << key;
    EXPECT_FALSE(out.add_products_item);
    EXPECT_FALSE(out.set_adv_button);
    for (const TServiceAction& action : out.actions) {
      EXPECT_NE(action.kind, TServiceAction::Kind::kOpenPage);
      EXPECT_TRUE(action.url.empty());
    }
  }
  // The same keys with web addresses are kept.
  const TServiceOutcome good = Interpret(kSigned + "[Home]\nPopupUrl=HTTPS://h.example/n\nEmail=http://h.example/c\n");
  EXPECT_EQ(good.info.PopupUrl, "HTTPS://h.example/n");
  EXPECT_EQ(good.info.HomeEmail, "http://h.example/c");
}

TEST(ServiceText, DecodeServiceFileRefusesAnOversizedSource) {
  const std::string source = testing::TempDir() + "parlix_service_big.dat";
  const std::string target = testing::TempDir() + "parlix_service_big_out.dat";
  std::remove(target.c_str());
  WriteFile(source, std::string(static_cast<std::size_t>(kMaxServiceFileSize) + 1, 'A'));
  EXPECT_FALSE(DecodeServiceFile(source, target));
  EXPECT_FALSE(std::ifstream(target).good());
  WriteFile(source, std::string(static_cast<std::size_t>(kMaxServiceFileSize), 'A'));
  EXPECT_TRUE(DecodeServiceFile(source, target));
  std::remove(source.c_str());
  std::remove(target.c_str());
}

TEST(ServiceInterpretation, EncodedFileRoundTripsThroughTheDecoder) {
  const std::string ini = kSigned + kFullHome + kNoOffer + "[Updates]\nBuild=030000\nVersion=3.0\n";
  const TServiceOutcome out = Interpret(DecodeServiceText(EncodeServiceText(ini, Alphabet()), Alphabet()));
  EXPECT_TRUE(out.signature_valid);
  // The first [Updates] section holds Build=025000, as a profile lookup finds it first.
  EXPECT_TRUE(out.info.UpdatePrompt.empty());
}

}  // namespace
}  // namespace parlix
