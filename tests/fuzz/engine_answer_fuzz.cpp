// The JSON reader and the engines' answer reading on whatever a server sends: no crash,
// no unbounded words, and a value read once reads the same way again.
#include <fuzzer/FuzzedDataProvider.h>

#include "fuzz_check.h"
#include "translate/engine.h"
#include "translate/json.h"

using namespace parlix;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  const int status = in.PickValueInArray({200, 400, 403, 429, 500});
  const EngineKind kind = in.ConsumeBool() ? EngineKind::kApertium : EngineKind::kLibreTranslate;
  const int pair = in.ConsumeIntegralInRange<int>(0, 11);
  const std::string body = in.ConsumeRemainingBytesAsString();
  const std::optional<JsonValue> json = ParseJson(body);
  if (json && json->kind == JsonValue::Kind::kString) {
    // A string's value, written back as a JSON string of \u escapes, reads as itself.
    std::string again = "\"";
    for (unsigned char c : json->text) {
      char hex[8];
      std::snprintf(hex, sizeof(hex), "\\u%04x", c);
      again += c >= 0x20 && c < 0x80 && c != '"' && c != '\\' ? std::string(1, static_cast<char>(c)) : std::string(hex);
    }
    again += "\"";
    const std::optional<JsonValue> reread = ParseJson(again);
    FUZZ_CHECK(reread && reread->kind == JsonValue::Kind::kString);
    // Bytes over 0x7F come back as the characters U+0080..U+00FF, so compare only ASCII texts.
    bool ascii = true;
    for (unsigned char c : json->text) ascii = ascii && c < 0x80;
    if (ascii) FUZZ_CHECK(reread->text == json->text);
  }
  const EngineAnswer answer = ReadEngineAnswer(kind, status, body, pair);
  if (answer.outcome == EngineOutcome::kExplained) FUZZ_CHECK(answer.text.size() < 400);
  if (answer.outcome == EngineOutcome::kTranslated) FUZZ_CHECK(json && status == 200);
  return 0;
}
