// The client machine driven natively through the scripted fake socket.
#include "net/http_client.h"

#include <gtest/gtest.h>

#include "net/http_fake_socket.h"

namespace parlix {
namespace {

using namespace parlix::testing;

// The request ended exactly once, with this code.
::testing::AssertionResult EndedOnceWith(const FakeHttpRig& rig, uint16_t error) {
  if (rig.done_count == 1 && rig.done_error == error) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "ended " << rig.done_count << " times, last with "
                                       << rig.done_error << "; expected once with " << error;
}

// The message and code of the exception a call raises; nothing raised gives {"", 0}.
template <class Call>
std::pair<std::string, int> Refusal(Call call) {
  try {
    call();
  } catch (const EHttpException& e) {
    return {e.what(), e.ErrorCode()};
  }
  return {"", 0};
}

std::string GetRequest(const std::string& path, const std::string& host = "host") {
  return "GET " + path + " HTTP/1.0\r\n" + kAcceptLine + kAgentLine + "Host: " + host + "\r\n\r\n";
}

std::string PostRequest(const std::string& path, const std::string& body) {
  return "POST " + path + " HTTP/1.0\r\n" + kAcceptLine + "Content-Type: application/x-www-form-urlencoded\r\n" +
         kAgentLine + "Host: host\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

// Data-driven cases: the server's replies and the exact requests expected.

struct WireCase {
  const char* name;
  const char* url;
  const char* proxy;
  THttpRequest kind;
  const char* post_body;
  std::vector<FakeExchange> replies;
  std::vector<std::string> requests;
  std::vector<std::string> connects;
  int status;
  uint16_t err;
  std::string doc;
};

std::vector<WireCase> WireCases() {
  const std::string ok10 = "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\n";
  return {
      {"plain GET, body until close", "http://host/dir/file.txt", "", httpGET, nullptr,
       {Exchange(ok10 + "hello world")}, {GetRequest("/dir/file.txt")}, {"127.0.0.1:80"}, 200, 0, "hello world"},
      {"port 8080 in the Host line", "http://host:8080/", "", httpGET, nullptr,
       {Exchange("HTTP/1.0 204 No Content\r\n\r\n")}, {GetRequest("/", "host:8080")}, {"127.0.0.1:8080"}, 204, 0, ""},
      {"port 80 named in the URL", "http://host:80", "", httpGET, nullptr,
       {Exchange(ok10 + "x")}, {GetRequest("/")}, {"127.0.0.1:80"}, 200, 0, "x"},
      {"through a proxy on 8080", "http://host/path", "127.0.0.1:8080", httpGET, nullptr,
       {Exchange(ok10 + "via proxy")}, {GetRequest("http://host/path")}, {"127.0.0.1:8080"}, 200, 0, "via proxy"},
      {"through a proxy, the URL's port kept", "http://host:81/p?q=1", "127.0.0.1", httpGET, nullptr,
       {Exchange(ok10 + "y")}, {GetRequest("http://host:81/p?q=1", "host:81")}, {"127.0.0.1:3128"}, 200, 0, "y"},
      {"POST with its body", "http://host/form", "", httpPOST, "a=1&b=2",
       {Exchange("HTTP/1.0 200 OK\r\nContent-Length: 4\r\n\r\ndone")}, {PostRequest("/form", "a=1&b=2")},
       {"127.0.0.1:80"}, 200, 0, "done"},
      {"body longer than Content-Length", "http://host/", "", httpGET, nullptr,
       {Exchange("HTTP/1.0 200 OK\r\nContent-Length: 5\r\n\r\n12345EXTRA")}, {GetRequest("/")}, {"127.0.0.1:80"},
       200, 0, "12345"},
      {"chunked", "http://host/", "", httpGET, nullptr,
       {Exchange("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n4\r\nWiki\r\n5\r\npedia\r\n0\r\n\r\n")},
       {GetRequest("/")}, {"127.0.0.1:80"}, 200, 0, "Wikipedia"},
      {"interim 100 Continue", "http://host/", "", httpGET, nullptr,
       {Exchange("HTTP/1.1 100 Continue\r\nX-Interim: 1\r\n\r\nHTTP/1.1 201 Created\r\nContent-Length: 2\r\n\r\nok")},
       {GetRequest("/")}, {"127.0.0.1:80"}, 201, 0, "ok"},
      {"answer without a header", "http://host/", "", httpGET, nullptr,
       {Exchange("<html><body>\r\nold server\r\n</body></html>")}, {GetRequest("/")}, {"127.0.0.1:80"}, 0, 0,
       "<html><body>\r\nold server\r\n</body></html>"},
      {"302 to the same server, closed and reconnected, POST becomes GET", "http://host/form", "", httpPOST, "q=1",
       {Exchange("HTTP/1.0 302 Found\r\nLocation: /other\r\nContent-Length: 5\r\n\r\nmoved"), Exchange(ok10 + "final")},
       {PostRequest("/form", "q=1"), GetRequest("/other")}, {"127.0.0.1:80", "127.0.0.1:80"}, 200, 0, "final"},
      {"302 kept alive on the same server reuses the connection", "http://host/a/b", "", httpGET, nullptr,
       {Exchange("HTTP/1.1 302 Found\r\nConnection: keep-alive\r\nLocation: c\r\nContent-Length: 0\r\n\r\n", false),
        Exchange(ok10 + "reused")},
       {GetRequest("/a/b"), GetRequest("/a/c")}, {"127.0.0.1:80"}, 200, 0, "reused"},
      {"302 to another server", "http://host/", "", httpGET, nullptr,
       {Exchange("HTTP/1.0 302 Found\r\nLocation: http://other:8081/x#frag\r\n\r\n"), Exchange(ok10 + "other")},
       {GetRequest("/"), GetRequest("/x", "other:8081")}, {"127.0.0.1:80", "127.0.0.1:8081"}, 200, 0, "other"},
      {"302 through a proxy stays on the proxy", "http://host/a/b", "127.0.0.1:3128", httpGET, nullptr,
       {Exchange("HTTP/1.0 302 Found\r\nLocation: http://other/x\r\n\r\n"), Exchange(ok10 + "p")},
       {GetRequest("http://host/a/b"), GetRequest("http://other/x", "other")}, {"127.0.0.1:3128", "127.0.0.1:3128"},
       200, 0, "p"},
      {"HEAD", "http://host/", "", httpHEAD, nullptr,
       {Exchange("HTTP/1.0 200 OK\r\nContent-Length: 1000\r\n\r\n")},
       {"HEAD / HTTP/1.0\r\n" + kAcceptLine + kAgentLine + "Host: host\r\n\r\n"}, {"127.0.0.1:80"}, 200, 0, ""},
  };
}

TEST(HttpClientWire, RequestsAndAnswersAsScripted) {
  for (const WireCase& c : WireCases()) {
    SCOPED_TRACE(c.name);
    FakeHttpRig rig;
    rig.socket.dns["host"] = {0, "127.0.0.1"};
    rig.socket.dns["other"] = {0, "127.0.0.1"};
    for (const FakeExchange& e : c.replies) rig.socket.exchanges.push_back(e);
    rig.cli.SetProxy(c.proxy);
    rig.cli.SetProxyPort("3128");
    if (c.post_body) rig.post = HttpMemoryStream(c.post_body);
    ASSERT_TRUE(rig.Start(c.kind, c.url));
    EXPECT_FALSE(rig.socket.stuck);
    EXPECT_EQ(rig.socket.requests, c.requests);
    EXPECT_EQ(rig.socket.connects, c.connects);
    EXPECT_EQ(rig.Ended(), std::tuple(1, c.err, c.status, c.doc));
    EXPECT_EQ(rig.cli.State(), ClientState::kReady);
  }
}

// Every split of the answer, at every byte, gives the same outcome.
TEST(HttpClientWire, AnyReadSplitGivesTheSameDocument) {
  const std::string reply =
      "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nContent-Type: text/plain\r\n\r\n"
      "5\r\nHello\r\n1A;ext=1\r\n, this is the second chunk\r\n3\r\n!\r\n\r\n0\r\n\r\n";
  const std::string doc = "Hello, this is the second chunk!\r\n";
  for (size_t at = 0; at <= reply.size() + 1; ++at) {
    SCOPED_TRACE(at);
    FakeHttpRig rig;
    FakeExchange& ex = rig.Reply(reply);
    if (at <= reply.size()) ex.splits = {at};
    else ex.byte_by_byte = true;
    ASSERT_TRUE(rig.Get());
    EXPECT_EQ(rig.Ended(), std::tuple(1, 0, 200, doc));
    EXPECT_EQ(rig.Count("DocBegin"), 1);
    EXPECT_EQ(rig.Count("DocEnd"), 1);
  }
}

TEST(HttpClientWire, PlainBodySplitByteByByteStopsAtContentLength) {
  FakeHttpRig rig;
  rig.Reply("HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\n0123456789tail", false).byte_by_byte = true;
  rig.cli.SetRequestVer("1.1");
  ASSERT_TRUE(rig.Get());
  EXPECT_EQ(rig.Ended(), std::tuple(1, 0, 200, "0123456789"));
  EXPECT_EQ(rig.cli.RcvdCount(), 10);
}

// A body read straight from the socket stops at Content-Length: what follows it
// is still read as lines.
TEST(HttpClientWire, BytesAfterTheDocumentStayForTheLineReader) {
  FakeHttpRig rig;
  const std::string head = "HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\n";
  rig.Reply(head + "0123456789NEXT LINE\r\n", false).splits = {head.size()};
  std::vector<std::string> pushed;
  rig.cli.OnDataPush = [&](HttpClientCore& c, uint16_t) { pushed.push_back(c.LastResponse()); };
  rig.cli.SetRequestVer("1.1");
  ASSERT_TRUE(rig.Get());
  EXPECT_EQ(rig.doc.Data(), "0123456789");
  EXPECT_EQ(pushed, std::vector<std::string>{"NEXT LINE"});
  EXPECT_EQ(rig.done_count, 1);
}

TEST(HttpClientRequest, HeaderLinesInOrderWithAllOptions) {
  FakeHttpRig rig;
  rig.Reply("HTTP/1.0 200 OK\r\nContent-Length: 0\r\n\r\n");
  HttpMemoryStream post("body");
  rig.cli.SetURL("http://127.0.0.1:8080/x");
  rig.cli.SetSender("me@example");
  rig.cli.SetReference("http://ref/");
  rig.cli.SetConnection("Keep-Alive");
  rig.cli.SetProxyConnection("Keep-Alive");
  rig.cli.SetAcceptLanguage("en");
  rig.cli.SetContentTypePost("text/plain");
  rig.cli.SetNoCache(true);
  rig.cli.SetModifiedSince(34644 + (8 * 3600 + 49 * 60 + 37) / 86400.0);
  rig.cli.SetCookie("a=b");
  rig.cli.SetContentRangeBegin("10");
  rig.cli.SetPostStream(&post);
  rig.cli.StartPut();
  ASSERT_TRUE(rig.Run());
  EXPECT_EQ(rig.socket.requests,
            std::vector<std::string>{"PUT /x HTTP/1.0\r\n"
                                     "From: me@example\r\n" + kAcceptLine +
                                     "Referer: http://ref/\r\n"
                                     "Connection: Keep-Alive\r\n"
                                     "Proxy-Connection: Keep-Alive\r\n"
                                     "Accept-Language: en\r\n"
                                     "Content-Type: text/plain\r\n" + kAgentLine +
                                     "Host: 127.0.0.1:8080\r\n"
                                     "Pragma: no-cache\r\n"
                                     "Content-Length: 4\r\n"
                                     "If-Modified-Since: Sun, 06 Nov 1994 08:49:37 GMT\r\n"
                                     "Cookie: a=b\r\n"
                                     "Range: bytes=10-\r\n"
                                     "\r\nbody"});
  EXPECT_EQ(rig.cli.ContentRangeBegin(), "");
}

TEST(HttpClientRequest, HandlersMayEditTheHeader) {
  FakeHttpRig rig;
  rig.Reply("HTTP/1.0 200 OK\r\nContent-Length: 0\r\n\r\n");
  rig.cli.SetAgent("");
  rig.cli.SetAccept("");
  rig.cli.OnBeforeHeaderSend = [](HttpClientCore&, const std::string& method,
                                  std::vector<std::string>& lines) {
    EXPECT_EQ(method, "GET");
    lines.push_back("X-Added: 1");
  };
  rig.cli.OnCommand = [](HttpClientCore&, std::string& line) {
    if (line.rfind("Host:", 0) == 0) line = "Host: renamed";
  };
  ASSERT_TRUE(rig.Get());
  EXPECT_EQ(rig.socket.requests, std::vector<std::string>{"GET / HTTP/1.0\r\nHost: renamed\r\nX-Added: 1\r\n\r\n"});
}

TEST(HttpClientRequest, PostStreamSendsOnlyWhatFollowsItsPosition) {
  FakeHttpRig rig;
  rig.Reply("HTTP/1.0 200 OK\r\nContent-Length: 0\r\n\r\n");
  HttpMemoryStream post("skipTHE REST");
  post.Seek(4);
  ASSERT_TRUE(rig.Post(post));
  ASSERT_EQ(rig.socket.requests.size(), 1u);
  const std::string& rq = rig.socket.requests[0];
  EXPECT_NE(rq.find("Content-Length: 8\r\n"), std::string::npos);
  EXPECT_EQ(rq.substr(rq.size() - 10), "\r\nTHE REST");
  EXPECT_EQ(rig.cli.SentCount(), 8);
}

TEST(HttpClientRequest, BodyGoesOutInPiecesOfAtMost8193AfterEachDrain) {
  FakeHttpRig rig;
  rig.Reply("HTTP/1.0 200 OK\r\nContent-Length: 0\r\n\r\n");
  std::string body(20000, 'b');
  for (size_t i = 0; i < body.size(); ++i) body[i] = static_cast<char>('a' + i % 26);
  HttpMemoryStream post(body);
  std::vector<size_t> pieces;
  rig.cli.OnSendData = [&](HttpClientCore&, const char*, size_t n) { pieces.push_back(n); };
  int send_end = 0;
  rig.cli.OnSendEnd = [&](HttpClientCore&) { ++send_end; };
  ASSERT_TRUE(rig.Post(post));
  EXPECT_EQ(pieces, (std::vector<size_t>{8193, 8193, 3614}));
  EXPECT_EQ(send_end, 1);
  // One Send for the header, then one per piece.
  ASSERT_EQ(rig.socket.send_sizes.size(), 4u);
  EXPECT_EQ(rig.socket.send_sizes[1], 8193u);
  ASSERT_EQ(rig.socket.requests.size(), 1u);
  EXPECT_EQ(rig.socket.requests[0].substr(rig.socket.requests[0].size() - body.size()), body);
}

TEST(HttpClientEvents, TypicalPostInOrder) {
  FakeHttpRig rig;
  rig.socket.dns["host"] = {0, "127.0.0.1"};
  rig.Reply("HTTP/1.0 200 OK\r\nContent-Length: 3\r\n\r\nabc");
  HttpMemoryStream post("x=y");
  ASSERT_TRUE(rig.Post(post, "http://host/"));
  const std::vector<std::string> expected = {
      "State1", "State3", "State4", "State2", "SessionConnected", "State5",
      // request line, Accept, Content-Type, User-Agent, Host, Content-Length
      "RequestHeaderBegin", "BeforeHeaderSend", "Command", "Command", "Command", "Command",
      "Command", "Command", "RequestHeaderEnd", "SendBegin", "SendData", "SendEnd",
      "HeaderBegin", "HeaderData", "HeaderData", "HeaderEnd", "State6", "DocBegin", "DocData",
      "State7", "DocEnd", "SessionClosed", "State0", "RequestDone"};
  EXPECT_EQ(rig.events, expected);
  EXPECT_EQ(rig.done_request, httpPOST);
}

TEST(HttpClientEvents, AnswerWithoutBodyRaisesNoDocEvents) {
  FakeHttpRig rig;
  rig.Reply("HTTP/1.0 304 Not Modified\r\n\r\n");
  ASSERT_TRUE(rig.Get());
  EXPECT_EQ(rig.Count("DocBegin"), 0);
  EXPECT_EQ(rig.Count("DocEnd"), 0);
  EXPECT_EQ(rig.Ended(), std::tuple(1, 0, 304, ""));
}

TEST(HttpClientEvents, RequestDoneComesFromTheLoopAfterTheHandlerReturned) {
  FakeHttpRig rig;
  rig.Reply("HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nhi", false);
  rig.cli.SetRequestVer("1.1");
  bool inside_doc_end = false;
  rig.cli.OnDocEnd = [&](HttpClientCore&) { inside_doc_end = true; };
  rig.cli.OnRequestDone = [&](HttpClientCore& c, THttpRequest, uint16_t) {
    EXPECT_TRUE(inside_doc_end);
    EXPECT_EQ(c.State(), ClientState::kReady);
    ++rig.done_count;
  };
  ASSERT_TRUE(rig.Get());
  EXPECT_EQ(rig.done_count, 1);
}

TEST(HttpClientEvents, HeaderFieldsAreTakenIn) {
  FakeHttpRig rig;
  rig.Reply(
      "HTTP/1.0 206 Partial\r\nContent-Type: Text/HTML\r\nContent-Range: bytes 0-3/10\r\n"
      "Accept-Ranges: bytes\r\nSet-Cookie: s=1\r\nWWW-Authenticate: Basic realm=x\r\n"
      "Content-Length: 4\r\n\r\nabcd");
  std::vector<std::string> cookies;
  rig.cli.OnCookie = [&](HttpClientCore&, const std::string& v, bool& accept) {
    cookies.push_back(v);
    EXPECT_TRUE(accept);
  };
  ASSERT_TRUE(rig.Get("http://127.0.0.1/setup.exe"));
  EXPECT_EQ(rig.cli.ContentType(), "text/html");
  EXPECT_EQ(std::tuple(rig.cli.ContentRangeBegin(), rig.cli.ContentRangeEnd()), std::tuple("0", "3"));
  EXPECT_EQ(rig.cli.AcceptRanges(), "bytes");
  EXPECT_EQ(cookies, std::vector<std::string>{"s=1"});
  EXPECT_EQ(rig.cli.AuthChallenges(), std::vector<std::string>{"Basic realm=x"});
  EXPECT_EQ(rig.cli.DocName(), "setup.htm");
  EXPECT_EQ(rig.cli.ReasonPhrase(), "Partial");
  EXPECT_EQ(rig.cli.RcvdHeader().size(), 7u);
}

TEST(HttpClientFailures, BusyRefusalLeavesTheRunningRequestAlone) {
  FakeHttpRig rig;
  rig.socket.dns["host"] = {0, "127.0.0.1"};
  rig.Reply("HTTP/1.0 200 OK\r\n\r\nfirst");
  rig.cli.SetURL("http://host/");
  rig.cli.StartGet();
  rig.cli.SetURL("http://other/");
  EXPECT_EQ(Refusal([&] { rig.cli.StartGet(); }), (std::pair<std::string, int>{"HTTP component  is busy", 1}));
  rig.cli.SetName("HttpCli1");
  EXPECT_THROW(rig.cli.StartHead(), EHttpException);
  ASSERT_TRUE(rig.Run());
  EXPECT_EQ(rig.socket.lookups, std::vector<std::string>{"host"});
  EXPECT_EQ(rig.doc.Data(), "first");
  EXPECT_EQ(std::pair(rig.done_count, rig.done_request), std::pair(1, httpGET));
}

TEST(HttpClientFailures, NothingToPost) {
  FakeHttpRig rig;
  rig.cli.SetURL("http://127.0.0.1/");
  EXPECT_EQ(Refusal([&] { rig.cli.StartPost(); }),
            (std::pair<std::string, int>{"HTTP component has nothing to post or put", 2}));
  EXPECT_THROW(rig.cli.StartPut(), EHttpException);
  EXPECT_EQ(rig.cli.State(), ClientState::kReady);
  EXPECT_TRUE(rig.socket.lookups.empty());
}

TEST(HttpClientFailures, OnlyVersions10And11) {
  FakeHttpRig rig;
  EXPECT_THROW(rig.cli.SetRequestVer("2.0"), EHttpException);
  EXPECT_EQ(rig.cli.RequestVer(), "1.0");
  rig.cli.SetRequestVer("1.1");
  EXPECT_EQ(rig.cli.RequestVer(), "1.1");
}

TEST(HttpClientFailures, SchemesBesideHttpAndHttpsAreNotImplemented) {
  for (const char* proxy : {"", "127.0.0.1:3128"}) {
    SCOPED_TRACE(proxy);
    FakeHttpRig rig;
    rig.cli.SetProxy(proxy);
    ASSERT_TRUE(rig.Get("ftp://127.0.0.1/"));
    EXPECT_EQ(std::tuple(rig.cli.StatusCode(), rig.cli.ReasonPhrase()),
              std::tuple(501, "Protocol \"ftp\" not implemented"));
    EXPECT_EQ(rig.done_count, 1);
    EXPECT_TRUE(rig.socket.connects.empty());
  }
}

TEST(HttpClientFailures, UnknownHost) {
  FakeHttpRig rig;
  rig.socket.dns["nowhere"] = {11001, ""};
  ASSERT_TRUE(rig.Get("http://nowhere/"));
  EXPECT_EQ(rig.Ended(), std::tuple(1, 11001, 404, ""));
  EXPECT_EQ(rig.cli.ReasonPhrase(), "can't resolve hostname to IP address");
  EXPECT_TRUE(rig.socket.connects.empty());
}

TEST(HttpClientFailures, LookupThatCannotStart) {
  FakeHttpRig rig;
  rig.socket.dns_throws = true;
  ASSERT_TRUE(rig.Get("http://host/"));
  EXPECT_EQ(rig.Ended(), std::tuple(1, 0, 404, ""));
  EXPECT_EQ(rig.cli.ReasonPhrase(), "test: lookup cannot start");
}

TEST(HttpClientFailures, ConnectFailuresAllEndTheRequest) {
  struct Case {
    FakeConnect mode;
    uint16_t err;
  };
  for (const Case c : {Case{FakeConnect::kRefusedEvent, 10061},
                       Case{FakeConnect::kRefusedEventOpen, 10061},
                       Case{FakeConnect::kErrorOnly, 10049}, Case{FakeConnect::kThrow, 10049}}) {
    SCOPED_TRACE(static_cast<int>(c.mode));
    FakeHttpRig rig;
    int socket_errors = 0;
    rig.cli.OnSocketError = [&](HttpClientCore&) { ++socket_errors; };
    rig.socket.connect_mode = c.mode;
    ASSERT_TRUE(rig.Get());
    EXPECT_EQ(rig.Ended(), std::tuple(1, c.err, 404, ""));
    EXPECT_EQ(rig.cli.State(), ClientState::kReady);
    EXPECT_EQ(rig.socket.State(), HttpSocketState::kClosed);
    if (c.mode == FakeConnect::kErrorOnly) {
      EXPECT_EQ(socket_errors, 1);
    }
  }
}

TEST(HttpClientFailures, RefusedConnectReasonNamesTheError) {
  FakeHttpRig rig;
  rig.socket.connect_mode = FakeConnect::kRefusedEvent;
  ASSERT_TRUE(rig.Get());
  EXPECT_EQ(rig.cli.ReasonPhrase(), "Connection refused (Error #10061)");
}

// The connection closes while the header is still coming: the request ends.
TEST(HttpClientFailures, CloseInsideTheHeaderFinishesTheRequest) {
  for (const char* reply : {"", "HTTP/1.0 200 OK\r\n", "HTTP/1.0 200 OK\r\nContent-Le"}) {
    SCOPED_TRACE(reply);
    FakeHttpRig rig;
    rig.Reply(reply);
    ASSERT_TRUE(rig.Get());
    EXPECT_TRUE(EndedOnceWith(rig, kHttpErrCutShort));
    EXPECT_EQ(rig.Count("SessionClosed"), 1);
    EXPECT_EQ(rig.cli.State(), ClientState::kReady);
  }
}

TEST(HttpClientFailures, BodyCutShortIsAnError) {
  const char* replies[] = {
      "HTTP/1.0 200 OK\r\nContent-Length: 100\r\n\r\nonly this",
      "HTTP/1.0 200 OK\r\nContent-Length: 100\r\n\r\n",
      "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nabc",
  };
  for (const char* reply : replies) {
    SCOPED_TRACE(reply);
    FakeHttpRig rig;
    rig.Reply(reply);
    ASSERT_TRUE(rig.Get());
    EXPECT_TRUE(EndedOnceWith(rig, kHttpErrCutShort));
    EXPECT_EQ(rig.cli.StatusCode(), 200);
  }
}

TEST(HttpClientFailures, MalformedAnswersEndWithBadAnswer) {
  const char* replies[] = {
      "HTTP/1.1 abc OK\r\n\r\n",
      "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n11111111111111111\r\nx",
      "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nnot hex\r\n",
  };
  for (const char* reply : replies) {
    SCOPED_TRACE(reply);
    FakeHttpRig rig;
    rig.Reply(reply, false);
    ASSERT_TRUE(rig.Get());
    EXPECT_TRUE(EndedOnceWith(rig, kHttpErrBadAnswer));
    EXPECT_EQ(rig.socket.State(), HttpSocketState::kClosed);
  }
}

TEST(HttpClientFailures, NegativeOrHugeContentLengthReadsToTheClose) {
  for (const char* length : {"-5", "123456789012345678901234567890"}) {
    SCOPED_TRACE(length);
    FakeHttpRig rig;
    rig.Reply(std::string("HTTP/1.0 200 OK\r\nContent-Length: ") + length + "\r\n\r\nbody");
    ASSERT_TRUE(rig.Get());
    EXPECT_EQ(rig.cli.ContentLength(), -1);
    EXPECT_EQ(rig.Ended(), std::tuple(1, 0, 200, "body"));
  }
}

TEST(HttpClientFailures, DocumentThatCannotBeStored) {
  class FullStream : public HttpStream {
   public:
    int64_t Size() const override { return 0; }
    int64_t Position() const override { return 0; }
    void Seek(int64_t) override {}
    size_t Read(char*, size_t) override { return 0; }
    bool WriteAll(const char*, size_t) override { return false; }
    bool SetSize(int64_t) override { return true; }
  } full;
  FakeHttpRig rig;
  rig.Reply("HTTP/1.0 200 OK\r\nContent-Length: 4\r\n\r\nabcd", false);
  rig.cli.SetDocStream(&full);
  ASSERT_TRUE(rig.Get());
  EXPECT_TRUE(EndedOnceWith(rig, kHttpErrDocWrite));
}

// A header line longer than the receive buffer loses its tail; the rest of the
// answer still parses.
TEST(HttpClientFailures, OverlongHeaderLineIsCut) {
  FakeHttpRig rig;
  const std::string long_value(20000, 'v');
  rig.Reply("HTTP/1.0 200 OK\r\nX-Long: " + long_value + "\r\nContent-Length: 2\r\n\r\nok").splits =
      {100, 5000, 9000, 14000, 20010};
  ASSERT_TRUE(rig.Get());
  EXPECT_FALSE(rig.socket.stuck);
  EXPECT_EQ(rig.Ended(), std::tuple(1, 0, 200, "ok"));
  ASSERT_EQ(rig.cli.RcvdHeader().size(), 3u);
  EXPECT_LE(rig.cli.RcvdHeader()[1].size(), HttpClientCore::kReceiveBufferSize);
  EXPECT_EQ(rig.cli.RcvdHeader()[1].substr(0, 10), "X-Long: vv");
  EXPECT_EQ(rig.cli.RcvdHeader()[2], "Content-Length: 2");
}

TEST(HttpClientFailures, MegabytesWithoutALineFeed) {
  FakeHttpRig rig;
  FakeExchange& ex = rig.Reply("HTTP/1.0 200 OK\r\nX: " + std::string(3 << 20, 'z'));
  for (size_t at = 4096; at < ex.reply.size(); at += 4096) ex.splits.push_back(at);
  ASSERT_TRUE(rig.Get());
  EXPECT_FALSE(rig.socket.stuck);
  // The header block stops at kMaxHeaderBytes: the request ends there, not at the
  // end of what the peer cares to send.
  EXPECT_EQ(rig.Ended(), std::tuple(1, kHttpErrBadAnswer, 200, ""));
}

TEST(HttpClientRelocation, SameServerWithCloseReconnectsAndRaisesLocationChange) {
  FakeHttpRig rig;
  rig.socket.dns["host"] = {0, "127.0.0.1"};
  rig.Reply("HTTP/1.0 302 Found\r\nLocation: /other\r\nContent-Length: 5\r\n\r\nmoved");
  rig.Reply("HTTP/1.0 200 OK\r\nContent-Length: 5\r\n\r\nfinal");
  HttpMemoryStream post("abc");
  std::vector<std::string> locations;
  rig.cli.OnLocationChange = [&](HttpClientCore& c) { locations.push_back(c.Location()); };
  ASSERT_TRUE(rig.Post(post, "http://host/start"));
  EXPECT_EQ(locations, std::vector<std::string>{"http://host/other"});
  EXPECT_EQ(std::tuple(rig.socket.connects.size(), rig.socket.lookups.size()), std::tuple(2u, 2u));
  ASSERT_EQ(rig.socket.requests.size(), 2u);
  EXPECT_EQ(rig.socket.requests[1].substr(0, 21), "GET /other HTTP/1.0\r\n");
  EXPECT_EQ(rig.done_request, httpGET);
  // What the relocating answer wrote is taken back out of the document.
  EXPECT_EQ(rig.Ended(), std::tuple(1, 0, 200, "final"));
  EXPECT_EQ(rig.cli.DocName(), "other");
}

TEST(HttpClientRelocation, CredentialsInALocation) {
  FakeHttpRig rig;
  rig.Reply("HTTP/1.0 301 Moved\r\nLocation: http://ann:pw@127.0.0.1:81/in\r\n\r\n");
  rig.Reply("HTTP/1.0 200 OK\r\nContent-Length: 0\r\n\r\n");
  ASSERT_TRUE(rig.Get());
  EXPECT_EQ(std::tuple(rig.cli.Username(), rig.cli.Password()), std::tuple("ann", "pw"));
  EXPECT_EQ(rig.socket.connects.back(), "127.0.0.1:81");
  EXPECT_EQ(rig.cli.Location(), "http://127.0.0.1:81/in");
}

TEST(HttpClientRelocation, NotFollowedWhenSwitchedOff) {
  FakeHttpRig rig;
  rig.Reply("HTTP/1.0 302 Found\r\nLocation: /x\r\nContent-Length: 3\r\n\r\nabc");
  rig.cli.SetFollowRelocation(false);
  ASSERT_TRUE(rig.Get());
  EXPECT_EQ(rig.Ended(), std::tuple(1, 0, 302, "abc"));
  EXPECT_EQ(rig.socket.requests.size(), 1u);
}

TEST(HttpClientRelocation, ACircleEndsWithTheRelocatingAnswer) {
  FakeHttpRig rig;
  for (int i = 0; i < 40; ++i) rig.Reply("HTTP/1.0 302 Found\r\nLocation: /again\r\n\r\n");
  ASSERT_TRUE(rig.Get());
  EXPECT_EQ(rig.Ended(), std::tuple(1, 0, 302, ""));
  EXPECT_EQ(rig.socket.requests.size(),
            static_cast<size_t>(HttpClientCore::kMaxRelocations + 1));
}

TEST(HttpClientRelocation, LocationWithoutHostStaysOnTheServer) {
  FakeHttpRig rig;
  rig.Reply("HTTP/1.0 302 Found\r\nLocation: http:///elsewhere\r\n\r\n");
  rig.Reply("HTTP/1.0 200 OK\r\nContent-Length: 1\r\n\r\n!");
  ASSERT_TRUE(rig.Get("http://127.0.0.1:8000/"));
  EXPECT_EQ(rig.socket.connects,
            (std::vector<std::string>{"127.0.0.1:8000", "127.0.0.1:8000"}));
  EXPECT_EQ(rig.doc.Data(), "!");
}

TEST(HttpClientAbort, DuringTheLookup) {
  FakeHttpRig rig;
  rig.socket.dns["host"] = {0, "127.0.0.1"};
  rig.cli.SetURL("http://host/");
  rig.cli.StartGet();
  ASSERT_EQ(rig.cli.State(), ClientState::kDnsLookup);
  rig.cli.Abort();
  EXPECT_EQ(rig.Count("SessionClosed"), 1);
  EXPECT_EQ(rig.done_count, 0);  // later, from the loop
  ASSERT_TRUE(rig.Run());
  EXPECT_EQ(rig.Ended(), std::tuple(1, kHttpErrAborted, 404, ""));
  EXPECT_EQ(rig.cli.ReasonPhrase(), "Connection aborted on request");
  EXPECT_TRUE(rig.socket.connects.empty());
}

TEST(HttpClientAbort, WhileConnected) {
  FakeHttpRig rig;
  rig.Reply("").hold = true;
  ASSERT_TRUE(rig.Get());
  ASSERT_EQ(rig.cli.State(), ClientState::kWaitingHeader);
  rig.cli.Abort();
  EXPECT_EQ(rig.socket.State(), HttpSocketState::kClosed);
  ASSERT_TRUE(rig.Run());
  EXPECT_TRUE(EndedOnceWith(rig, kHttpErrAborted));
  EXPECT_EQ(rig.Count("SessionClosed"), 1);
}

TEST(HttpClientAbort, InsideADocumentHandler) {
  FakeHttpRig rig;
  rig.Reply("HTTP/1.0 200 OK\r\nContent-Length: 10\r\n\r\n01234", false);
  rig.cli.OnDocData = [](HttpClientCore& c, const char*, size_t) { c.Abort(); };
  ASSERT_TRUE(rig.Get());
  EXPECT_TRUE(EndedOnceWith(rig, kHttpErrAborted));
}

TEST(HttpClientAbort, WhenIdleReportsAtOnce) {
  FakeHttpRig rig;
  rig.cli.Abort();
  EXPECT_EQ(rig.Ended(), std::tuple(1, 0, 200, ""));
  EXPECT_EQ(rig.cli.ReasonPhrase(), "OK");
  EXPECT_EQ(rig.Count("State0"), 1);
}

TEST(HttpClientAbort, AnAbortedRequestCannotDisturbTheNextOne) {
  FakeHttpRig rig;
  rig.Reply("").hold = true;
  rig.Reply("HTTP/1.0 200 OK\r\nContent-Length: 6\r\n\r\nsecond");
  ASSERT_TRUE(rig.Get());
  rig.cli.Abort();
  rig.cli.StartGet();  // before the loop ran the aborted request's messages
  ASSERT_TRUE(rig.Run());
  EXPECT_EQ(rig.Ended(), std::tuple(2, 0, 200, "second"));
}

TEST(HttpClientKeepAlive, SecondRequestReusesTheConnection) {
  FakeHttpRig rig;
  rig.Reply("HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\none", false);
  rig.Reply("HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\ntwo", false);
  rig.cli.SetRequestVer("1.1");
  ASSERT_TRUE(rig.Get());
  EXPECT_EQ(rig.socket.State(), HttpSocketState::kConnected);
  rig.cli.StartGet();
  ASSERT_TRUE(rig.Run());
  EXPECT_EQ(rig.socket.connects.size(), 1u);
  EXPECT_EQ(rig.Ended(), std::tuple(2, 0, 200, "onetwo"));
  rig.cli.StartClose();
  ASSERT_TRUE(rig.Run());
  EXPECT_EQ(std::pair(rig.done_count, rig.done_request), std::pair(3, httpCLOSE));
  EXPECT_EQ(rig.socket.State(), HttpSocketState::kClosed);
}

TEST(HttpClientKeepAlive, Version10AnswerClosesAfterEveryAnswer) {
  FakeHttpRig rig;
  rig.Reply("HTTP/1.0 200 OK\r\nContent-Length: 1\r\n\r\na", false);
  rig.Reply("HTTP/1.0 200 OK\r\nContent-Length: 1\r\n\r\nb", false);
  ASSERT_TRUE(rig.Get());
  rig.cli.StartGet();
  ASSERT_TRUE(rig.Run());
  EXPECT_EQ(rig.socket.connects.size(), 2u);
  EXPECT_EQ(rig.doc.Data(), "ab");
}

TEST(HttpClientKeepAlive, MultiThreadedReachesTheSocket) {
  FakeHttpRig rig;
  rig.cli.SetMultiThreaded(true);
  EXPECT_TRUE(rig.socket.multi_threaded());
}

// The authentication layer plugs in through the core's hooks. A stand-in that
// answers one 407 with a fixed credential line shows what the hooks promise: a new
// attempt without OnRequestDone for the refused answer, the post stream sent again
// from where the caller had put it, the refused answer's document taken back out.
class OneRetryClient : public testing::FakeHttpClient {
 public:
  using testing::FakeHttpClient::FakeHttpClient;
  int resets = 0;

 protected:
  bool AuthCheckOnReady() override {
    if (StatusCode() != 407 || retried_ || AuthChallenges().empty()) return false;
    retried_ = true;
    StartNewAttempt();
    return true;
  }
  std::string AuthorizationLine() override {
    return retried_ ? "Proxy-Authorization: Basic dXNlcjpwdw==" : "";
  }
  void AuthResetOnNewConnection() override { ++resets; }

 private:
  bool retried_ = false;
};

TEST(HttpClientAuthHooks, NewAttemptRewindsAndResends) {
  testing::FakeHttpRigOf<OneRetryClient> rig;
  rig.post = HttpMemoryStream("skip:body");
  rig.post.Seek(5);
  rig.Reply("HTTP/1.0 407 Proxy Authentication Required\r\nProxy-Authenticate: Basic realm=\"p\"\r\n"
            "Content-Length: 6\r\n\r\ndenied");
  rig.Reply("HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nok");
  rig.cli.SetProxy("127.0.0.1:3128");
  ASSERT_TRUE(rig.Start(httpPOST, "http://host/form"));
  EXPECT_EQ(rig.Ended(), std::tuple(1, 0, 200, "ok"));
  EXPECT_EQ(rig.cli.resets, 2);
  ASSERT_EQ(rig.socket.requests.size(), 2u);
  const std::string& second = rig.socket.requests[1];
  EXPECT_NE(second.find("Content-Length: 4\r\nProxy-Authorization: Basic dXNlcjpwdw==\r\n\r\nbody"),
            std::string::npos);
  EXPECT_EQ(second.substr(0, 31), "POST http://host/form HTTP/1.0\r");
}

}  // namespace
}  // namespace parlix
