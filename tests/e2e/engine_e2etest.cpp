// The whole program with the engines people can use today: Apertium's own server
// (Debian's apertium-apy, tools/with-apy) over HTTPS, direct and through the stand-in
// proxy's tunnel, and LibreTranslate's API (the stand-in behind tools/with-tls).
#include "support/session_win.h"
#include "support/tls_trust_win.h"

namespace parlix::test {
namespace {

constexpr int kEnglishToGerman = 0;
constexpr int kEnglishToSpanish = 1;
constexpr int kEnglishToFrench = 2;

std::string Https(const char* port_variable) { return "https://localhost:" + std::to_string(TlsPort(port_variable)); }

class Engines : public ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    ASSERT_NE(TlsPort("PARLIX_APY_PORT"), 0) << "run through tools/with-apy";
    ASSERT_NE(TlsPort("PARLIX_TLS_PORT"), 0) << "run through tools/with-tls";
    ASSERT_TRUE(TrustTestCa());
  }
};

TEST_F(Engines, ApertiumOverHttpsDirectAndThroughAProxy) {
  for (int proxy : {0, standins_.port}) {
    SCOPED_TRACE(proxy == 0 ? "direct" : "through the stand-in proxy");
    ASSERT_TRUE(session_.StartWithEngine("apertium", Https("PARLIX_APY_PORT"), kEnglishToSpanish, proxy));
    session_.Translate("Good morning");
    // The first request may start the pair's pipeline: allow it its time.
    EXPECT_EQ(session_.Outcome(60s), "Buenos d\xED" "as");
  }
}

TEST_F(Engines, ApertiumRoutesThroughSpanishAndExplainsWhatItCannot) {
  ASSERT_TRUE(session_.StartWithEngine("apertium", Https("PARLIX_APY_PORT"), kEnglishToFrench));
  session_.Translate("The old cats are sleeping");
  EXPECT_EQ(session_.Outcome(60s), "Les chats vieux sont en train de dormir");
  ASSERT_TRUE(session_.StartWithEngine("apertium", Https("PARLIX_APY_PORT"), kEnglishToGerman));
  session_.Translate("Good morning");
  EXPECT_EQ(session_.Outcome(60s), "Apertium has no route from English to German.");
  EXPECT_TRUE(session_.NoNewAnswerFile());
  // Longer than the wait panel's line, the words take a second line instead of being cut.
  RECT words{};
  GetClientRect(FindChild(session_.main, "TParlixControl", std::string("Apertium has no route from English to German.")),
                &words);
  EXPECT_GE(words.bottom, 26);
}

TEST_F(Engines, LibreTranslateAnswersRefusesTheKeyAndIsBusy) {
  ASSERT_TRUE(session_.StartWithEngine("libretranslate", Https("PARLIX_TLS_PORT"), kEnglishToSpanish, 0, "k"));
  const struct {
    const char* control;
    const char* outcome;
  } cases[] = {
      {"{\"libre_key\": \"k\"}", "Gracias"},
      {"{\"libre_key\": \"another\"}", "The engine refused the key."},
      {"{\"libre_busy\": true}", "The engine is busy; try again in a moment."},
  };
  for (const auto& c : cases) {
    standins_.SetControl(c.control);
    session_.Translate("Thank you");
    EXPECT_EQ(session_.Outcome(), c.outcome) << c.control;
  }
}

}  // namespace
}  // namespace parlix::test
