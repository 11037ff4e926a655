#include "translate/engine.h"

#include <stdexcept>

#include "translate/extract.h"
#include "translate/json.h"
#include "translate/language_pairs.h"
#include "translate/request.h"

namespace parlix {

namespace {

constexpr std::string_view kLanguageCodes[kLanguageCount] = {"en", "fr", "de", "it", "pt", "es"};
// An engine's explanation goes into a message box: a sentence, not a page.
constexpr size_t kMaxExplanationLength = 300;

// Longest UTF-8 character, in bytes.
constexpr size_t kMaxCharacterBytes = 4;

// The engine's words as a line of text: controls become blanks, and a long one is cut
// at a character's start, so the cut leaves valid UTF-8 valid. Words that are not UTF-8 may
// bring a run of continuation bytes with no start at all: they are cut a character later.
std::string Sentence(const std::string& words) {
  std::string out;
  for (char c : words) {
    const bool starts_character = (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    if (out.size() >= kMaxExplanationLength &&
        (starts_character || out.size() >= kMaxExplanationLength + kMaxCharacterBytes)) {
      out += "...";
      break;
    }
    out += static_cast<unsigned char>(c) < 0x20 ? ' ' : c;
  }
  return out;
}

std::string Base(const std::string& address) {
  std::string base = address;
  while (!base.empty() && base.back() == '/') base.pop_back();
  return base;
}

std::string_view Source(int pair) { return kLanguageCodes[PairSource.at(static_cast<size_t>(pair))]; }
std::string_view Target(int pair) { return kLanguageCodes[PairTarget.at(static_cast<size_t>(pair))]; }

// APy says "No path found for en-de" when no chain of its pairs leads there.
std::string ApertiumWords(const std::string& explanation, int pair) {
  if (explanation.rfind("No path found", 0) == 0 && IsValidPair(pair)) {
    return "Apertium has no route from " + std::string(LanguageNames[PairSource[pair]]) + " to " +
           std::string(LanguageNames[PairTarget[pair]]) + ".";
  }
  return "Apertium: " + explanation;
}

}  // namespace

std::string_view EngineKindName(EngineKind kind) {
  switch (kind) {
    case EngineKind::kApertium: return "apertium";
    case EngineKind::kLibreTranslate: return "libretranslate";
    case EngineKind::kPage: break;
  }
  return "page";
}

std::optional<EngineKind> EngineKindFromName(std::string_view name) {
  for (EngineKind kind : {EngineKind::kPage, EngineKind::kApertium, EngineKind::kLibreTranslate}) {
    if (name == EngineKindName(kind)) return kind;
  }
  return std::nullopt;
}

bool IsEngineAddress(std::string_view address) {
  if (address.size() > kMaxEngineFieldLength) return false;
  size_t host_at = 0;
  if (address.rfind("https://", 0) == 0) {
    host_at = 8;
  } else if (address.rfind("http://", 0) == 0) {
    host_at = 7;
  } else {
    return false;
  }
  for (char c : address) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (u <= 0x20 || u >= 0x7F || c == '"' || c == '<' || c == '>' || c == '\\' || c == '`') return false;
  }
  const size_t host_end = address.find_first_of("/?#", host_at);
  const std::string_view host = address.substr(host_at, host_end == std::string_view::npos ? address.npos : host_end - host_at);
  return !host.empty() && host[0] != ':' && host.find('@') == std::string_view::npos;
}

EngineRequest BuildEngineRequest(const TEngineSettings& engine, std::string_view utf8_text, int pair) {
  if (!IsValidPair(pair)) throw std::out_of_range("pair");
  EngineRequest request;
  const std::string text = FormEncode(utf8_text);
  if (engine.kind == EngineKind::kApertium) {
    // The chain lets the server route through other languages (English to French by
    // way of Spanish) where it has no direct pair.
    request.url = Base(engine.address) + "/translateChain";
    request.body = "langpairs=" + std::string(Source(pair)) + "%7C" + std::string(Target(pair)) +
                   "&markUnknown=no&q=" + text;
  } else {
    request.url = Base(engine.address) + "/translate";
    request.body = "q=" + text + "&source=" + std::string(Source(pair)) + "&target=" + std::string(Target(pair)) +
                   "&format=text";
    if (!engine.key.empty()) request.body += "&api_key=" + FormEncode(engine.key);
  }
  return request;
}

EngineAnswer ReadEngineAnswer(EngineKind kind, int status, std::string_view body, int pair) {
  EngineAnswer answer;
  if (status == 403) {
    answer.outcome = EngineOutcome::kRefusedKey;
    return answer;
  }
  if (status == 429) {
    answer.outcome = EngineOutcome::kBusy;
    return answer;
  }
  const std::optional<JsonValue> json = ParseJson(body);
  if (!json) return answer;
  const bool apertium = kind == EngineKind::kApertium;
  if (status >= 200 && status <= 299) {
    const std::string* text =
        apertium ? json->StringAt({"responseData", "translatedText"}) : json->StringAt({"translatedText"});
    if (text != nullptr) {
      answer.outcome = EngineOutcome::kTranslated;
      answer.text = *text;
    }
    return answer;
  }
  const std::string* why = apertium ? json->StringAt({"explanation"}) : json->StringAt({"error"});
  if (why != nullptr && !why->empty()) {
    answer.outcome = EngineOutcome::kExplained;
    answer.text = apertium ? ApertiumWords(Sentence(*why), pair) : "LibreTranslate: " + Sentence(*why);
  }
  return answer;
}

std::string EngineOutcomeMessage(const EngineAnswer& answer) {
  switch (answer.outcome) {
    case EngineOutcome::kRefusedKey: return "The engine refused the key.";
    case EngineOutcome::kBusy: return "The engine is busy; try again in a moment.";
    case EngineOutcome::kExplained: return answer.text;
    case EngineOutcome::kTranslated: return "";
    case EngineOutcome::kUnreadable: break;
  }
  return "Error: Service unavailable.";
}

namespace {

std::string AnsiText(std::string_view utf8, const ICodePage& code_page) {
  std::string text = JoinLines(DecodeAnswerLines(utf8, code_page));
  if (text.size() >= 2) text.resize(text.size() - 2);  // the last line's CR LF
  return text;
}

}  // namespace

EngineResult EngineResultFromAnswer(EngineKind kind, int status, std::string_view body, int pair,
                                    const ICodePage& code_page) {
  const EngineAnswer answer = ReadEngineAnswer(kind, status, body, pair);
  EngineResult result;
  if (answer.outcome == EngineOutcome::kTranslated) {
    result.text = AnsiText(answer.text, code_page);
    // Text that is no UTF-8 converts to nothing: no translation anybody could read.
    result.translated = !result.text.empty() || answer.text.empty();
    if (result.translated) return result;
    return {false, "Error: Service unavailable."};
  }
  result.text = AnsiText(EngineOutcomeMessage(answer), code_page);
  if (result.text.empty()) result.text = "Error: Service unavailable.";
  return result;
}

}  // namespace parlix
