// A read-only INI text read the way the system's profile-string routines read a file:
// the service file arrives as text and is looked at once, so it is parsed in memory.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace parlix {

class TIniText {
 public:
  // The profile routines hand out at most this many characters of a value.
  static constexpr std::size_t kMaxValueLength = 2047;

  explicit TIniText(std::string_view text);

  // A section counts only when it holds at least one key.
  bool SectionExists(std::string_view section) const;
  // The value, blanks and one pair of enclosing quotes removed; `fallback` when missing.
  std::string ReadString(std::string_view section, std::string_view key, std::string_view fallback) const;
  // Decimal, or hexadecimal after "0x" or "$", with an optional sign; `fallback` when the
  // key is missing or its value is no number that fits an int.
  int ReadInteger(std::string_view section, std::string_view key, int fallback) const;
  // The section's keys and values in file order, each key once with the value
  // ReadString gives it (the first written), so a caller can look only at what the
  // file holds, in one pass.
  std::vector<std::pair<std::string, std::string>> KeyValues(std::string_view section) const;

 private:
  struct Entry {
    std::string section;
    std::string key;
    std::string value;
  };
  std::optional<std::string> Find(std::string_view section, std::string_view key) const;

  std::vector<Entry> entries_;
};

// The integer rule of ReadInteger on its own.
std::optional<int> ParseIniInteger(std::string_view text);

}  // namespace parlix
