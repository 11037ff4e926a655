// The authentication exchange against answers the input writes: whatever challenges
// come (Basic, NTLM with any message, for server and proxy), the request ends exactly
// once (an abort ends a request that waits on a silent peer) and makes a bounded number
// of attempts at each address.
#include <fuzzer/FuzzedDataProvider.h>

#include "fuzz_check.h"
#include "net/http_auth.h"
#include "net/http_fake_socket.h"
#include "net/mime_util.h"

using namespace parlix;
using namespace parlix::testing;

namespace {

class FuzzAuthClient : public FakeSocketClient<HttpAuthClient> {
 public:
  using FakeSocketClient::FakeSocketClient;

 protected:
  std::string NtlmWorkstation() override { return "PC"; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  FakeHttpRigOf<FuzzAuthClient> rig;
  rig.socket.dns["host"] = {0, "127.0.0.1"};
  rig.socket.close_unscripted = true;
  const bool proxy = in.ConsumeBool();
  rig.cli.SetRequestVer(in.ConsumeBool() ? "1.1" : "1.0");
  rig.cli.SetURL("http://host/doc");
  if (proxy) rig.cli.SetProxy("127.0.0.1");
  rig.Credentials("u", "p");
  const size_t answers = in.ConsumeIntegralInRange<size_t>(1, 10);
  for (size_t i = 0; i < answers; ++i) {
    const int status = in.PickValueInArray({200, 401, 407, 302});
    const bool keep = in.ConsumeBool();
    std::string fields;
    const size_t challenges = in.ConsumeIntegralInRange<size_t>(0, 4);
    for (size_t c = 0; c < challenges; ++c) {
      const char* name = in.ConsumeBool() ? "WWW-Authenticate: " : "Proxy-Authenticate: ";
      switch (in.ConsumeIntegralInRange<int>(0, 3)) {
        case 0: fields += std::string(name) + "Basic realm=\"r\"\r\n"; break;
        case 1: fields += std::string(name) + "NTLM\r\n"; break;
        case 2: fields += std::string(name) + "NTLM " + Base64Encode(in.ConsumeRandomLengthString(200)) + "\r\n"; break;
        default: fields += std::string(name) + in.ConsumeRandomLengthString(60) + "\r\n"; break;
      }
    }
    rig.Reply("HTTP/1.0 " + std::to_string(status) + " X\r\n" + fields + (keep ? "Connection: keep-alive\r\n" : "") +
                  "Content-Length: 2\r\n\r\nok",
              !keep);
  }
  rig.cli.StartGet();
  FUZZ_CHECK(rig.Run());
  // A kept connection whose answer has no end but the close waits for the peer, as it
  // must; the user's cancel (or the program's exit) ends it, exactly once.
  if (rig.done_count == 0) {
    rig.cli.Abort();
    FUZZ_CHECK(rig.Run());
  }
  FUZZ_CHECK(rig.done_count == 1);
  const int relocations = rig.Count("LocationChange");
  // Attempts are counted per address: a relocation (a 302 whose Location a junk header
  // line may carry) starts the count again, and relocations have their own limit.
  FUZZ_CHECK(relocations <= HttpClientCore::kMaxRelocations);
  FUZZ_CHECK(rig.socket.requests.size() <=
             static_cast<size_t>(1 + relocations) * (1 + HttpAuthClient::kMaxAuthAttempts));
  return 0;
}
