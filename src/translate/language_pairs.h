// The twelve fixed language pairs and the F-key rule that picks one.
#pragma once

#include <array>
#include <optional>
#include <string_view>

namespace parlix {

inline constexpr int kLanguageCount = 6;
inline constexpr int kPairCount = 12;
// The pair a first run starts with: English to Spanish.
inline constexpr int kDefaultPair = 1;

// Indexed by language; the flag images of the main window follow the same order.
inline constexpr std::array<std::string_view, kLanguageCount> LanguageNames = {
    "English", "French", "German", "Italian", "Portuguese", "Spanish"};

// LanguageNames index of each pair's source and target.
inline constexpr std::array<int, kPairCount> PairSource = {0, 0, 0, 0, 0, 2, 2, 5, 1, 1, 3, 4};
inline constexpr std::array<int, kPairCount> PairTarget = {2, 5, 1, 3, 4, 0, 1, 0, 0, 2, 0, 0};

// "%7C" is "|" already percent-encoded: the code goes into the request body as it stands.
inline constexpr std::array<std::string_view, kPairCount> PairCodes = {
    "en%7Cde", "en%7Ces", "en%7Cfr", "en%7Cit", "en%7Cpt", "de%7Cen",
    "de%7Cfr", "es%7Cen", "fr%7Cen", "fr%7Cde", "it%7Cen", "pt%7Cen"};

constexpr bool IsValidPair(int pair) { return pair >= 0 && pair < kPairCount; }

// Virtual-key codes of F1 and F12 (the same values as VK_F1 and VK_F12).
inline constexpr unsigned kKeyF1 = 0x70;
inline constexpr unsigned kKeyF12 = 0x7B;

// The main text area's rule: F1..F12 without Ctrl select pairs 0..11; with Ctrl, or for any
// other key, nothing is selected.
constexpr std::optional<int> PairForKey(unsigned virtual_key, bool ctrl_down) {
  if (ctrl_down) return std::nullopt;
  if (virtual_key < kKeyF1 || virtual_key > kKeyF12) return std::nullopt;
  return static_cast<int>(virtual_key - kKeyF1);
}

}  // namespace parlix
