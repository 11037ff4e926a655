// Run-time unscrambling of the program's stored literals.
#pragma once

#include <string>
#include <string_view>

namespace parlix {

// Turns a stored literal back into its plain text. Pure: callable from any thread.
// Stops at the first NUL; fewer than 4 characters give the empty text; characters
// after the last whole group of four are ignored; characters outside the alphabet
// count as position 0 (they never fail).
std::string Unscramble(std::string_view stored);

// Exact inverse of Unscramble, used by tools/scramble and the tests.
std::string Scramble(std::string_view plain);

// The 64 characters of the stored form, in the program's own order.
inline constexpr char kScrambleAlphabet[65] =
    "4s83gPJGRMTadL6twAFBufqSKY0jWb9/IeNxDE5Zol7kQ2vpzyhmOcnHUX+1iCrV";

}  // namespace parlix
