// A peer that floods or smuggles: every count and size the client keeps from an answer
// is bounded, and reaching a bound ends the request with an error instead of growing
// memory, filling the disk or going on for ever.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "net/http_auth.h"
#include "net/http_fake_socket.h"

namespace parlix {
namespace {

using testing::FakeExchange;
using testing::FakeHttpRig;

struct Outcome {
  int done = 0;
  uint16_t error = 0xFFFF;
  int status = 0;
  size_t header_lines = 0;
  size_t challenges = 0;
  std::string doc;
  size_t requests = 0;
};

Outcome Fetch(const std::string& reply, int64_t max_doc = -1, bool byte_by_byte = false) {
  FakeHttpRig rig;
  FakeExchange ex;
  ex.reply = reply;
  ex.byte_by_byte = byte_by_byte;
  if (!byte_by_byte)
    for (size_t at = 4096; at < reply.size(); at += 4096) ex.splits.push_back(at);
  rig.socket.exchanges.push_back(ex);
  rig.cli.SetMaxDocSize(max_doc);
  rig.cli.SetURL("http://127.0.0.1/a");
  rig.cli.StartGet();
  Outcome out;
  EXPECT_TRUE(rig.Run());
  EXPECT_FALSE(rig.socket.stuck);
  out.done = rig.done_count;
  out.error = rig.done_error;
  out.status = rig.cli.StatusCode();
  out.header_lines = rig.cli.RcvdHeader().size();
  out.challenges = rig.cli.AuthChallenges().size();
  out.doc = rig.doc.Data();
  out.requests = rig.socket.requests.size();
  return out;
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
    const Outcome out = Fetch(c.reply);
    EXPECT_EQ(out.done, 1);
    if (c.refused) {
      EXPECT_EQ(out.error, kHttpErrBadAnswer);
      EXPECT_EQ(out.doc, "");
      EXPECT_LE(out.header_lines, HttpClientCore::kMaxHeaderLines);
    } else {
      EXPECT_EQ(out.error, 0);
      EXPECT_EQ(out.doc, "ok");
    }
  }
}

TEST(HttpLimits, ChallengesPerAnswerAreBounded) {
  const size_t max = HttpClientCore::kMaxAuthChallenges;
  Outcome out = Fetch("HTTP/1.0 401 No\r\n" + Lines("WWW-Authenticate: X" , max) + "\r\n");
  EXPECT_EQ(out.error, 0);
  EXPECT_EQ(out.status, 401);
  EXPECT_EQ(out.challenges, max);
  out = Fetch("HTTP/1.0 401 No\r\n" + Lines("WWW-Authenticate: X", max) + "Proxy-Authenticate: Basic\r\n\r\n");
  EXPECT_EQ(out.error, kHttpErrBadAnswer);
  EXPECT_LE(out.challenges, max);
}

// A line break or NUL inside a Location would end up in the next request line and
// Host line: the answer is malformed, and no second request goes out.
TEST(HttpLimits, LocationWithLineBreaksIsRefused) {
  for (const std::string& value : {std::string("/x\rHost: evil"), std::string("http://a\r/b"),
                                  std::string("/x\0y", 4), std::string("/x\r")}) {
    SCOPED_TRACE(value);
    const Outcome out = Fetch("HTTP/1.0 302 Found\r\nLocation: " + value + "\r\nContent-Length: 0\r\n\r\n");
    EXPECT_EQ(out.done, 1);
    EXPECT_EQ(out.error, kHttpErrBadAnswer);
    EXPECT_EQ(out.requests, 1u);
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
    const Outcome out = Fetch(c.reply, c.limit);
    EXPECT_EQ(out.done, 1);
    EXPECT_EQ(out.error, c.error);
    if (c.error == 0) {
      EXPECT_EQ(out.doc.size(), c.limit < 0 ? body.size() : static_cast<size_t>(c.limit));
    } else {
      EXPECT_LE(out.doc.size(), static_cast<size_t>(c.limit));
    }
  }
}

}  // namespace
}  // namespace parlix
