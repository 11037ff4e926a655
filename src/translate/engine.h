// The translation engines: the web page service the program was made for, Apertium
// (through its HTTP server, APy) and LibreTranslate. An engine turns the text and the
// current pair into a request and the answer into the translation or the engine's own
// words; the worker, the result window and the error handling are shared.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/code_page.h"

namespace parlix {

enum class EngineKind : uint8_t {
  kPage,            // the page service: the literal table's request, the answer cut from its page
  kApertium,        // APy: /translateChain, JSON answer
  kLibreTranslate,  // /translate with an optional key, JSON answer
};

// Free, keyless and public: what a first run chooses, so that a new user gets real
// translations at once.
inline constexpr char kApertiumPublicAddress[] = "https://apertium.org/apy";
// Longest engine address or key kept; a longer one is no address anybody typed.
inline constexpr size_t kMaxEngineFieldLength = 1024;

struct TEngineSettings {
  EngineKind kind = EngineKind::kPage;
  std::string address;
  std::string key;  // LibreTranslate's api_key; empty sends none
};

// The settings the program works with, as ProxySettings is for the proxy.
inline TEngineSettings EngineSettings;

// "page", "apertium", "libretranslate": the settings file's words.
std::string_view EngineKindName(EngineKind kind);
std::optional<EngineKind> EngineKindFromName(std::string_view name);

// True for a plain web address: "http://" or "https://", a host, and none of the bytes
// that have no place in an address (blanks, quotes, controls, anything outside ASCII).
bool IsEngineAddress(std::string_view address);

// A form-encoded POST.
struct EngineRequest {
  std::string url;
  std::string body;
};

// The request for an engine of kind Apertium or LibreTranslate; `utf8_text` is already
// trimmed and cut; `pair` 0..11 (std::out_of_range otherwise).
EngineRequest BuildEngineRequest(const TEngineSettings& engine, std::string_view utf8_text, int pair);

enum class EngineOutcome : uint8_t {
  kTranslated,  // `text` is the translation (UTF-8)
  kRefusedKey,  // 403
  kBusy,        // 429
  kExplained,   // `text` says why, in the user's words
  kUnreadable,  // no answer the engine would give: the caller's usual error
};

struct EngineAnswer {
  EngineOutcome outcome = EngineOutcome::kUnreadable;
  std::string text;
};

EngineAnswer ReadEngineAnswer(EngineKind kind, int status, std::string_view body, int pair);

// The words shown for an outcome other than kTranslated (kExplained's are its text).
std::string EngineOutcomeMessage(const EngineAnswer& answer);

// An engine's answer as the window shows it: the translation in the system code page,
// lines joined by CR LF, or the words to show instead (`translated` false).
struct EngineResult {
  bool translated = false;
  std::string text;
};
EngineResult EngineResultFromAnswer(EngineKind kind, int status, std::string_view body, int pair,
                                    const ICodePage& code_page);

}  // namespace parlix
