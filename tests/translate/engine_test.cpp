// The engines' portable half: the JSON their answers come in, the requests they are
// sent, and what an answer means to the user.
#include "translate/engine.h"

#include <gtest/gtest.h>

#include "translate/json.h"

namespace parlix {
namespace {

TEST(Json, ReadsWhatEnginesSendAndRefusesTheRest) {
  const auto doc = ParseJson(
      " {\"responseData\": {\"translatedText\": \"a\\\"b\\\\c\\/d\\n\\u00e9\\ud83d\\ude00\\ud800x\", "
      "\"translationChain\": [\"eng\", \"spa\"]}, \"responseDetails\": null, \"n\": -1.5e3, \"ok\": true} ");
  ASSERT_TRUE(doc);
  // é, the pair U+1F600 as one character, and a lone high surrogate as U+FFFD.
  EXPECT_EQ(*doc->StringAt({"responseData", "translatedText"}),
            "a\"b\\c/d\n\xC3\xA9\xF0\x9F\x98\x80\xEF\xBF\xBDx");
  EXPECT_EQ(doc->Find("responseData")->Find("translationChain")->items.size(), 2u);
  EXPECT_EQ(doc->Find("n")->number, -1500);
  EXPECT_EQ(doc->Find("responseDetails")->kind, JsonValue::Kind::kNull);
  EXPECT_EQ(doc->StringAt({"n"}), nullptr);
  EXPECT_EQ(doc->StringAt({"missing", "x"}), nullptr);

  for (const char* bad : {"", "{", "{\"a\":1,}", "[1,]", "{\"a\" 1}", "\"tab\there\"", "\"\\x\"", "\"\\u12\"",
                          "01", "1.", "-", "tru", "{} {}", "{'a':1}", "\"open"})
    EXPECT_FALSE(ParseJson(bad)) << bad;
  const std::string deep_ok = std::string(kMaxJsonDepth, '[') + std::string(kMaxJsonDepth, ']');
  EXPECT_TRUE(ParseJson(deep_ok));
  EXPECT_FALSE(ParseJson("[" + deep_ok + "]"));
}

TEST(Engine, RequestsCarryTheCutTextAndThePair) {
  TEngineSettings apertium{EngineKind::kApertium, "https://apertium.example/apy/", ""};
  const EngineRequest a = BuildEngineRequest(apertium, "caf\xC3\xA9 & more", 2);  // English to French
  EXPECT_EQ(a.url, "https://apertium.example/apy/translateChain");
  EXPECT_EQ(a.body, "langpairs=en%7Cfr&markUnknown=no&q=caf%C3%A9+%26+more");

  TEngineSettings libre{EngineKind::kLibreTranslate, "http://localhost:5000", "k=1&x"};
  EXPECT_EQ(BuildEngineRequest(libre, "Hallo", 5).body, "q=Hallo&source=de&target=en&format=text&api_key=k=1%26x");
  libre.key.clear();
  EXPECT_EQ(BuildEngineRequest(libre, "Hallo", 5).url, "http://localhost:5000/translate");
  EXPECT_EQ(BuildEngineRequest(libre, "Hallo", 5).body, "q=Hallo&source=de&target=en&format=text");
  EXPECT_THROW(BuildEngineRequest(libre, "x", 12), std::out_of_range);
}

TEST(Engine, AnswersBecomeTheTranslationOrTheEnginesWords) {
  struct Case {
    EngineKind kind;
    int status;
    std::string body;
    EngineOutcome outcome;
    std::string message;  // the translation, or the words shown
  };
  const Case cases[] = {
      {EngineKind::kApertium, 200, R"({"responseData": {"translatedText": "Hola"}, "responseStatus": 200})",
       EngineOutcome::kTranslated, "Hola"},
      {EngineKind::kApertium, 400, R"({"status": "error", "code": 400, "explanation": "No path found for en-de"})",
       EngineOutcome::kExplained, "Apertium has no route from English to German."},
      {EngineKind::kApertium, 400, "{\"explanation\": \"Bad\\nthing\"}", EngineOutcome::kExplained,
       "Apertium: Bad thing"},
      {EngineKind::kLibreTranslate, 200, R"({"translatedText": "Hello"})", EngineOutcome::kTranslated, "Hello"},
      {EngineKind::kLibreTranslate, 400, R"({"error": "Invalid request"})", EngineOutcome::kExplained,
       "LibreTranslate: Invalid request"},
      {EngineKind::kLibreTranslate, 403, R"({"error": "Invalid API key"})", EngineOutcome::kRefusedKey,
       "The engine refused the key."},
      {EngineKind::kLibreTranslate, 429, "", EngineOutcome::kBusy, "The engine is busy; try again in a moment."},
      {EngineKind::kApertium, 200, "<html>moved</html>", EngineOutcome::kUnreadable, "Error: Service unavailable."},
      {EngineKind::kApertium, 200, R"({"responseData": {"translatedText": 5}})", EngineOutcome::kUnreadable,
       "Error: Service unavailable."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.body);
    const EngineAnswer answer = ReadEngineAnswer(c.kind, c.status, c.body, 0);
    EXPECT_EQ(answer.outcome, c.outcome);
    EXPECT_EQ(answer.outcome == EngineOutcome::kTranslated ? answer.text : EngineOutcomeMessage(answer), c.message);
  }
  // A hostile explanation is one bounded line.
  const EngineAnswer flood = ReadEngineAnswer(EngineKind::kLibreTranslate, 500,
                                              "{\"error\": \"" + std::string(5000, 'x') + "\"}", 0);
  EXPECT_LT(EngineOutcomeMessage(flood).size(), 400u);
  const EngineAnswer not_utf8 = ReadEngineAnswer(EngineKind::kApertium, 500,
                                                 "{\"explanation\": \"" + std::string(5000, '\xA1') + "\"}", 0);
  EXPECT_LT(EngineOutcomeMessage(not_utf8).size(), 400u);
}

TEST(Engine, OnlyPlainWebAddressesAreTaken) {
  for (const char* good : {"https://apertium.org/apy", "http://localhost:5000", "https://h/p?q=1"})
    EXPECT_TRUE(IsEngineAddress(good)) << good;
  for (const char* bad : {"", "apertium.org", "ftp://h/", "https://", "https://:80/", "https://h/a b",
                          "https://h/\"x", "file:///c:/x", "https://u@evil/", "https://h/\x01", "https://h/\xC3\xA9"})
    EXPECT_FALSE(IsEngineAddress(bad)) << bad;
  for (EngineKind kind : {EngineKind::kPage, EngineKind::kApertium, EngineKind::kLibreTranslate})
    EXPECT_EQ(EngineKindFromName(EngineKindName(kind)), kind);
  EXPECT_FALSE(EngineKindFromName("google"));
}

}  // namespace
}  // namespace parlix
