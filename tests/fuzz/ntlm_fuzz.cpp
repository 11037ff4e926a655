// The NTLM challenge parser: any bytes parse without reading out of bounds (ASan), and
// a message taken as valid carries exactly the challenge field of the bytes.
#include <string>

#include "fuzz_check.h"
#include "net/mime_util.h"
#include "net/ntlm.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string raw(reinterpret_cast<const char*>(data), size);
  const parlix::NtlmChallengeInfo info = parlix::NtlmParseMessage2(raw);
  if (info.valid) {
    FUZZ_CHECK(raw.size() >= 32);
    FUZZ_CHECK(raw.compare(0, 8, std::string("NTLMSSP\0", 8)) == 0);
    for (size_t i = 0; i < 8; ++i) FUZZ_CHECK(info.challenge[i] == static_cast<uint8_t>(raw[24 + i]));
    FUZZ_CHECK(info.target_name.size() <= raw.size());
  }
  (void)parlix::NtlmGetMessage2(raw);
  return 0;
}
