// Cutting the translation out of the service's answer page.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/code_page.h"

namespace parlix {

// Lines end at CR LF, a lone CR or a lone LF; a NUL byte ends the text. A line break at the
// very end starts no further line.
std::vector<std::string> SplitLines(std::string_view bytes);
// Each line followed by CR LF.
std::string JoinLines(const std::vector<std::string>& lines);
// The same as JoinLines(SplitLines(bytes)), without building the lines.
std::string NormalizeLineEnds(std::string_view bytes);

// UTF-8 to UTF-16; nullopt when the text is not well formed (a sequence cut off at the end, a
// continuation byte outside 0x80..0xBF, or a byte that cannot start a sequence). Four-byte
// sequences give a surrogate pair, or U+FFFD above U+10FFFF.
std::optional<std::u16string> Utf8ToUtf16(std::string_view utf8);

// The answer file's bytes as lines of the system code page: split, joined with CR LF,
// decoded from UTF-8 (all or nothing: a malformed answer gives no lines), converted to ANSI
// and split again.
std::vector<std::string> DecodeAnswerLines(std::string_view file_bytes, const ICodePage& code_page);

// The four markers around the translation, in search order.
struct AnswerMarkers {
  std::string start;
  std::string second;
  std::string text;
  std::string end;

  // Unscrambled from the stored literals, each cut to kMaxMarkerLength characters.
  static AnswerMarkers FromLiterals();
};
inline constexpr std::size_t kMaxMarkerLength = 16;

// 0-based byte offset of the first occurrence of `what` in `line` that starts on a character
// boundary of the code page, or npos. An empty `what` is never found.
std::size_t FindOnCharBoundary(std::string_view line, std::string_view what, const ICodePage& code_page);

// The line state machine: deletes the lines before the text and after it, in place, and
// returns the translation's lines joined by single spaces (references not yet decoded), or
// nullopt when a marker is missing or nothing stands between the text and end markers.
std::optional<std::string> ExtractTranslation(std::vector<std::string>& lines, const AnswerMarkers& markers,
                                              const ICodePage& code_page);

// Replaces numeric references "&#...;" with their characters in the code page (its default
// character where it has none), rescanning each replacement together with the text around
// it. An "&#" without a ";" after it ends the decoding; the rest stays as it is. Throws
// EConversionError for a reference that names no valid character.
std::string DecodeCharRefs(std::string_view text, const ICodePage& code_page);

// "&amp;", "&lt;", "&gt;", "&apos;", "&quot;", one whole pass each, in that order.
std::string DecodeEntities(std::string_view text);

enum class ExtractStatus {
  kTranslated,       // text holds the decoded translation
  kProtocolChanged,  // markers missing or no text: "Error: Google protocol changed."
  kInvalidCharRef,   // text holds the conversion error's message
};

struct ExtractResult {
  ExtractStatus status = ExtractStatus::kProtocolChanged;
  std::string text;
};

// The whole of the answer's reading for the window code: bytes of the answer file in, the
// translation (ANSI) or the reason there is none out.
ExtractResult ExtractFromAnswer(std::string_view file_bytes, const ICodePage& code_page);

}  // namespace parlix
