#include "support/memory_profile.h"

#include <algorithm>
#include <cctype>

namespace parlix::test {

namespace {
bool SameName(const std::string& a, const std::string& b) {
  // Profile names are case-insensitive, as the system's INI functions treat them.
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}
}  // namespace

std::string TMemoryProfile::ReadString(const std::string& section, const std::string& key,
                                       const std::string& fallback) const {
  for (const auto& e : entries_)
    if (SameName(e.section, section) && SameName(e.key, key)) return e.value;
  return fallback;
}

void TMemoryProfile::WriteString(const std::string& section, const std::string& key, const std::string& value) {
  if (fail_after_ == 0) throw EIniFileException("Unable to write to " + Path());
  if (fail_after_ > 0) --fail_after_;
  Set(section, key, value);
}

void TMemoryProfile::Set(const std::string& section, const std::string& key, const std::string& value) {
  exists_ = true;
  for (auto& e : entries_) {
    if (SameName(e.section, section) && SameName(e.key, key)) {
      e.value = value;
      return;
    }
  }
  // A new key goes at the end of its section, a new section at the end of the file.
  auto last_of_section = std::find_if(entries_.rbegin(), entries_.rend(),
                                      [&](const Entry& e) { return SameName(e.section, section); });
  entries_.insert(last_of_section == entries_.rend() ? entries_.end() : last_of_section.base(),
                  Entry{section, key, value});
}

std::string TMemoryProfile::Text() const {
  std::string text;
  std::string current;
  for (const auto& e : entries_) {
    if (text.empty() || !SameName(current, e.section)) {
      text += "[" + e.section + "]\n";
      current = e.section;
    }
    text += e.key + "=" + e.value + "\n";
  }
  return text;
}

}  // namespace parlix::test
