// The TLS layer between the client and the scripted socket, with a scripted security
// package: records cut anywhere, handshake messages after the handshake, failures
// that must end the request with their own code, and the proxy's tunnel.
#include "net/tls_socket.h"

#include <gtest/gtest.h>

#include "net/mime_util.h"
#include "net/tls_fake_security.h"

namespace parlix {
namespace {

using namespace parlix::testing;

const std::string kAnswer = "HTTP/1.0 200 OK\r\nContent-Length: 11\r\n\r\nhello world";

TEST(TlsSocket, AnswerArrivesWhereverTheReadsCutTheRecords) {
  // Byte by byte cuts every record and token; the largest read holds several records,
  // a handshake message after the handshake among them (the TLS 1.3 ticket path).
  for (size_t piece : {size_t{1}, size_t{2}, size_t{7}, size_t{1} << 20}) {
    SCOPED_TRACE(piece);
    TlsRig rig;
    ASSERT_TRUE(rig.Get("https://localhost/doc"));
    EXPECT_EQ(rig.tcp.connects, std::vector<std::string>{"127.0.0.1:443"});
    EXPECT_EQ(rig.tcp.sent, TlsRec('H', "client-hello:localhost"));
    ASSERT_TRUE(rig.Play(ServerHello(), piece));
    const std::string request = TlsSentText(rig.tcp.sent);
    EXPECT_EQ(request.rfind("GET /doc HTTP/1.0\r\n", 0), 0u) << request;
    EXPECT_NE(request.find("\r\nHost: localhost\r\n"), std::string::npos) << request;
    ASSERT_TRUE(rig.Play(TlsData(kAnswer.substr(0, 20)) + PostHandshakeMessage() + TlsData(kAnswer.substr(20)),
                         piece));
    ASSERT_TRUE(rig.Hangup());
    EXPECT_EQ(rig.done, 1);
    EXPECT_EQ(rig.err, 0);
    EXPECT_EQ(rig.doc.Data(), "hello world");
    EXPECT_EQ(rig.script.contexts, 1);
  }
}

TEST(TlsSocket, EachFailureEndsTheRequestWithItsCodeAndWritesNothing) {
  struct Case {
    const char* name;
    TlsVerdict verdict;
    bool refuse_hello;
    std::string server;  // after the hello, or instead of it when the hello is refused
    bool hello = true;
    uint16_t code;
  };
  const Case cases[] = {
      {"untrusted", TlsVerdict::kUntrusted, false, "", true, kTlsErrUntrusted},
      {"other name", TlsVerdict::kWrongName, false, "", true, kTlsErrWrongName},
      {"expired", TlsVerdict::kExpired, false, "", true, kTlsErrExpired},
      {"TLS 1.0", TlsVerdict::kOldProtocol, false, "", true, kTlsErrFailed},
      {"handshake refused", TlsVerdict::kOk, true, "", true, kTlsErrFailed},
      {"closed in the handshake", TlsVerdict::kOk, false, "", false, kTlsErrFailed},
      {"garbage record", TlsVerdict::kOk, false, TlsRec('X', "junk"), true, kTlsErrFailed},
      {"close-notify mid-answer", TlsVerdict::kOk, false,
       TlsData(kAnswer.substr(0, 40)) + CloseNotify() + TlsData("tail"), true, kHttpErrCutShort},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TlsRig rig;
    rig.script.verdict = c.verdict;
    rig.script.refuse_server_hello = c.refuse_hello;
    ASSERT_TRUE(rig.Get("https://localhost/doc"));
    ASSERT_TRUE(rig.Play(c.hello ? ServerHello() : ""));
    ASSERT_TRUE(rig.Play(c.server));
    if (rig.done == 0) {
      ASSERT_TRUE(rig.Hangup());
    }
    EXPECT_EQ(rig.done, 1);
    EXPECT_EQ(rig.err, c.code);
    if (c.code != kHttpErrCutShort) {
      EXPECT_EQ(rig.doc.Size(), 0);
    }
    if (c.server.empty()) {
      EXPECT_EQ(TlsSentText(rig.tcp.sent), "");  // no request left
    }
    EXPECT_EQ(rig.tcp.State(), HttpSocketState::kClosed);
  }
}

TEST(TlsSocket, ProxyTunnelCarriesOnlyTheProxysCredentialsOnConnect) {
  TlsRig rig;
  rig.cli.SetProxy("127.0.0.1");
  rig.cli.SetProxyPort("3128");
  rig.cli.SetProxyUsername("pu");
  rig.cli.SetProxyPassword("pp");
  const std::string who = "HTTP/1.0 407 Who\r\nProxy-Authenticate: Basic realm=\"p\"\r\nContent-Length: 0\r\n\r\n";
  rig.tcp.exchanges = {Exchange(who), Exchange("HTTP/1.0 200 Connection established\r\n\r\n", false)};
  ASSERT_TRUE(rig.Get("https://localhost:8443/doc"));
  const std::string connect =
      "CONNECT localhost:8443 HTTP/1.0\r\nHost: localhost:8443\r\nUser-Agent: Mozilla/4.0 (compatible)\r\n";
  const std::string credentials = "Proxy-Authorization: Basic " + EncodeBase64Str("pu:pp") + "\r\n";
  EXPECT_EQ(rig.tcp.requests, (std::vector<std::string>{connect + "\r\n", connect + credentials + "\r\n"}));
  const size_t tunnel_start = rig.tcp.sent.rfind(TlsRec('H', "client-hello:localhost"));
  ASSERT_NE(tunnel_start, std::string::npos);
  ASSERT_TRUE(rig.Play(ServerHello()));
  const std::string inner = TlsSentText(rig.tcp.sent.substr(tunnel_start));
  EXPECT_EQ(inner.rfind("GET /doc HTTP/1.0\r\n", 0), 0u) << inner;
  EXPECT_NE(inner.find("\r\nHost: localhost:8443\r\n"), std::string::npos) << inner;
  EXPECT_EQ(inner.find("Proxy-"), std::string::npos) << inner;
  ASSERT_TRUE(rig.Play(TlsData(kAnswer)));
  ASSERT_TRUE(rig.Hangup());
  EXPECT_EQ(rig.err, 0);
  EXPECT_EQ(rig.doc.Data(), "hello world");

  // A proxy that will not connect through ends the request, not with its page.
  TlsRig refused;
  refused.cli.SetProxy("127.0.0.1");
  refused.tcp.exchanges = {Exchange("HTTP/1.0 403 Forbidden\r\nContent-Length: 4\r\n\r\nnope")};
  ASSERT_TRUE(refused.Get("https://localhost/doc"));
  EXPECT_EQ(refused.done, 1);
  EXPECT_EQ(refused.err, kHttpErrTunnelRefused);
  EXPECT_EQ(refused.doc.Size(), 0);
}

TEST(TlsSocket, RelocationsGoFromPlainToSecureButNeverBack) {
  TlsRig up;
  up.tcp.exchanges = {Exchange("HTTP/1.0 302 Moved\r\nLocation: https://localhost/t\r\n\r\n")};
  ASSERT_TRUE(up.Get("http://localhost/"));
  ASSERT_TRUE(up.Play(ServerHello()));
  EXPECT_EQ(up.tcp.connects, (std::vector<std::string>{"127.0.0.1:80", "127.0.0.1:443"}));
  const size_t hello = up.tcp.sent.find(TlsRec('H', "client-hello:localhost"));
  ASSERT_NE(hello, std::string::npos);
  EXPECT_EQ(TlsSentText(up.tcp.sent.substr(hello)).rfind("GET /t HTTP/1.0\r\n", 0), 0u);

  TlsRig down;
  ASSERT_TRUE(down.Get("https://localhost/"));
  ASSERT_TRUE(down.Play(ServerHello()));
  ASSERT_TRUE(down.Play(TlsData("HTTP/1.0 302 Moved\r\nLocation: http://localhost/t\r\n\r\n")));
  EXPECT_EQ(down.done, 1);
  EXPECT_EQ(down.err, kHttpErrInsecureRelocation);
  EXPECT_EQ(down.tcp.connects.size(), 1u);
}

}  // namespace
}  // namespace parlix
