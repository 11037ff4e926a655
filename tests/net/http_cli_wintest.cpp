// THttpCli on the real TWSocket under Wine, against scripted servers on 127.0.0.1
// started by the test itself.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "net/http_cli_win.h"
#include "net/loopback_env_win.h"

namespace parlix {
namespace {

// Requests seen by a peer's connections, in order.
struct Seen {
  std::mutex mu;
  std::vector<std::string> requests;
  void Add(std::string rq) {
    std::lock_guard<std::mutex> lock(mu);
    requests.push_back(std::move(rq));
  }
};

// A peer's script: takes the request (noting it when asked), answers and hangs up.
LoopbackPeer::Script AnswerAndClose(std::string reply, Seen* seen = nullptr) {
  return [reply = std::move(reply), seen](PeerConnection& c) {
    std::string rq = c.ReceiveRequest();
    if (seen != nullptr) seen->Add(std::move(rq));
    c.SendAll(reply);
    c.Close();
  };
}

// A peer's script: takes the request and never answers it.
void HoldRequest(PeerConnection& c) {
  c.ReceiveRequest();
  c.ReceiveUntilClosed();
}

std::string UrlOf(const LoopbackPeer& peer, const std::string& path = "/") {
  return "http://127.0.0.1:" + peer.PortText() + path;
}

std::string UnusedPortUrl(const std::string& scheme) {
  return scheme + "://127.0.0.1:" + std::to_string(LoopbackPeer::UnusedPort()) + "/";
}

struct Rig {
  THttpCli cli;
  HttpMemoryStream doc;
  std::vector<std::string> events;
  int done = 0;
  uint16_t err = 0xFFFF;
  THttpRequest request = httpABORT;

  Rig() {
    cli.SetDocStream(&doc);
    cli.SetMultiThreaded(true);
    cli.OnSessionClosed = [this](HttpClientCore&) { events.push_back("SessionClosed"); };
    cli.OnDocEnd = [this](HttpClientCore&) { events.push_back("DocEnd"); };
    cli.OnLocationChange = [this](HttpClientCore&) { events.push_back("LocationChange"); };
    cli.OnRequestDone = [this](HttpClientCore&, THttpRequest rq, uint16_t e) {
      events.push_back("RequestDone");
      ++done;
      err = e;
      request = rq;
    };
  }
  bool WaitDone(int count = 1) { return PumpUntil([&] { return done >= count; }, 20000); }
  bool Get(const std::string& url) {
    cli.SetURL(url);
    cli.StartGet();
    return WaitDone();
  }
  bool Post(const std::string& url, HttpMemoryStream& body) {
    cli.SetURL(url);
    cli.SetPostStream(&body);
    cli.StartPost();
    return WaitDone();
  }
};

const std::string kAcceptLine =
    "Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*\r\n";
const std::string kAgentLine = "User-Agent: Mozilla/4.0 (compatible)\r\n";

TEST(THttpCliWire, GetWithBodyUntilClose) {
  Seen seen;
  LoopbackPeer peer(
      AnswerAndClose("HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\nhello from the peer", &seen));
  Rig rig;
  ASSERT_TRUE(rig.Get(UrlOf(peer, "/dir/file.txt")));
  peer.Join();
  EXPECT_EQ(seen.requests, std::vector<std::string>{"GET /dir/file.txt HTTP/1.0\r\n" + kAcceptLine + kAgentLine +
                                                   "Host: 127.0.0.1:" + peer.PortText() + "\r\n\r\n"});
  EXPECT_EQ(rig.err, 0);
  EXPECT_EQ(rig.cli.StatusCode(), 200);
  EXPECT_EQ(rig.doc.Data(), "hello from the peer");
  EXPECT_EQ(rig.cli.DocName(), "file.txt");
  EXPECT_EQ(rig.events, (std::vector<std::string>{"DocEnd", "SessionClosed", "RequestDone"}));
}

TEST(THttpCliWire, PostOfABodyInManyPieces) {
  std::string body(100000, '\0');
  for (size_t i = 0; i < body.size(); ++i) body[i] = static_cast<char>('A' + i % 23);
  Seen seen;
  LoopbackPeer peer(AnswerAndClose("HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nok", &seen));
  Rig rig;
  HttpMemoryStream post(body);
  int pieces = 0;
  rig.cli.OnSendData = [&](HttpClientCore&, const char*, size_t n) {
    EXPECT_LE(n, 8193u);
    ++pieces;
  };
  ASSERT_TRUE(rig.Post(UrlOf(peer, "/form"), post));
  peer.Join();
  ASSERT_EQ(seen.requests.size(), 1u);
  const std::string& rq = seen.requests[0];
  EXPECT_EQ(rq.substr(0, 17), "POST /form HTTP/1");
  EXPECT_NE(rq.find("Content-Length: 100000\r\n"), std::string::npos);
  EXPECT_EQ(rq.substr(rq.size() - body.size()), body);
  EXPECT_EQ(pieces, 13);
  EXPECT_EQ(rig.doc.Data(), "ok");
  EXPECT_EQ(rig.request, httpPOST);
}

TEST(THttpCliWire, ChunkedBodyWrittenInAwkwardPieces) {
  const std::vector<std::string> pieces = {
      "HTTP/1.1 200 OK\r\nTransfer-Enc", "oding: chunked\r\n\r", "\n1", "0\r\n0123456789",
      "abcdef\r", "\n3;x=y\r\n!!!\r\n0", "\r\n\r\n"};
  LoopbackPeer peer([&](PeerConnection& c) {
    c.ReceiveRequest();
    for (const std::string& p : pieces) {
      c.SendAll(p);
      Sleep(30);
    }
    c.Close();
  });
  Rig rig;
  ASSERT_TRUE(rig.Get(UrlOf(peer)));
  peer.Join();
  EXPECT_EQ(rig.err, 0);
  EXPECT_EQ(rig.doc.Data(), "0123456789abcdef!!!");
}

TEST(THttpCliWire, InterimContinueThenTheRealAnswer) {
  LoopbackPeer peer([&](PeerConnection& c) {
    c.ReceiveRequest();
    c.SendAll("HTTP/1.1 100 Continue\r\nX-Interim: yes\r\n\r\n");
    Sleep(30);
    c.SendAll("HTTP/1.1 404 Not Found\r\nContent-Length: 4\r\n\r\ngone");
    c.Close();
  });
  Rig rig;
  ASSERT_TRUE(rig.Get(UrlOf(peer)));
  peer.Join();
  EXPECT_EQ(rig.cli.StatusCode(), 404);
  EXPECT_EQ(rig.cli.RcvdHeader(),
            (std::vector<std::string>{"HTTP/1.1 404 Not Found", "Content-Length: 4"}));
  EXPECT_EQ(rig.doc.Data(), "gone");
}

TEST(THttpCliWire, ThroughAProxy) {
  Seen seen;
  LoopbackPeer proxy(AnswerAndClose("HTTP/1.0 200 OK\r\n\r\nproxied", &seen));
  Rig rig;
  rig.cli.SetProxy("127.0.0.1");
  rig.cli.SetProxyPort(proxy.PortText());
  ASSERT_TRUE(rig.Get("http://target.invalid:8080/path?q=1"));
  proxy.Join();
  EXPECT_EQ(seen.requests, std::vector<std::string>{"GET http://target.invalid:8080/path?q=1 HTTP/1.0\r\n" +
                                                   kAcceptLine + kAgentLine + "Host: target.invalid:8080\r\n\r\n"});
  EXPECT_EQ(rig.doc.Data(), "proxied");
}

TEST(THttpCliWire, RelocationOnTheSameServerReconnectsAndPostBecomesGet) {
  Seen seen;
  LoopbackPeer peer(
      [&](PeerConnection& c) {
        const std::string rq = c.ReceiveRequest();
        seen.Add(rq);
        if (rq.rfind("POST", 0) == 0) {
          c.SendAll("HTTP/1.0 302 Found\r\nLocation: /other\r\nContent-Length: 5\r\n\r\nmoved");
        } else {
          c.SendAll("HTTP/1.0 200 OK\r\nContent-Length: 5\r\n\r\nfinal");
        }
        c.Close();
      },
      2);
  Rig rig;
  HttpMemoryStream post("a=b");
  ASSERT_TRUE(rig.Post(UrlOf(peer, "/form"), post));
  peer.Join();
  ASSERT_EQ(seen.requests.size(), 2u);
  EXPECT_EQ(seen.requests[1].substr(0, 21), "GET /other HTTP/1.0\r\n");
  EXPECT_EQ(rig.request, httpGET);
  EXPECT_EQ(rig.doc.Data(), "final");
  EXPECT_EQ(rig.cli.Location(), UrlOf(peer, "/other"));
  EXPECT_EQ(std::count(rig.events.begin(), rig.events.end(), "LocationChange"), 1);
}

TEST(THttpCliWire, KeptConnectionIsReused) {
  Seen seen;
  LoopbackPeer peer([&](PeerConnection& c) {
    for (int i = 0; i < 2; ++i) {
      seen.Add(c.ReceiveRequest());
      c.SendAll("HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\n" + std::string(i ? "two" : "one"));
    }
    c.ReceiveRequest();  // until the client closes
  });
  Rig rig;
  rig.cli.SetRequestVer("1.1");
  ASSERT_TRUE(rig.Get(UrlOf(peer)));
  rig.cli.StartGet();
  ASSERT_TRUE(rig.WaitDone(2));
  rig.cli.StartClose();
  ASSERT_TRUE(rig.WaitDone(3));
  peer.Join();  // one connection served both requests
  EXPECT_EQ(seen.requests.size(), 2u);
  EXPECT_EQ(rig.doc.Data(), "onetwo");
  EXPECT_EQ(rig.request, httpCLOSE);
}

TEST(THttpCliFailures, ConnectionRefused) {
  Rig rig;
  ASSERT_TRUE(rig.Get(UnusedPortUrl("http")));
  EXPECT_EQ(rig.err, 10061);
  EXPECT_EQ(rig.cli.StatusCode(), 404);
  PumpFor(100);
  EXPECT_EQ(rig.done, 1);
}

TEST(THttpCliFailures, HttpsToAClosedPortIsRefusedAsOverHttp) {
  Rig rig;
  ASSERT_TRUE(rig.Get(UnusedPortUrl("https")));
  EXPECT_EQ(rig.cli.StatusCode(), 404);
  EXPECT_EQ(rig.err, 10061);
}

TEST(THttpCliFailures, CloseInsideTheHeaderEndsTheRequest) {
  LoopbackPeer peer(AnswerAndClose("HTTP/1.0 200 OK\r\nContent-Ty"));
  Rig rig;
  ASSERT_TRUE(rig.Get(UrlOf(peer)));
  peer.Join();
  EXPECT_EQ(rig.err, kHttpErrCutShort);
  EXPECT_EQ(rig.events, (std::vector<std::string>{"SessionClosed", "RequestDone"}));
}

TEST(THttpCliFailures, BadStatusCode) {
  LoopbackPeer peer([&](PeerConnection& c) {
    c.ReceiveRequest();
    c.SendAll("HTTP/1.1 2OO OK\r\n\r\n");
    c.ReceiveRequest();  // until the client drops the connection
  });
  Rig rig;
  ASSERT_TRUE(rig.Get(UrlOf(peer)));
  peer.Join();
  EXPECT_EQ(rig.err, kHttpErrBadAnswer);
}

TEST(THttpCliAbort, WhileConnectedAndWhenIdle) {
  LoopbackPeer peer(HoldRequest);
  Rig rig;
  rig.cli.SetURL(UrlOf(peer));
  rig.cli.StartGet();
  ASSERT_TRUE(PumpUntil([&] { return rig.cli.State() == ClientState::kWaitingHeader; }));
  rig.cli.Abort();
  EXPECT_EQ(rig.events, std::vector<std::string>{"SessionClosed"});
  EXPECT_EQ(rig.done, 0);
  ASSERT_TRUE(rig.WaitDone());
  EXPECT_EQ(rig.err, kHttpErrAborted);
  EXPECT_EQ(rig.cli.ReasonPhrase(), "Connection aborted on request");
  peer.Join();
  rig.cli.Abort();
  EXPECT_EQ(rig.done, 2);  // at once, without a message
  EXPECT_EQ(rig.err, 0);
}

// The program's workers free the client right after Abort: nothing may reach the
// freed object afterwards.
TEST(THttpCliAbort, FreedRightAfterAbort) {
  LoopbackPeer peer(HoldRequest);
  int done = 0;
  int closed = 0;
  auto cli = std::make_unique<THttpCli>();
  cli->OnRequestDone = [&](HttpClientCore&, THttpRequest, uint16_t) { ++done; };
  cli->OnSessionClosed = [&](HttpClientCore&) { ++closed; };
  cli->SetURL(UrlOf(peer));
  cli->StartGet();
  ASSERT_TRUE(PumpUntil([&] { return cli->State() == ClientState::kWaitingHeader; }));
  cli->Abort();
  cli.reset();
  PumpFor(200);
  peer.Join();
  EXPECT_EQ(closed, 1);
  EXPECT_EQ(done, 0);
}

TEST(THttpCliAbort, DuringTheLookup) {
  PARLIX_SKIP_OUTSIDE_LOOPBACK_NAMESPACE();
  Rig rig;
  rig.cli.SetURL("http://no-such-host.invalid/");
  rig.cli.StartGet();
  ASSERT_EQ(rig.cli.State(), ClientState::kDnsLookup);
  rig.cli.Abort();
  ASSERT_TRUE(rig.WaitDone());
  PumpFor(300);
  EXPECT_EQ(rig.done, 1);
  EXPECT_EQ(rig.err, kHttpErrAborted);
  EXPECT_EQ(rig.cli.CtrlSocket().State(), wsClosed);
}

TEST(THttpCliFailures, UnknownHost) {
  PARLIX_SKIP_OUTSIDE_LOOPBACK_NAMESPACE();
  Rig rig;
  ASSERT_TRUE(rig.Get("http://no-such-host.invalid/"));
  EXPECT_EQ(rig.cli.StatusCode(), 404);
  EXPECT_EQ(rig.cli.ReasonPhrase(), "can't resolve hostname to IP address");
  EXPECT_NE(rig.err, 0);
}

TEST(THttpCliWire, LargeDocumentArrivesIntact) {
  std::string body(4 << 20, '\0');
  for (size_t i = 0; i < body.size(); ++i) body[i] = static_cast<char>((i * 131) >> 3);
  LoopbackPeer peer(
      AnswerAndClose("HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body));
  Rig rig;
  ASSERT_TRUE(rig.Get(UrlOf(peer, "/big.bin")));
  peer.Join();
  EXPECT_EQ(rig.err, 0);
  EXPECT_EQ(rig.cli.RcvdCount(), static_cast<int64_t>(body.size()));
  EXPECT_TRUE(rig.doc.Data() == body);
}

}  // namespace
}  // namespace parlix
