// URL splitting: any text splits without faults, and the parts are pieces of the input.
// The same text as a Location: the next request line and Host line hold only what a
// request may hold.
#include <string>

#include "fuzz_check.h"
#include "net/http_proto.h"
#include "net/url.h"

namespace {

void CheckRelocation(const std::string& value, bool with_proxy) {
  parlix::HttpTarget current{"host", "80", with_proxy ? "proxy" : "host", "80", "http",
                             with_proxy ? "http://host/a/b.html" : "/a/b.html", ""};
  const auto next = parlix::ComputeRelocation(value, current, with_proxy);
  if (!next) return;
  for (const char c : next->target.request_path) FUZZ_CHECK(parlix::HttpIsTargetByte(static_cast<unsigned char>(c)));
  FUZZ_CHECK(parlix::HttpIsHostText(next->target.target_host) && parlix::HttpIsPortText(next->target.target_port));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string url(reinterpret_cast<const char*>(data), size);
  std::string proto, user, pass, host, port, path = "/base/dir/";
  parlix::ParseURL(url, proto, user, pass, host, port, path);
  for (const std::string* part : {&user, &pass, &host, &port}) FUZZ_CHECK(part->size() <= url.size());
  const size_t split = size / 2;
  (void)parlix::LastPos(url.substr(0, split), url.substr(split));
  CheckRelocation(url, false);
  CheckRelocation(url, true);
  return 0;
}
