#include "translate/json.h"

#include <charconv>
#include <cstdint>

namespace parlix {

namespace {

void AppendUtf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

class Parser {
 public:
  explicit Parser(std::string_view text) : s_(text) {}

  std::optional<JsonValue> Document() {
    JsonValue value;
    SkipSpace();
    if (!Value(value, 0)) return std::nullopt;
    SkipSpace();
    if (at_ != s_.size()) return std::nullopt;
    return value;
  }

 private:
  void SkipSpace() {
    while (at_ < s_.size() && (s_[at_] == ' ' || s_[at_] == '\t' || s_[at_] == '\n' || s_[at_] == '\r')) ++at_;
  }
  bool Take(char c) {
    if (at_ < s_.size() && s_[at_] == c) {
      ++at_;
      return true;
    }
    return false;
  }
  bool Word(std::string_view word) {
    if (s_.substr(at_, word.size()) != word) return false;
    at_ += word.size();
    return true;
  }

  bool Value(JsonValue& out, int depth) {
    if (at_ >= s_.size()) return false;
    switch (s_[at_]) {
      case '{': return Object(out, depth + 1);
      case '[': return Array(out, depth + 1);
      case '"': out.kind = JsonValue::Kind::kString; return String(out.text);
      case 't': out.kind = JsonValue::Kind::kBool; out.boolean = true; return Word("true");
      case 'f': out.kind = JsonValue::Kind::kBool; return Word("false");
      case 'n': out.kind = JsonValue::Kind::kNull; return Word("null");
      default: out.kind = JsonValue::Kind::kNumber; return Number(out.number);
    }
  }

  bool Object(JsonValue& out, int depth) {
    if (depth > kMaxJsonDepth) return false;
    out.kind = JsonValue::Kind::kObject;
    ++at_;
    SkipSpace();
    if (Take('}')) return true;
    for (;;) {
      SkipSpace();
      std::string key;
      if (at_ >= s_.size() || s_[at_] != '"' || !String(key)) return false;
      SkipSpace();
      if (!Take(':')) return false;
      SkipSpace();
      JsonValue member;
      if (!Value(member, depth)) return false;
      out.names.push_back(std::move(key));
      out.items.push_back(std::move(member));
      SkipSpace();
      if (Take('}')) return true;
      if (!Take(',')) return false;
    }
  }

  bool Array(JsonValue& out, int depth) {
    if (depth > kMaxJsonDepth) return false;
    out.kind = JsonValue::Kind::kArray;
    ++at_;
    SkipSpace();
    if (Take(']')) return true;
    for (;;) {
      SkipSpace();
      JsonValue item;
      if (!Value(item, depth)) return false;
      out.items.push_back(std::move(item));
      SkipSpace();
      if (Take(']')) return true;
      if (!Take(',')) return false;
    }
  }

  bool Hex4(uint32_t& value) {
    if (s_.size() - at_ < 4) return false;
    value = 0;
    for (int i = 0; i < 4; ++i) {
      const char c = s_[at_++];
      value <<= 4;
      if (c >= '0' && c <= '9') {
        value |= static_cast<uint32_t>(c - '0');
      } else if (c >= 'a' && c <= 'f') {
        value |= static_cast<uint32_t>(c - 'a' + 10);
      } else if (c >= 'A' && c <= 'F') {
        value |= static_cast<uint32_t>(c - 'A' + 10);
      } else {
        return false;
      }
    }
    return true;
  }

  bool String(std::string& out) {
    ++at_;  // the opening quote
    while (at_ < s_.size()) {
      const char c = s_[at_++];
      if (c == '"') return true;
      if (static_cast<unsigned char>(c) < 0x20) return false;  // raw control characters are not JSON
      if (c != '\\') {
        out += c;
        continue;
      }
      if (at_ >= s_.size()) return false;
      switch (s_[at_++]) {
        case '"': out += '"'; break;
        case '\\': out += '\\'; break;
        case '/': out += '/'; break;
        case 'b': out += '\b'; break;
        case 'f': out += '\f'; break;
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        case 'u': {
          uint32_t cp = 0;
          if (!Hex4(cp)) return false;
          if (cp >= 0xD800 && cp <= 0xDBFF && s_.substr(at_, 2) == "\\u") {
            const size_t back = at_;
            at_ += 2;
            uint32_t low = 0;
            if (!Hex4(low)) return false;
            if (low >= 0xDC00 && low <= 0xDFFF) {
              cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
            } else {
              at_ = back;  // not its pair: the next escape stands alone
            }
          }
          AppendUtf8(out, (cp >= 0xD800 && cp <= 0xDFFF) ? 0xFFFD : cp);
          break;
        }
        default: return false;
      }
    }
    return false;
  }

  bool Number(double& out) {
    const size_t start = at_;
    Take('-');
    if (Take('0')) {
    } else if (at_ < s_.size() && s_[at_] >= '1' && s_[at_] <= '9') {
      while (at_ < s_.size() && s_[at_] >= '0' && s_[at_] <= '9') ++at_;
    } else {
      return false;
    }
    if (Take('.')) {
      if (!Digits()) return false;
    }
    if (Take('e') || Take('E')) {
      if (!Take('+')) Take('-');
      if (!Digits()) return false;
    }
    const auto [end, error] = std::from_chars(s_.data() + start, s_.data() + at_, out);
    // Out of range still is a number; its value does not matter to anyone here.
    return end == s_.data() + at_ && (error == std::errc() || error == std::errc::result_out_of_range);
  }

  bool Digits() {
    const size_t from = at_;
    while (at_ < s_.size() && s_[at_] >= '0' && s_[at_] <= '9') ++at_;
    return at_ > from;
  }

  std::string_view s_;
  size_t at_ = 0;
};

}  // namespace

const JsonValue* JsonValue::Find(std::string_view key) const {
  if (kind != Kind::kObject) return nullptr;
  for (size_t i = names.size(); i-- > 0;) {
    if (names[i] == key) return &items[i];
  }
  return nullptr;
}

const std::string* JsonValue::StringAt(std::initializer_list<std::string_view> path) const {
  const JsonValue* value = this;
  for (std::string_view key : path) {
    value = value->Find(key);
    if (value == nullptr) return nullptr;
  }
  return value->kind == Kind::kString ? &value->text : nullptr;
}

std::optional<JsonValue> ParseJson(std::string_view text) { return Parser(text).Document(); }

}  // namespace parlix
