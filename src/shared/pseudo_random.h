#pragma once

#include <cstdint>

namespace parlix {

// The program's own pseudo-random generator: a 32-bit linear congruential generator with a
// fixed initial state, so a run that is never seeded draws the same sequence every time.
class PseudoRandom {
 public:
  static constexpr std::uint32_t kInitialState = 0;

  void Seed(std::uint32_t seed) { state_ = seed; }
  std::uint32_t State() const { return state_; }
  // Uniform in 0..range-1; 0 when range is 0.
  std::uint32_t Next(std::uint32_t range);

 private:
  std::uint32_t state_ = kInitialState;
};

}  // namespace parlix
