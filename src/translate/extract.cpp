#include "translate/extract.h"

#include <algorithm>

#include "shared/code_cript.h"
#include "shared/literals.h"
#include "translate/request.h"
#include "translate/xml_char_ref.h"

namespace parlix {

namespace {

bool IsContinuation(unsigned char b) { return (b & 0xC0) == 0x80; }

void AppendUtf16(std::u16string& out, char32_t cp) {
  if (cp > 0x10FFFF) {
    out.push_back(0xFFFD);
  } else if (cp >= 0x10000) {
    out.push_back(static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
  } else {
    out.push_back(static_cast<char16_t>(cp));
  }
}

std::string CutMarker(std::string marker) {
  if (marker.size() > kMaxMarkerLength) marker.resize(kMaxMarkerLength);
  return marker;
}

std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to) {
  std::string out;
  out.reserve(text.size());
  size_t pos = 0;
  for (;;) {
    const size_t hit = text.find(from, pos);
    if (hit == std::string_view::npos) break;
    out.append(text.substr(pos, hit - pos));
    out.append(to);
    pos = hit + from.size();
  }
  out.append(text.substr(pos));
  return out;
}

}  // namespace

std::vector<std::string> SplitLines(std::string_view bytes) {
  const size_t nul = bytes.find('\0');
  if (nul != std::string_view::npos) bytes = bytes.substr(0, nul);
  std::vector<std::string> lines;
  size_t pos = 0;
  while (pos < bytes.size()) {
    const size_t brk = bytes.find_first_of("\r\n", pos);
    if (brk == std::string_view::npos) {
      lines.emplace_back(bytes.substr(pos));
      break;
    }
    lines.emplace_back(bytes.substr(pos, brk - pos));
    pos = brk + 1;
    if (bytes[brk] == '\r' && pos < bytes.size() && bytes[pos] == '\n') ++pos;
  }
  return lines;
}

std::string JoinLines(const std::vector<std::string>& lines) {
  size_t total = 0;
  for (const auto& line : lines) total += line.size() + 2;
  std::string out;
  out.reserve(total);
  for (const auto& line : lines) {
    out += line;
    out += "\r\n";
  }
  return out;
}

std::optional<std::u16string> Utf8ToUtf16(std::string_view utf8) {
  std::u16string out;
  out.reserve(utf8.size());
  size_t i = 0;
  while (i < utf8.size()) {
    const auto lead = static_cast<unsigned char>(utf8[i]);
    if (lead < 0x80) {
      out.push_back(lead);
      ++i;
      continue;
    }
    size_t length = 0;
    char32_t cp = 0;
    if (lead >= 0xC0 && lead <= 0xDF) {
      length = 2;
      cp = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      cp = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF7) {
      length = 4;
      cp = lead & 0x07;
    } else {
      return std::nullopt;
    }
    if (utf8.size() - i < length) return std::nullopt;
    for (size_t k = 1; k < length; ++k) {
      const auto b = static_cast<unsigned char>(utf8[i + k]);
      if (!IsContinuation(b)) return std::nullopt;
      cp = (cp << 6) | (b & 0x3F);
    }
    AppendUtf16(out, cp);
    i += length;
  }
  return out;
}

std::string NormalizeLineEnds(std::string_view bytes) {
  const size_t nul = bytes.find('\0');
  if (nul != std::string_view::npos) bytes = bytes.substr(0, nul);
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 16 + 2);
  size_t pos = 0;
  while (pos < bytes.size()) {
    const size_t brk = bytes.find_first_of("\r\n", pos);
    out.append(bytes.substr(pos, brk == std::string_view::npos ? std::string_view::npos : brk - pos));
    out.append("\r\n");
    if (brk == std::string_view::npos) break;
    pos = brk + 1;
    if (bytes[brk] == '\r' && pos < bytes.size() && bytes[pos] == '\n') ++pos;
  }
  return out;
}

std::vector<std::string> DecodeAnswerLines(std::string_view file_bytes, const ICodePage& code_page) {
  const std::optional<std::u16string> wide = Utf8ToUtf16(NormalizeLineEnds(file_bytes));
  if (!wide) return {};
  return SplitLines(code_page.Utf16ToAnsi(*wide));
}

AnswerMarkers AnswerMarkers::FromLiterals() {
  return AnswerMarkers{CutMarker(Unscramble(kStartMarkerLit)), CutMarker(Unscramble(kSecondMarkerLit)),
                       CutMarker(Unscramble(kTextMarkerLit)), CutMarker(Unscramble(kEndMarkerLit))};
}

size_t FindOnCharBoundary(std::string_view line, std::string_view what, const ICodePage& code_page) {
  if (what.empty()) return std::string_view::npos;
  size_t hit = line.find(what);
  if (hit == std::string_view::npos) return hit;
  // Walk character starts once, from the left, checking each byte hit as the walk reaches it:
  // a hit on the trail byte of a double-byte character does not count.
  size_t boundary = 0;
  while (hit != std::string_view::npos) {
    while (boundary < hit) boundary += code_page.IsLeadByte(static_cast<unsigned char>(line[boundary])) ? 2 : 1;
    if (boundary == hit) return hit;
    hit = line.find(what, hit + 1);
  }
  return hit;
}

std::optional<std::string> ExtractTranslation(std::vector<std::string>& lines, const AnswerMarkers& markers,
                                              const ICodePage& code_page) {
  // Lines deleted at index 0 (all deletions of states 0 to 2) only move `first` on, so
  // skipping a long page before the markers stays linear; the vector is compacted once.
  size_t first = 0;
  const auto count = [&] { return lines.size() - first; };
  const auto at = [&](size_t i) -> std::string& { return lines[first + i]; };
  const auto erase_at = [&](size_t i) {
    if (i == 0) {
      ++first;
    } else {
      lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(first + i));
    }
  };
  const std::string* const leading_markers[3] = {&markers.start, &markers.second, &markers.text};

  std::optional<std::string> result;
  bool finished = false;
  size_t i = 0;
  int state = 0;
  std::string line;
  while (!finished && count() > 0) {
    if (i < count()) {
      line = std::move(at(i));  // every path below stores the line back or deletes it
    } else {
      finished = true;
    }
    if (state <= 2) {
      const std::string& marker = *leading_markers[state];
      const size_t hit = FindOnCharBoundary(line, marker, code_page);
      if (hit == std::string::npos) {
        erase_at(i);
        continue;
      }
      // Everything before the marker and the marker's first character go.
      line.erase(0, hit + (code_page.IsLeadByte(static_cast<unsigned char>(marker[0])) ? 2 : 1));
      at(i) = state == 2 ? TrimText(line) : line;
      ++state;
      continue;
    }
    if (state == 3) {
      const size_t hit = FindOnCharBoundary(line, markers.end, code_page);
      if (hit != std::string::npos) {
        line.resize(hit);
        if (!line.empty()) {
          at(i) = TrimText(line);
          ++i;
        } else {
          erase_at(i);
        }
        state = 4;
      } else {
        if (i < count()) at(i) = TrimText(line);
        ++i;
      }
      continue;
    }
    // State 4: the end marker was found in the previous pass.
    lines.resize(first + std::min(i, count()));
    std::string text;
    for (size_t k = 0; k < count(); ++k) {
      if (at(k).empty()) continue;
      text += at(k);
      if (k + 1 < count()) text += ' ';
    }
    if (!text.empty()) result = std::move(text);
    finished = true;
  }
  lines.erase(lines.begin(), lines.begin() + static_cast<std::ptrdiff_t>(first));
  return result;
}

std::string DecodeCharRefs(std::string_view text, const ICodePage& code_page) {
  // One buffer, two cursors: buf[0, w) is decoded text that can no longer change, buf[r, end)
  // is still to be scanned. A replacement is written just in front of r, so it is scanned
  // again together with what follows, as a fresh search from the start would; a reference
  // is never shorter than its replacement, so it always fits. This keeps the work linear
  // where restarting from the beginning after each reference would be quadratic.
  std::string buf(text);
  size_t w = 0;
  size_t r = 0;
  for (;;) {
    const size_t p = buf.find("&#", r);
    if (p == std::string::npos) break;
    const size_t q = buf.find(';', p);
    // Without a ";" the same "&#" would be found forever: stop and keep the rest as it is.
    if (q == std::string::npos) break;
    const std::string reference = buf.substr(p, q - p + 1);
    std::u16string wide;
    try {
      wide = XmlCharRefToStr(code_page.AnsiToUtf16(reference));
    } catch (const EConversionError&) {
      throw EConversionError(reference);  // the message names the reference as it came
    }
    const std::string replacement = code_page.Utf16ToAnsi(wide);

    std::copy(buf.begin() + static_cast<std::ptrdiff_t>(r), buf.begin() + static_cast<std::ptrdiff_t>(p),
              buf.begin() + static_cast<std::ptrdiff_t>(w));
    w += p - r;
    const size_t after = q + 1;
    if (replacement.size() <= after - w) {
      r = after - replacement.size();
      std::copy(replacement.begin(), replacement.end(), buf.begin() + static_cast<std::ptrdiff_t>(r));
    } else {
      buf = buf.substr(0, w) + replacement + buf.substr(after);
      r = w;
    }
    // A replacement starting with "#" makes a new reference with an "&" just before it.
    if (w > 0 && buf[w - 1] == '&' && r < buf.size() && buf[r] == '#') {
      --w;
      --r;
      buf[r] = '&';
    }
  }
  std::copy(buf.begin() + static_cast<std::ptrdiff_t>(r), buf.end(), buf.begin() + static_cast<std::ptrdiff_t>(w));
  buf.resize(w + (buf.size() - r));
  return buf;
}

std::string DecodeEntities(std::string_view text) {
  // "&amp;" first: an escaped ampersand in front of "lt;" ends up as "<".
  std::string out = ReplaceAll(text, "&amp;", "&");
  out = ReplaceAll(out, "&lt;", "<");
  out = ReplaceAll(out, "&gt;", ">");
  out = ReplaceAll(out, "&apos;", "'");
  out = ReplaceAll(out, "&quot;", "\"");
  return out;
}

ExtractResult ExtractFromAnswer(std::string_view file_bytes, const ICodePage& code_page) {
  std::vector<std::string> lines = DecodeAnswerLines(file_bytes, code_page);
  const std::optional<std::string> raw = ExtractTranslation(lines, AnswerMarkers::FromLiterals(), code_page);
  if (!raw) return {ExtractStatus::kProtocolChanged, {}};
  try {
    return {ExtractStatus::kTranslated, DecodeEntities(DecodeCharRefs(*raw, code_page))};
  } catch (const EConversionError& error) {
    return {ExtractStatus::kInvalidCharRef, error.what()};
  }
}

}  // namespace parlix
