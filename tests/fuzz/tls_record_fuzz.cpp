// The TLS layer under the client against a server the input writes: handshake tokens
// and records of any type and length, cut into reads anywhere, through a proxy's
// tunnel or not. Whatever arrives, the request ends exactly once, the layer never
// holds more than its bounds, and nothing is written from a connection whose
// handshake failed.
#include <fuzzer/FuzzedDataProvider.h>

#include <memory>

#include "fuzz_check.h"
#include "net/http_auth.h"
#include "net/http_fake_socket.h"
#include "net/tls_fake_security.h"
#include "net/tls_socket.h"

using namespace parlix;
using namespace parlix::testing;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  FakeLoop loop;
  FakeSocket tcp{loop};
  FakeTlsScript script;
  script.verdict = in.PickValueInArray({TlsVerdict::kOk, TlsVerdict::kOk, TlsVerdict::kUntrusted});
  script.max_message = in.ConsumeIntegralInRange<size_t>(1, 64);
  TlsSocket tls{tcp, [&script] { return std::make_unique<FakeTlsSecurity>(script); }};
  LoopClient<HttpAuthClient> cli{loop, tls};
  tcp.SetCore(&tls);
  tls.SetEvents(&cli);
  HttpMemoryStream doc;
  int done = 0;
  bool verified = false;
  cli.SetDocStream(&doc);
  cli.OnSessionConnected = [&](HttpClientCore&) { verified = verified || tls.Secure(); };
  cli.OnRequestDone = [&](HttpClientCore&, THttpRequest, uint16_t) { ++done; };
  if (in.ConsumeBool()) {
    cli.SetProxy("127.0.0.1");
    FakeExchange open;
    open.reply = in.ConsumeBool() ? "HTTP/1.0 200 OK\r\n\r\n" : in.ConsumeRandomLengthString(80);
    open.close_after = false;
    tcp.exchanges.push_back(open);
  }
  cli.SetURL("https://127.0.0.1/doc");
  cli.StartGet();
  FUZZ_CHECK(loop.RunUntilIdle());
  const size_t reads = in.ConsumeIntegralInRange<size_t>(0, 24);
  for (size_t i = 0; i < reads && done == 0; ++i) {
    std::string piece;
    switch (in.ConsumeIntegralInRange<int>(0, 4)) {
      case 0: piece = ServerHello(); break;
      case 1: piece = TlsData(in.ConsumeRandomLengthString(300)); break;
      case 2: piece = PostHandshakeMessage(); break;
      case 3: piece = TlsRec(in.PickValueInArray({'H', 'D', 'R', 'C', 'X'}), in.ConsumeRandomLengthString(40)); break;
      default: piece = in.ConsumeRandomLengthString(40); break;
    }
    const size_t cut = in.ConsumeIntegralInRange<size_t>(1, piece.size() + 1);
    for (size_t at = 0; at < piece.size(); at += cut) tcp.Deliver(piece.substr(at, cut));
    FUZZ_CHECK(loop.RunUntilIdle());
  }
  if (done == 0) {
    tcp.PeerClose();
    FUZZ_CHECK(loop.RunUntilIdle());
  }
  // A peer still holding the connection open is ended by the user's cancel.
  if (done == 0) {
    cli.Abort();
    FUZZ_CHECK(loop.RunUntilIdle());
  }
  FUZZ_CHECK(done == 1);
  FUZZ_CHECK(!tcp.stuck);
  if (!verified) FUZZ_CHECK(doc.Size() == 0);
  return 0;
}
