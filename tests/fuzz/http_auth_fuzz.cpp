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
using parlix::testing::FakeExchange;
using parlix::testing::FakeLoop;
using parlix::testing::FakeSocket;

namespace {

class FuzzAuthClient : public HttpAuthClient, private HttpMessagePoster {
 public:
  FuzzAuthClient(FakeLoop& loop, FakeSocket& socket) : loop_(loop) {
    socket.SetCore(this);
    AttachTransport(&socket, this);
  }

 protected:
  std::string NtlmWorkstation() override { return "PC"; }

 private:
  void PostClientMessage(unsigned msg, uintptr_t wparam, intptr_t lparam) override {
    loop_.Post([this, msg, wparam, lparam] { HandleClientMessage(msg, wparam, lparam); });
  }
  FakeLoop& loop_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  FakeLoop loop;
  FakeSocket socket{loop};
  FuzzAuthClient cli{loop, socket};
  HttpMemoryStream doc;
  int done = 0;
  socket.dns["host"] = {0, "127.0.0.1"};
  socket.close_unscripted = true;
  cli.SetDocStream(&doc);
  cli.OnRequestDone = [&](HttpClientCore&, THttpRequest, uint16_t) { ++done; };
  int relocations = 0;
  cli.OnLocationChange = [&](HttpClientCore&) { ++relocations; };
  const bool proxy = in.ConsumeBool();
  cli.SetRequestVer(in.ConsumeBool() ? "1.1" : "1.0");
  cli.SetURL("http://host/doc");
  if (proxy) cli.SetProxy("127.0.0.1");
  cli.SetUsername("u");
  cli.SetPassword("p");
  cli.SetProxyUsername("pu");
  cli.SetProxyPassword("pp");
  const size_t answers = in.ConsumeIntegralInRange<size_t>(1, 10);
  for (size_t i = 0; i < answers; ++i) {
    FakeExchange ex;
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
    ex.reply = "HTTP/1.0 " + std::to_string(status) + " X\r\n" + fields + (keep ? "Connection: keep-alive\r\n" : "") +
               "Content-Length: 2\r\n\r\nok";
    ex.close_after = !keep;
    socket.exchanges.push_back(ex);
  }
  cli.StartGet();
  FUZZ_CHECK(loop.RunUntilIdle());
  // A kept connection whose answer has no end but the close waits for the peer, as it
  // must; the user's cancel (or the program's exit) ends it, exactly once.
  if (done == 0) {
    cli.Abort();
    FUZZ_CHECK(loop.RunUntilIdle());
  }
  FUZZ_CHECK(done == 1);
  // Attempts are counted per address: a relocation (a 302 whose Location a junk header
  // line may carry) starts the count again, and relocations have their own limit.
  FUZZ_CHECK(relocations <= HttpClientCore::kMaxRelocations);
  FUZZ_CHECK(socket.requests.size() <=
             static_cast<size_t>(1 + relocations) * (1 + HttpAuthClient::kMaxAuthAttempts));
  return 0;
}
