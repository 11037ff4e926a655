#include "shared/pseudo_random.h"

namespace parlix {

std::uint32_t PseudoRandom::Next(std::uint32_t range) {
  state_ = state_ * 1664525u + 1013904223u;
  // The high bits of an LCG are its good ones: scale them instead of taking a remainder.
  return static_cast<std::uint32_t>((static_cast<std::uint64_t>(state_) * range) >> 32);
}

}  // namespace parlix
