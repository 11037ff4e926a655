// A JSON reader for what the translation engines answer: objects, arrays, strings with
// every escape (surrogate pairs joined, a lone surrogate read as U+FFFD), numbers, true,
// false and null. Strict about the grammar, bounded in nesting; answers come from the
// network, so anything else is no answer.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace parlix {

// Deeper nesting is refused: an honest answer is three levels deep, and each level costs
// stack.
inline constexpr int kMaxJsonDepth = 32;

struct JsonValue {
  enum class Kind { kNull, kBool, kNumber, kString, kArray, kObject };
  Kind kind = Kind::kNull;
  bool boolean = false;
  double number = 0;
  std::string text;  // a string's value, as UTF-8
  std::vector<JsonValue> items;         // an array's values, or an object's
  std::vector<std::string> names;       // an object's member names, beside `items`

  // The member named `key` of an object (the last, if written twice), or nullptr.
  const JsonValue* Find(std::string_view key) const;
  // The string at the end of a path of member names, or nullptr when any step is missing
  // or the last is no string.
  const std::string* StringAt(std::initializer_list<std::string_view> path) const;
};

// One value, with white space around it allowed; nullopt for anything else.
std::optional<JsonValue> ParseJson(std::string_view text);

}  // namespace parlix
