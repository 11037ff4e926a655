// URL splitting: any text splits without faults, and the parts are pieces of the input.
#include <string>

#include "fuzz_check.h"
#include "net/url.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string url(reinterpret_cast<const char*>(data), size);
  std::string proto, user, pass, host, port, path = "/base/dir/";
  parlix::ParseURL(url, proto, user, pass, host, port, path);
  FUZZ_CHECK(user.size() <= url.size());
  FUZZ_CHECK(pass.size() <= url.size());
  FUZZ_CHECK(host.size() <= url.size());
  FUZZ_CHECK(port.size() <= url.size());
  const size_t split = size / 2;
  (void)parlix::LastPos(url.substr(0, split), url.substr(split));
  return 0;
}
