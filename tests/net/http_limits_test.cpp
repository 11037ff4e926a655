// A peer that floods or smuggles: every count and size the client keeps from an answer
// is bounded, and reaching a bound ends the request with an error instead of growing
// memory, filling the disk or going on for ever.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "net/http_auth.h"
#include "net/http_fake_socket.h"

namespace parlix {
namespace {

using testing::FakeExchange;
using testing::FakeHttpRig;

// The rig after one GET of `reply`, read in pieces of 4096 bytes.
std::unique_ptr<FakeHttpRig> Fetch(const std::string& reply, int64_t max_doc = -1) {
  auto rig = std::make_unique<FakeHttpRig>();
  FakeExchange& ex = rig->Reply(reply);
  for (size_t at = 4096; at < reply.size(); at += 4096) ex.splits.push_back(at);
  rig->cli.SetMaxDocSize(max_doc);
  EXPECT_TRUE(rig->Get("http://127.0.0.1/a"));
  EXPECT_FALSE(rig->socket.stuck);
  return rig;
}

std::string Lines(const std::string& line, size_t count) {
  std::string out;
  for (size_t i = 0; i < count; ++i) out += line + "\r\n";
  return out;
}

TEST(HttpLimits, HeaderFloodsEndTheAnswer) {
  struct Case {
    const char* name;
    std::string reply;
    bool refused;
  };
  const size_t max_lines = HttpClientCore::kMaxHeaderLines;
  const std::vector<Case> cases = {
      // The status line counts: kMaxHeaderLines lines in all still pass.
      {"lines at the limit", "HTTP/1.0 200 OK\r\n" + Lines("X-A: b", max_lines - 1) + "\r\nok", false},
      {"one line too many", "HTTP/1.0 200 OK\r\n" + Lines("X-A: b", max_lines) + "\r\nok", true},
      {"a million empty-valued lines", "HTTP/1.0 200 OK\r\n" + Lines("X:", 1000000) + "\r\nok", true},
      {"header bytes past the limit in long lines",
       "HTTP/1.0 200 OK\r\n" + Lines("X-Long: " + std::string(8000, 'v'), 9) + "\r\nok", true},
      {"long lines under the limit",
       "HTTP/1.0 200 OK\r\n" + Lines("X-Long: " + std::string(8000, 'v'), 7) + "\r\nok", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto out = Fetch(c.reply);
    if (c.refused) {
      EXPECT_EQ(out->Ended(), std::tuple(1, kHttpErrBadAnswer, 200, ""));
      EXPECT_LE(out->cli.RcvdHeader().size(), HttpClientCore::kMaxHeaderLines);
    } else {
      EXPECT_EQ(out->Ended(), std::tuple(1, 0, 200, "ok"));
    }
  }
}

TEST(HttpLimits, ChallengesPerAnswerAreBounded) {
  const size_t max = HttpClientCore::kMaxAuthChallenges;
  auto out = Fetch("HTTP/1.0 401 No\r\n" + Lines("WWW-Authenticate: X" , max) + "\r\n");
  EXPECT_EQ(out->Ended(), std::tuple(1, 0, 401, ""));
  EXPECT_EQ(out->cli.AuthChallenges().size(), max);
  out = Fetch("HTTP/1.0 401 No\r\n" + Lines("WWW-Authenticate: X", max) + "Proxy-Authenticate: Basic\r\n\r\n");
  EXPECT_EQ(out->done_error, kHttpErrBadAnswer);
  EXPECT_LE(out->cli.AuthChallenges().size(), max);
}

// A line break or NUL inside a Location would end up in the next request line and
// Host line: the answer is malformed, and no second request goes out.
TEST(HttpLimits, LocationWithLineBreaksIsRefused) {
  for (const std::string& value : {std::string("/x\rHost: evil"), std::string("http://a\r/b"),
                                  std::string("/x\0y", 4), std::string("/x\r")}) {
    SCOPED_TRACE(value);
    const auto out = Fetch("HTTP/1.0 302 Found\r\nLocation: " + value + "\r\nContent-Length: 0\r\n\r\n");
    EXPECT_EQ(out->Ended(), std::tuple(1, kHttpErrBadAnswer, 302, ""));
    EXPECT_EQ(out->socket.requests.size(), 1u);
  }
}

TEST(HttpLimits, DocumentsPastTheirLimitAreRefused) {
  const std::string body(1000, 'b');
  struct Case {
    const char* name;
    std::string reply;
    int64_t limit;
    uint16_t error;
  };
  std::string chunked = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
  for (int i = 0; i < 10; ++i) chunked += "64\r\n" + body.substr(0, 100) + "\r\n";
  chunked += "0\r\n\r\n";
  const std::vector<Case> cases = {
      {"announced length at the limit", "HTTP/1.0 200 OK\r\nContent-Length: 1000\r\n\r\n" + body, 1000, 0},
      {"announced length past it, refused before any byte",
       "HTTP/1.0 200 OK\r\nContent-Length: 1001\r\n\r\n" + body + "b", 1000, kHttpErrTooLarge},
      {"no length, read to the close", "HTTP/1.0 200 OK\r\n\r\n" + body + "b", 1000, kHttpErrTooLarge},
      {"chunked, 1000 bytes", chunked, 1000, 0},
      {"chunked past it", chunked, 999, kHttpErrTooLarge},
      {"no limit", "HTTP/1.0 200 OK\r\n\r\n" + body, -1, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto out = Fetch(c.reply, c.limit);
    EXPECT_EQ(out->done_count, 1);
    EXPECT_EQ(out->done_error, c.error);
    if (c.error == 0) {
      EXPECT_EQ(out->doc.Data().size(), c.limit < 0 ? body.size() : static_cast<size_t>(c.limit));
    } else {
      EXPECT_LE(out->doc.Data().size(), static_cast<size_t>(c.limit));
    }
  }
}

}  // namespace
}  // namespace parlix
