// The whole program against the stand-in service's real engine (Apertium): a sentence no
// phrasebook holds comes back translated, accents and all, through the page the program
// reads; an engine that runs past its limit ends in the program's own error box.
#include "support/session_win.h"

namespace parlix::test {
namespace {

constexpr char kSentence[] = "My grandmother grows tomatoes behind the church.";
// Apertium's English to Spanish, in code page 1252.
constexpr char kSentenceSpanish[] = "Mi abuela crece tomates detr\xE1s de la iglesia.";

class RealEngine : public ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    standins_.SetControl("{\"engine\": \"apertium\"}");
    ASSERT_TRUE(session_.Start(standins_.port));  // English to Spanish
  }
};

TEST_F(RealEngine, SentenceInNoPhrasebookArrivesTranslatedWithItsAccents) {
  session_.Translate(kSentence);
  // The first request may start the engine's pipeline: allow it its time.
  EXPECT_TRUE(session_.WaitForResult(kSentenceSpanish, 60s)) << session_.Result();
}

TEST_F(RealEngine, EngineTimeOutGivesServiceUnavailableThenRecovers) {
  standins_.SetControl("{\"engine\": \"apertium\", \"engine_limit\": 0}");
  session_.Translate(kSentence);
  EXPECT_EQ(session_.DismissBox(60s), std::string("Error: Service unavailable.") + kErrorTail);
  ASSERT_TRUE(WaitUntil([&] { return IsWindowEnabled(session_.memo); }));

  standins_.SetControl("{\"engine\": \"apertium\"}");
  session_.Translate(kSentence);
  EXPECT_TRUE(session_.WaitForResult(kSentenceSpanish, 60s)) << session_.Result();
}

}  // namespace
}  // namespace parlix::test
