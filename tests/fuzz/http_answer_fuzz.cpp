// The HTTP answer through the portable client core, in the pieces the input chooses:
// whatever the peer sends, the request ends exactly once, the client never stops
// reading while bytes wait, and the limits on kept headers and challenges hold.
#include <fuzzer/FuzzedDataProvider.h>

#include "fuzz_check.h"
#include "net/http_client.h"
#include "net/http_fake_socket.h"

using parlix::HttpClientCore;
using parlix::testing::FakeExchange;
using parlix::testing::FakeHttpRig;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  const bool post = in.ConsumeBool();
  const bool version11 = in.ConsumeBool();
  const bool byte_by_byte = in.ConsumeBool();
  const int64_t max_doc = in.ConsumeBool() ? in.ConsumeIntegralInRange<int64_t>(0, 4096) : -1;
  const size_t pieces = in.ConsumeIntegralInRange<size_t>(0, 8);
  std::vector<size_t> splits;
  for (size_t i = 0; i < pieces; ++i) splits.push_back(in.ConsumeIntegralInRange<size_t>(0, 4096));
  std::sort(splits.begin(), splits.end());
  FakeHttpRig rig;
  rig.socket.close_unscripted = true;
  FakeExchange& ex = rig.Reply(in.ConsumeRemainingBytesAsString());
  for (size_t at : splits)
    if (at > 0 && at < ex.reply.size() && (ex.splits.empty() || at > ex.splits.back())) ex.splits.push_back(at);
  ex.byte_by_byte = byte_by_byte && ex.reply.size() < 2048;
  rig.socket.dns["host"] = {0, "127.0.0.1"};
  rig.post = parlix::HttpMemoryStream("a=1");
  rig.cli.SetRequestVer(version11 ? "1.1" : "1.0");
  rig.cli.SetMaxDocSize(max_doc);
  FUZZ_CHECK(rig.Start(post ? parlix::httpPOST : parlix::httpGET, "http://host/x"));
  FUZZ_CHECK(rig.done_count == 1);
  FUZZ_CHECK(!rig.socket.stuck);
  FUZZ_CHECK(rig.cli.RcvdHeader().size() <= HttpClientCore::kMaxHeaderLines);
  FUZZ_CHECK(rig.cli.AuthChallenges().size() <= HttpClientCore::kMaxAuthChallenges);
  if (max_doc >= 0) FUZZ_CHECK(static_cast<int64_t>(rig.doc.Data().size()) <= max_doc);
  for (const std::string& request : rig.socket.requests) {
    // A later request (a relocation) carries no line break from the answer in its first line.
    const std::string first = request.substr(0, request.find("\r\n"));
    FUZZ_CHECK(first.find('\r') == std::string::npos && first.find('\n') == std::string::npos);
    FUZZ_CHECK(first.find('\0') == std::string::npos);
  }
  return 0;
}
