// The answer parser under the sanitizers on malformed answers: whatever the server
// sends, in whatever pieces, the request ends exactly once and nothing faults.
#include <gtest/gtest.h>

#include <random>

#include "net/http_client.h"
#include "net/http_fake_socket.h"

namespace parlix {
namespace {

using testing::FakeExchange;
using testing::FakeHttpRig;

const std::vector<std::string>& Corpus() {
  static const std::vector<std::string> corpus = {
      "",
      "\r\n\r\n",
      "\n\n\n",
      "HTTP/1.1",
      "HTTP/1.1 ",
      "HTTP/1.1 2",
      "HTTP/1.1 99999999999 Big\r\n\r\n",
      "HTTP/1.0 -1 Neg\r\n\r\nbody",
      "HTTP/1.0 200\r\n\r\n",
      "HTTP/1.0 200 OK\r\nContent-Length: -1\r\n\r\nabc",
      "HTTP/1.0 200 OK\r\nContent-Length: 18446744073709551617\r\n\r\nabc",
      "HTTP/1.0 200 OK\r\nContent-Length: 5\r\nContent-Length: 2\r\n\r\nabcdef",
      "HTTP/1.0 200 OK\r\nContent-Length: 9223372036854775807\r\n\r\nabc",
      "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nFFFFFFFFFFFFFFFF\r\nabc",
      "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n" + std::string(100, 'f') + "\r\n",
      "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n-5\r\nabc",
      "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nab",
      "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nContent-Length: 3\r\n\r\n1\r\na\r\n0\r\n\r\n",
      "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 100 Continue\r\n\r\n",
      "HTTP/1.1 100 Continue\r\n\r\n",
      "HTTP/1.0 302 Found\r\nLocation:\r\n\r\n",
      "HTTP/1.0 302 Found\r\nLocation: http://\r\n\r\n",
      "HTTP/1.0 302 Found\r\nLocation: http://@:/\r\n\r\n",
      "HTTP/1.0 302 Found\r\nLocation: ../../../../x\r\n\r\n",
      "HTTP/1.0 302 Found\r\nLocation: https://127.0.0.1/\r\n\r\n",
      "HTTP/1.0 302 Found\r\nLocation: ftp://127.0.0.1/\r\n\r\n",
      "HTTP/1.0 200 OK\r\nContent-Range: -\r\nContent-Range: bytes\r\n\r\n",
      "HTTP/1.0 200 OK\r\n:\r\n: : :\r\nNoColon\r\n\r\nx",
      "HTTP/1.0 200 OK\r\nX: " + std::string(50000, 'x') + "\r\n\r\nbody",
      "HTTP/1.0 200 OK\r\n" + std::string(30000, 'y'),
      "<HTML>" + std::string(20000, 'h'),
      "<html>\n",
      std::string("HTTP/1.0 200 OK\r\nX: \0\0\0\r\n\r\n\0\xff\xfe", 30),
      std::string("\0\0\0\0\n\0\r\n", 8),
  };
  return corpus;
}

void PlayOnce(const std::string& reply, const std::vector<size_t>& splits, bool byte_by_byte, THttpRequest kind) {
  FakeHttpRig rig;
  rig.socket.close_unscripted = true;
  FakeExchange& ex = rig.Reply(reply);
  ex.splits = splits;
  ex.byte_by_byte = byte_by_byte;
  rig.post = HttpMemoryStream("k=v");
  rig.cli.SetPostStream(&rig.post);  // a GET or HEAD with a body at hand too
  ASSERT_TRUE(rig.Start(kind, "http://127.0.0.1/a/b"));
  EXPECT_FALSE(rig.socket.stuck);
  EXPECT_EQ(rig.done_count, 1);
  EXPECT_EQ(rig.cli.State(), ClientState::kReady);
  EXPECT_LE(rig.cli.RcvdCount(), static_cast<int64_t>(reply.size()));
}

TEST(HttpAnswerFuzz, CorpusWholeSplitAndByteByByte) {
  for (const std::string& reply : Corpus()) {
    SCOPED_TRACE(reply.substr(0, 60));
    for (THttpRequest kind : {httpGET, httpPOST, httpHEAD}) {
      PlayOnce(reply, {}, false, kind);
      PlayOnce(reply, {reply.size() / 3, reply.size() / 2 + 1}, false, kind);
      if (reply.size() < 200) PlayOnce(reply, {}, true, kind);
    }
  }
}

// Valid answers with random damage: bytes changed, cut short, split anywhere.
TEST(HttpAnswerFuzz, MutatedAnswers) {
  const std::vector<std::string> seeds = {
      "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n4\r\nWiki\r\n5\r\npedia\r\n0\r\n\r\n",
      "HTTP/1.0 200 OK\r\nContent-Length: 10\r\nContent-Type: text/html\r\n\r\n0123456789",
      "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 302 Found\r\nLocation: /x\r\nContent-Length: 0\r\n\r\n",
  };
  std::mt19937 rng(12345);
  const std::string alphabet = "0123456789abcdefABCDEF\r\n:; -/HTP.\x80\xff";
  for (int round = 0; round < 3000; ++round) {
    std::string reply = seeds[static_cast<size_t>(round) % seeds.size()];
    const int edits = 1 + static_cast<int>(rng() % 4);
    for (int e = 0; e < edits && !reply.empty(); ++e) {
      const size_t at = rng() % reply.size();
      switch (rng() % 3) {
        case 0: reply[at] = alphabet[rng() % alphabet.size()]; break;
        case 1: reply.erase(at, 1 + rng() % 4); break;
        default: reply.insert(at, 1, alphabet[rng() % alphabet.size()]); break;
      }
    }
    if (rng() % 4 == 0) reply.resize(rng() % (reply.size() + 1));
    std::vector<size_t> splits;
    for (int s = 0; s < 3 && !reply.empty(); ++s) splits.push_back(rng() % reply.size());
    std::sort(splits.begin(), splits.end());
    SCOPED_TRACE(round);
    PlayOnce(reply, splits, false, round % 5 == 0 ? httpPOST : httpGET);
    if (::testing::Test::HasFailure()) return;
  }
}

}  // namespace
}  // namespace parlix
