// The system proxy texts: any registry bytes parse without faults, and host and port
// are pieces of the server text.
#include <fuzzer/FuzzedDataProvider.h>

#include <string>

#include "config/proxy_string.h"
#include "fuzz_check.h"

using namespace parlix;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  const auto kind = in.PickValueInArray(
      {ProxyEnableKind::kMissing, ProxyEnableKind::kDword, ProxyEnableKind::kBinary, ProxyEnableKind::kOther});
  const std::string enable = in.ConsumeRandomLengthString(16);
  const std::string server = in.ConsumeRandomLengthString(512);
  const std::string override_text = in.ConsumeRemainingBytesAsString();
  const SystemProxy proxy = ParseSystemProxy(kind, enable, server, override_text, "http");
  FUZZ_CHECK(proxy.host.size() + proxy.port.size() <= server.size() + override_text.size());
  const ProxyHostPort direct = ParseProxyServer(server, "http");
  FUZZ_CHECK(direct.host.size() + direct.port.size() <= server.size());
  return 0;
}
