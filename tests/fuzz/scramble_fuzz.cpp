// Literal scrambling: unscramble(scramble(x)) = x; any stored text unscrambles safely.
#include <string>

#include "fuzz_check.h"
#include "shared/code_cript.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  FUZZ_CHECK(parlix::Unscramble(parlix::Scramble(bytes)) == bytes);
  (void)parlix::Unscramble(bytes);
  return 0;
}
