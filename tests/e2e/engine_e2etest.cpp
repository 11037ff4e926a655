// The whole program with the engines people can use today: Apertium's own server
// (Debian's apertium-apy, tools/with-apy) over HTTPS, direct and through the stand-in
// proxy's tunnel, and LibreTranslate's API (the stand-in behind tools/with-tls).
#include <gtest/gtest.h>

#include "support/driver_win.h"
#include "support/tls_trust_win.h"

namespace parlix::test {
namespace {

constexpr int kEnglishToGerman = 0;
constexpr int kEnglishToSpanish = 1;
constexpr int kEnglishToFrench = 2;

class Engines : public ::testing::Test {
 protected:
  void SetUp() override {
    standins_ = Standins();
    ASSERT_TRUE(standins_.Running()) << "run through tools/with-standins";
    ASSERT_NE(TlsPort("PARLIX_APY_PORT"), 0) << "run through tools/with-apy";
    ASSERT_NE(TlsPort("PARLIX_TLS_PORT"), 0) << "run through tools/with-tls";
    ASSERT_TRUE(TrustTestCa());
  }
  void TearDown() override {
    Stop();
    standins_.SetControl("{}");
  }

  void Start(const std::string& kind, int port, int pair, int proxy_port = 0, const std::string& key = "") {
    Stop();
    WriteSettingsWithEngine(kind, "https://localhost:" + std::to_string(port), key, proxy_port, pair);
    program_ = std::make_unique<TProgram>();
    main_ = program_->WaitForTopWindow("TMainForm", std::string("Parlix"));
    ASSERT_NE(main_, nullptr);
  }
  void Stop() {
    if (program_) program_->ExitDismissingBoxes();
    program_.reset();
  }
  void Translate(const std::string& text) {
    SendMessageA(FindChild(main_, "Edit"), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    PostMessageA(main_, WM_USER + 4, 0, 0);
  }
  std::string Result() const {
    HWND result = program_->FindTopWindow("TTransForm");
    HWND memo = result != nullptr ? FindChild(result, "Edit") : nullptr;
    return memo != nullptr ? WindowText(memo) : "";
  }
  // The first line of the error box the translation ends in, after which the box is closed.
  std::string ErrorWords() {
    HWND box = program_->WaitForMessageBox(60s);
    if (box == nullptr) return "no box: the request hangs";
    const std::string text = MessageBoxText(box);
    PressButton(box, IDOK);
    WaitUntil([&] { return program_->FindMessageBox() == nullptr; });
    return text.substr(0, text.find("\r\n"));
  }

  TStandins standins_;
  std::unique_ptr<TProgram> program_;
  HWND main_ = nullptr;
};

TEST_F(Engines, ApertiumOverHttpsDirectAndThroughAProxy) {
  for (int proxy : {0, standins_.port}) {
    SCOPED_TRACE(proxy == 0 ? "direct" : "through the stand-in proxy");
    Start("apertium", TlsPort("PARLIX_APY_PORT"), kEnglishToSpanish, proxy);
    Translate("Good morning");
    // The first request may start the pair's pipeline: allow it its time.
    EXPECT_TRUE(WaitUntil([&] { return Result() == "Buenos d\xED" "as"; }, 60s)) << Result();
  }
}

TEST_F(Engines, ApertiumRoutesThroughSpanishAndExplainsWhatItCannot) {
  Start("apertium", TlsPort("PARLIX_APY_PORT"), kEnglishToFrench);
  Translate("The old cats are sleeping");
  EXPECT_TRUE(WaitUntil([&] { return Result() == "Les chats vieux sont en train de dormir"; }, 60s)) << Result();
  Start("apertium", TlsPort("PARLIX_APY_PORT"), kEnglishToGerman);
  Translate("Good morning");
  EXPECT_EQ(ErrorWords(), "Apertium has no route from English to German.");
}

TEST_F(Engines, LibreTranslateAnswersRefusesTheKeyAndIsBusy) {
  Start("libretranslate", TlsPort("PARLIX_TLS_PORT"), kEnglishToSpanish, 0, "k");
  standins_.SetControl("{\"libre_key\": \"k\"}");
  Translate("Thank you");
  EXPECT_TRUE(WaitUntil([&] { return Result() == "Gracias"; }, 30s)) << Result();
  standins_.SetControl("{\"libre_key\": \"another\"}");
  Translate("Thank you");
  EXPECT_EQ(ErrorWords(), "The engine refused the key.");
  standins_.SetControl("{\"libre_busy\": true}");
  Translate("Thank you");
  EXPECT_EQ(ErrorWords(), "The engine is busy; try again in a moment.");
}

}  // namespace
}  // namespace parlix::test
