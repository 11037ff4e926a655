// The whole program against the stand-in service's real engine (Apertium): a sentence no
// phrasebook holds comes back translated, accents and all, through the page the program
// reads; an engine that runs past its limit ends in the program's own error box.
#include <gtest/gtest.h>

#include "support/driver_win.h"

namespace parlix::test {
namespace {

constexpr char kSentence[] = "My grandmother grows tomatoes behind the church.";
// Apertium's English to Spanish, in code page 1252.
constexpr char kSentenceSpanish[] = "Mi abuela crece tomates detr\xE1s de la iglesia.";

const char kErrorTail[] = "\r\nplease try again later...\r\nIf this problem persists, please inform us, thanks.\r\n\r\n"
                          "support@parlix.example";

class RealEngine : public ::testing::Test {
 protected:
  void SetUp() override {
    standins_ = Standins();
    ASSERT_TRUE(standins_.Running()) << "run through tools/with-standins";
    standins_.SetControl("{\"engine\": \"apertium\"}");
    WriteSettingsWithProxy(standins_.port, 1);  // English to Spanish
    program_ = std::make_unique<TProgram>();
    main_ = program_->WaitForTopWindow("TMainForm", std::string("Parlix"));
    ASSERT_NE(main_, nullptr);
    memo_ = FindChild(main_, "Edit");
    ASSERT_NE(memo_, nullptr);
  }
  void TearDown() override {
    if (program_) program_->ExitDismissingBoxes();
    program_.reset();
    standins_.SetControl("{}");
  }

  void Translate(const std::string& text) {
    SendMessageA(memo_, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    PostMessageA(main_, WM_USER + 4, 0, 0);
  }
  std::string Result() const {
    HWND result = program_->FindTopWindow("TTransForm");
    HWND memo = result != nullptr ? FindChild(result, "Edit") : nullptr;
    return memo != nullptr ? WindowText(memo) : "";
  }

  TStandins standins_;
  std::unique_ptr<TProgram> program_;
  HWND main_ = nullptr;
  HWND memo_ = nullptr;
};

TEST_F(RealEngine, SentenceInNoPhrasebookArrivesTranslatedWithItsAccents) {
  Translate(kSentence);
  // The first request may start the engine's pipeline: allow it its time.
  EXPECT_TRUE(WaitUntil([&] { return Result() == kSentenceSpanish; }, 60s)) << Result();
}

TEST_F(RealEngine, EngineTimeOutGivesServiceUnavailableThenRecovers) {
  standins_.SetControl("{\"engine\": \"apertium\", \"engine_limit\": 0}");
  Translate(kSentence);
  HWND box = program_->WaitForMessageBox(60s);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(MessageBoxText(box), std::string("Error: Service unavailable.") + kErrorTail);
  PressButton(box, IDOK);
  ASSERT_TRUE(WaitUntil([&] { return program_->FindMessageBox() == nullptr && IsWindowEnabled(memo_); }));

  standins_.SetControl("{\"engine\": \"apertium\"}");
  Translate(kSentence);
  EXPECT_TRUE(WaitUntil([&] { return Result() == kSentenceSpanish; }, 60s)) << Result();
}

}  // namespace
}  // namespace parlix::test
