#include "service/ini_text.h"

#include <cstdint>
#include <limits>
#include <unordered_set>

namespace parlix {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  }
  return true;
}

std::string_view StripQuotes(std::string_view value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
    value.remove_prefix(1);
    value.remove_suffix(1);
  }
  return value;
}

// Splits on CR LF, LF or CR.
std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r' && text[i] != '\n') continue;
    lines.push_back(text.substr(start, i - start));
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

int DigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::optional<int> ParseIniInteger(std::string_view text) {
  text = TrimBlanks(text);
  bool negative = false;
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  int base = 10;
  if (!text.empty() && text.front() == '$') {
    base = 16;
    text.remove_prefix(1);
  } else if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    text.remove_prefix(2);
  }
  if (text.empty()) return std::nullopt;
  std::int64_t value = 0;
  const std::int64_t limit = base == 16 ? std::int64_t{0xFFFFFFFF}
                                        : static_cast<std::int64_t>(std::numeric_limits<int>::max()) + 1;
  for (char c : text) {
    const int digit = DigitValue(c);
    if (digit < 0 || digit >= base) return std::nullopt;
    value = value * base + digit;
    if (value > limit) return std::nullopt;
  }
  if (negative) value = -value;
  // Hexadecimal values may name all 32 bits, as colours do; decimal ones must fit.
  if (value > std::numeric_limits<int>::max()) {
    if (base != 16 || negative) return std::nullopt;
  }
  if (value < std::numeric_limits<int>::min()) return std::nullopt;
  return static_cast<int>(static_cast<std::int32_t>(static_cast<std::uint32_t>(value)));
}

TIniText::TIniText(std::string_view text) {
  std::string current;
  bool in_section = false;
  for (std::string_view raw : SplitLines(text)) {
    const std::string_view line = TrimBlanks(raw);
    if (line.empty() || line.front() == ';') continue;
    if (line.front() == '[') {
      const std::size_t close = line.find(']');
      if (close == std::string_view::npos) continue;
      current = std::string(TrimBlanks(line.substr(1, close - 1)));
      in_section = true;
      continue;
    }
    const std::size_t eq = line.find('=');
    if (!in_section || eq == std::string_view::npos) continue;
    const std::string_view key = TrimBlanks(line.substr(0, eq));
    if (key.empty()) continue;
    std::string_view value = StripQuotes(TrimBlanks(line.substr(eq + 1)));
    if (value.size() > kMaxValueLength) value = value.substr(0, kMaxValueLength);
    entries_.push_back({current, std::string(key), std::string(value)});
  }
}

std::optional<std::string> TIniText::Find(std::string_view section, std::string_view key) const {
  for (const Entry& entry : entries_) {
    if (SameName(entry.section, section) && SameName(entry.key, key)) return entry.value;
  }
  return std::nullopt;
}

bool TIniText::SectionExists(std::string_view section) const {
  for (const Entry& entry : entries_) {
    if (SameName(entry.section, section)) return true;
  }
  return false;
}

std::string TIniText::ReadString(std::string_view section, std::string_view key, std::string_view fallback) const {
  const std::optional<std::string> value = Find(section, key);
  return value ? *value : std::string(fallback);
}

std::vector<std::pair<std::string, std::string>> TIniText::KeyValues(std::string_view section) const {
  std::vector<std::pair<std::string, std::string>> pairs;
  std::unordered_set<std::string> seen;
  for (const Entry& entry : entries_) {
    if (!SameName(entry.section, section)) continue;
    std::string lower = entry.key;
    for (char& c : lower) c = LowerAscii(c);
    if (seen.insert(std::move(lower)).second) pairs.emplace_back(entry.key, entry.value);
  }
  return pairs;
}

int TIniText::ReadInteger(std::string_view section, std::string_view key, int fallback) const {
  const std::optional<std::string> value = Find(section, key);
  if (!value) return fallback;
  return ParseIniInteger(*value).value_or(fallback);
}

}  // namespace parlix
