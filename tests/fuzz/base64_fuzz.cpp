// Base64: decode(encode(x)) = x, and any text decodes without faults to at most three
// bytes for every four characters.
#include <string>

#include "fuzz_check.h"
#include "net/mime_util.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  FUZZ_CHECK(parlix::Base64Decode(parlix::Base64Encode(bytes)) == bytes);
  const std::string decoded = parlix::Base64Decode(bytes);
  FUZZ_CHECK(decoded.size() <= (bytes.size() + 3) / 4 * 3);
  (void)parlix::EncodeBase64Str(bytes);
  return 0;
}
