// The TLS layer under the client against a server the input writes: handshake tokens
// and records of any type and length, cut into reads anywhere, through a proxy's
// tunnel or not. Whatever arrives, the request ends exactly once, the layer never
// holds more than its bounds, and nothing is written from a connection whose
// handshake failed.
#include <fuzzer/FuzzedDataProvider.h>

#include "fuzz_check.h"
#include "net/tls_fake_security.h"

using namespace parlix;
using namespace parlix::testing;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  TlsRig rig;
  rig.script.verdict = in.PickValueInArray({TlsVerdict::kOk, TlsVerdict::kOk, TlsVerdict::kUntrusted});
  rig.script.max_message = in.ConsumeIntegralInRange<size_t>(1, 64);
  bool verified = false;
  rig.cli.OnSessionConnected = [&](HttpClientCore&) { verified = verified || rig.tls.Secure(); };
  if (in.ConsumeBool()) {
    rig.cli.SetProxy("127.0.0.1");
    rig.tcp.exchanges.push_back(
        Exchange(in.ConsumeBool() ? "HTTP/1.0 200 OK\r\n\r\n" : in.ConsumeRandomLengthString(80), false));
  }
  FUZZ_CHECK(rig.Get("https://127.0.0.1/doc"));
  const size_t reads = in.ConsumeIntegralInRange<size_t>(0, 24);
  for (size_t i = 0; i < reads && rig.done == 0; ++i) {
    std::string piece;
    switch (in.ConsumeIntegralInRange<int>(0, 4)) {
      case 0: piece = ServerHello(); break;
      case 1: piece = TlsData(in.ConsumeRandomLengthString(300)); break;
      case 2: piece = PostHandshakeMessage(); break;
      case 3: piece = TlsRec(in.PickValueInArray({'H', 'D', 'R', 'C', 'X'}), in.ConsumeRandomLengthString(40)); break;
      default: piece = in.ConsumeRandomLengthString(40); break;
    }
    const size_t cut = in.ConsumeIntegralInRange<size_t>(1, piece.size() + 1);
    FUZZ_CHECK(rig.Play(piece, cut));
  }
  if (rig.done == 0) FUZZ_CHECK(rig.Hangup());
  // A peer still holding the connection open is ended by the user's cancel.
  if (rig.done == 0) {
    rig.cli.Abort();
    FUZZ_CHECK(rig.loop.RunUntilIdle());
  }
  FUZZ_CHECK(rig.done == 1);
  FUZZ_CHECK(!rig.tcp.stuck);
  if (!verified) FUZZ_CHECK(rig.doc.Size() == 0);
  return 0;
}
