// The authentication exchanges driven natively through the scripted fake socket:
// each case gives the server's (or proxy's) answers and the exact requests the
// client must send for them.
#include "net/http_auth.h"

#include <gtest/gtest.h>

#include <random>

#include "net/hex_util.h"
#include "net/http_fake_socket.h"
#include "net/mime_util.h"
#include "net/ntlm.h"

namespace parlix {
namespace {

using namespace parlix::testing;

constexpr char kWorkstation[] = "PC7";
constexpr char kUrl[] = "http://host/doc";

class FakeAuthClient : public FakeSocketClient<HttpAuthClient> {
 public:
  using FakeSocketClient::FakeSocketClient;

 protected:
  std::string NtlmWorkstation() override { return kWorkstation; }
};

// Every request asks for kUrl, on a "host" that is the loopback.
struct AuthRig : FakeHttpRigOf<FakeAuthClient> {
  AuthRig() { socket.dns["host"] = {0, "127.0.0.1"}; }
  // The proxy most cases go through, with credentials it accepts.
  void ThroughProxy() {
    cli.SetProxy("127.0.0.1:3128");
    Credentials("", "", "pu", "pp");
  }
  bool Get() { return FakeHttpRigOf::Get(kUrl); }
  bool Post(HttpStream& body) { return FakeHttpRigOf::Post(body, kUrl); }
};

const NtlmChallenge kChallenge = {0x01, 0x23, 0x45, 0x67, 0x89, 0xab, 0xcd, 0xef};

// A 48-byte challenge message without target name or information.
std::string ChallengeMessage() {
  std::string m("NTLMSSP\0", 8);
  m += Le32(2) + Le16(0) + Le16(0) + Le32(48) + Le32(0x00008201);
  m += std::string(reinterpret_cast<const char*>(kChallenge.data()), 8);
  m += std::string(8, '\0');
  m += Le16(0) + Le16(0) + Le32(48);
  return m;
}

const std::string kNtlm2 = Base64Encode(ChallengeMessage());
const std::string kForm = "Content-Type: application/x-www-form-urlencoded\r\n";

// The request a case expects, line by line in the client's order.
struct Req {
  std::string method = "GET";
  std::string target = kUrl;
  std::string connection{};
  std::string proxy_connection{};
  std::string auth{};
  std::string body{};  // a POST's, whose length the request announces

  std::string Bytes() const {
    std::string r = method + " " + target + " HTTP/1.0\r\n" + kAcceptLine;
    if (!connection.empty()) r += "Connection: " + connection + "\r\n";
    if (!proxy_connection.empty()) r += "Proxy-Connection: " + proxy_connection + "\r\n";
    if (method == "POST") r += kForm;
    r += kAgentLine + "Host: host\r\n";
    if (method == "POST") r += "Content-Length: " + std::to_string(body.size()) + "\r\n";
    if (!auth.empty()) r += auth + "\r\n";
    return r + "\r\n" + body;
  }
};

FakeExchange Answer(const std::string& status_line, const std::string& fields, const std::string& body = "",
                    bool keep_alive = false) {
  return Exchange("HTTP/1.0 " + status_line + "\r\n" + fields + (keep_alive ? "Connection: keep-alive\r\n" : "") +
                      "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body,
                  !keep_alive);
}

// The proxy's first NTLM refusal, and its challenge on a connection it keeps.
FakeExchange NtlmOffer(const std::string& body = "") {
  return Answer("407 Denied", "Proxy-Authenticate: NTLM\r\n", body);
}
FakeExchange NtlmChallengeAnswer() {
  return Answer("407 Denied", "Proxy-Authenticate: NTLM " + kNtlm2 + "\r\n", "", true);
}

// Credentials default to the proxy's; a direct case clears them and names the server's.
struct AuthCase {
  const char* name;
  bool proxy = true;
  bool post = false;
  std::string user{}, pass{};                        // server credentials
  std::string proxy_user = "pu", proxy_pass = "pp";  // proxy credentials
  THttpCliOptions options = 0;
  std::vector<FakeExchange> answers{};
  std::vector<Req> requests{};
  int status = 0;
  std::string doc{};
  size_t connects = 0;
};

// A kept connection is asked for in the field of whoever is asked for credentials.
Req Get(std::string auth = "", bool proxy = true, bool keep = false) {
  Req r;
  r.auth = std::move(auth);
  if (!proxy) r.target = "/doc";
  if (keep) (proxy ? r.proxy_connection : r.connection) = "Keep-alive";
  return r;
}

Req Post(std::string auth, std::string body, std::string proxy_conn = "") {
  return {.method = "POST", .proxy_connection = std::move(proxy_conn), .auth = std::move(auth),
          .body = std::move(body)};
}

std::vector<AuthCase> Cases() {
  const std::string proxy_basic = "Proxy-Authorization: Basic " + Base64Encode("pu:pp");
  const std::string proxy_ntlm1 = "Proxy-Authorization: NTLM " + NtlmGetMessage1();
  const std::string proxy_ntlm3 =
      "Proxy-Authorization: NTLM " + NtlmGetMessage3("", "pu", kWorkstation, "pp", kChallenge);
  const std::string need_basic = "Proxy-Authenticate: Basic realm=\"gate\"\r\n";
  const FakeExchange basic_refused = Answer("407 Denied", need_basic);
  const std::string server_ntlm1 = "Authorization: NTLM " + NtlmGetMessage1();
  const std::string server_ntlm3 =
      "Authorization: NTLM " + NtlmGetMessage3("", "su", kWorkstation, "sp", kChallenge);
  return {
      {.name = "proxy Basic: refused answer's body removed, credentials sent once",
       .answers = {Answer("407 Proxy Authentication Required", need_basic, "denied"),
                   Answer("200 OK", "", "content")},
       .requests = {Get(), Get(proxy_basic)}, .status = 200, .doc = "content", .connects = 2},
      {.name = "proxy Basic refused twice ends with the second 407",
       .answers = {Answer("407 Denied", need_basic, "a"), Answer("407 Denied", need_basic, "b")},
       .requests = {Get(), Get(proxy_basic)}, .status = 407, .doc = "b", .connects = 2},
      {.name = "407 without any challenge field", .answers = {Answer("407 Denied", "")},
       .requests = {Get()}, .status = 407, .connects = 1},
      {.name = "Basic offered but no proxy password", .proxy_pass = "", .answers = {basic_refused},
       .requests = {Get()}, .status = 407, .connects = 1},
      {.name = "\"Basic\" must begin the value",
       .answers = {Answer("407 Denied", "Proxy-Authenticate: xBasic\r\n")}, .requests = {Get()},
       .status = 407, .connects = 1},
      {.name = "server Basic on a direct connection, scheme matched without case",
       .proxy = false, .user = "Al Ice", .pass = "p:w d", .proxy_user = "", .proxy_pass = "",
       .answers = {Answer("401 Unauthorized", "WWW-Authenticate: BASIC realm=x\r\n"),
                   Answer("200 OK", "", "in")},
       .requests = {Get("", false),
                    Get("Authorization: Basic " + Base64Encode("Al Ice:p:w d"), false)},
       .status = 200, .doc = "in", .connects = 2},
      {.name = "a 401 is not answered with proxy credentials",
       .answers = {Answer("401 Unauthorized", "WWW-Authenticate: Basic\r\n")},
       .requests = {Get()}, .status = 401, .connects = 1},
      // The second and third travel on one connection.
      {.name = "proxy NTLM POST: empty body with the first message, body with the third",
       .post = true,
       .answers = {NtlmOffer("no"), NtlmChallengeAnswer(), Answer("200 OK", "", "translated")},
       .requests = {Post("", "a=1&b=2"), Post(proxy_ntlm1, "", "Keep-alive"),
                    Post(proxy_ntlm3, "a=1&b=2", "Keep-alive")},
       .status = 200, .doc = "translated", .connects = 2},
      {.name = "NTLM chosen over Basic, in either field order, \"ntlm\" in lower case",
       .answers = {Answer("407 Denied", "Proxy-Authenticate: ntlm\r\n" + need_basic),
                   Answer("407 Denied", need_basic + "Proxy-Authenticate: NTLM " + kNtlm2 + "\r\n",
                          "", true),
                   Answer("200 OK", "", "x")},
       .requests = {Get(), Get(proxy_ntlm1, true, true), Get(proxy_ntlm3, true, true)},
       .status = 200, .doc = "x", .connects = 2},
      {.name = "NTLM third message refused ends with that 407",
       .answers = {NtlmOffer(), NtlmChallengeAnswer(), NtlmOffer("wrong")},
       .requests = {Get(), Get(proxy_ntlm1, true, true), Get(proxy_ntlm3, true, true)},
       .status = 407, .doc = "wrong", .connects = 2},
      {.name = "NTLM message that is no challenge ends the request",
       .answers = {NtlmOffer(), Answer("407 Denied",
                                       "Proxy-Authenticate: NTLM " + NtlmGetMessage1() + "\r\n",
                                       "", true)},
       .requests = {Get(), Get(proxy_ntlm1, true, true)}, .status = 407, .connects = 2},
      {.name = "NTLM answer without a challenge message ends the request",
       .answers = {NtlmOffer(), Answer("407 Denied", "Proxy-Authenticate: NTLM\r\n", "", true)},
       .requests = {Get(), Get(proxy_ntlm1, true, true)}, .status = 407, .connects = 2},
      {.name = "NTLM switched off: Basic is used", .options = httpoNoNTLMAuth,
       .answers = {Answer("407 Denied", "Proxy-Authenticate: NTLM\r\n" + need_basic),
                   Answer("200 OK", "", "b")},
       .requests = {Get(), Get(proxy_basic)}, .status = 200, .doc = "b", .connects = 2},
      {.name = "Basic switched off: a Basic challenge ends the request",
       .options = httpoNoBasicAuth, .answers = {basic_refused}, .requests = {Get()},
       .status = 407, .connects = 1},
      {.name = "server NTLM on a direct connection",
       .proxy = false, .user = "su", .pass = "sp", .proxy_user = "", .proxy_pass = "",
       .answers = {Answer("401 Unauthorized", "WWW-Authenticate: NTLM\r\n"),
                   Answer("401 Unauthorized", "WWW-Authenticate: NTLM " + kNtlm2 + "\r\n", "", true),
                   Answer("200 OK", "", "s")},
       .requests = {Get("", false), Get(server_ntlm1, false, true), Get(server_ntlm3, false, true)},
       .status = 200, .doc = "s", .connects = 2},
  };
}

TEST(HttpAuthWire, ExchangesAsScripted) {
  for (const AuthCase& c : Cases()) {
    SCOPED_TRACE(c.name);
    AuthRig rig;
    for (const FakeExchange& e : c.answers) rig.socket.exchanges.push_back(e);
    if (c.proxy) rig.cli.SetProxy("127.0.0.1:3128");
    rig.Credentials(c.user, c.pass, c.proxy_user, c.proxy_pass);
    rig.cli.SetOptions(c.options);
    HttpMemoryStream post("a=1&b=2");
    ASSERT_TRUE(c.post ? rig.Post(post) : rig.Get());
    std::vector<std::string> expected;
    for (const Req& r : c.requests) expected.push_back(r.Bytes());
    EXPECT_EQ(rig.socket.requests, expected);
    EXPECT_EQ(rig.Ended(), std::tuple(1, 0, c.status, c.doc));
    EXPECT_EQ(rig.socket.connects.size(), c.connects);
    EXPECT_EQ(rig.cli.State(), ClientState::kReady);
  }
}

// The states as the exchange moves, and what a new connection forgets: a second
// request on a fresh connection earns its credentials again.
TEST(HttpAuthStates, NtlmDoneIsForgottenOnANewConnection) {
  AuthRig rig;
  rig.ThroughProxy();
  const std::deque<FakeExchange> script = {NtlmOffer(), NtlmChallengeAnswer(), Answer("200 OK", "", "ok")};
  rig.socket.exchanges = script;
  ASSERT_TRUE(rig.Get());
  EXPECT_EQ(rig.cli.StatusCode(), 200);
  EXPECT_EQ(rig.cli.ProxyAuthNTLMState(), NtlmAuthState::kDone);
  EXPECT_EQ(rig.cli.NtlmChallengeOf(AuthSide::kProxy).challenge, kChallenge);
  EXPECT_TRUE(rig.cli.NtlmChallengeOf(AuthSide::kProxy).valid);

  rig.socket.exchanges = script;
  ASSERT_TRUE(rig.Get());
  EXPECT_EQ(rig.Ended(), std::tuple(2, 0, 200, "okok"));
  ASSERT_EQ(rig.socket.requests.size(), 6u);
  // The first request of the second round goes out bare again.
  EXPECT_EQ(rig.socket.requests[3].find("Proxy-Authorization"), std::string::npos);
  EXPECT_NE(rig.socket.requests[4].find(NtlmGetMessage1()), std::string::npos);
}

TEST(HttpAuthStates, BasicStatesThroughRefusalAndSuccess) {
  AuthRig rig;
  rig.ThroughProxy();
  const std::string need_basic = "Proxy-Authenticate: Basic\r\n";
  rig.socket.exchanges = {Answer("407 Denied", need_basic), Answer("407 Denied", need_basic)};
  ASSERT_TRUE(rig.Get());
  EXPECT_EQ(rig.cli.StatusCode(), 407);
  EXPECT_EQ(rig.cli.ProxyAuthBasicState(), BasicAuthState::kNone);
  EXPECT_TRUE(rig.cli.AuthChallenges().empty());

  rig.socket.exchanges = {Answer("407 Denied", need_basic), Answer("200 OK", "", "y")};
  ASSERT_TRUE(rig.Get());
  EXPECT_EQ(rig.Ended(), std::tuple(2, 0, 200, "y"));
  EXPECT_EQ(rig.cli.ProxyAuthBasicState(), BasicAuthState::kDone);
}

// The body goes out with the third message from where the caller had put the
// stream, however much of it earlier attempts sent.
TEST(HttpAuthStates, NtlmPostSendsTheRestOfAPositionedStream) {
  AuthRig rig;
  rig.ThroughProxy();
  rig.cli.SetRequestVer("1.1");
  HttpMemoryStream post("skip:payload");
  post.Seek(5);
  rig.socket.exchanges = {Answer("407 Denied", "Proxy-Authenticate: NTLM\r\n", "", true),
                          NtlmChallengeAnswer(), Answer("200 OK", "", "done", true)};
  ASSERT_TRUE(rig.Post(post));
  ASSERT_EQ(rig.socket.requests.size(), 3u);
  EXPECT_EQ(rig.socket.connects.size(), 1u);
  // HTTP/1.1 keeps the connection without asking: no Proxy-Connection line.
  EXPECT_EQ(rig.socket.requests[1].find("Proxy-Connection"), std::string::npos);
  EXPECT_NE(rig.socket.requests[1].find("Content-Length: 0\r\n"), std::string::npos);
  const std::string& third = rig.socket.requests[2];
  EXPECT_NE(third.find("Content-Length: 7\r\n"), std::string::npos);
  EXPECT_EQ(third.substr(third.size() - 11), "\r\n\r\npayload");
  EXPECT_EQ(rig.doc.Data(), "done");
}

TEST(HttpAuthChallenges, LastMatchingEntryWins) {
  const std::vector<std::string> list = {"NTLM AAAA", "Basic realm=a", "ntlm BBBB", "Digest x"};
  ASSERT_NE(FindAuthChallenge(list, "NTLM"), nullptr);
  EXPECT_EQ(*FindAuthChallenge(list, "NTLM"), "ntlm BBBB");
  EXPECT_EQ(*FindAuthChallenge(list, "Basic"), "Basic realm=a");
  EXPECT_EQ(FindAuthChallenge(list, "Negotiate"), nullptr);
  EXPECT_EQ(FindAuthChallenge({"NTL"}, "NTLM"), nullptr);
  EXPECT_EQ(FindAuthChallenge({}, "Basic"), nullptr);
}

// Whatever mix of challenges, refusals and successes the peers send, with
// credentials for both sides, every request ends exactly once (also when a peer
// hangs up between attempts) and the attempts stay few: no mix of exchanges can
// keep a request going round for ever.
TEST(HttpAuthFuzz, RandomChallengeSequencesAlwaysEnd) {
  const std::string ntlm2 = "NTLM " + kNtlm2;
  const std::vector<std::pair<std::string, std::string>> answers = {
      {"407 P", "Proxy-Authenticate: NTLM\r\n"},
      {"407 P", "Proxy-Authenticate: " + ntlm2 + "\r\n"},
      {"407 P", "Proxy-Authenticate: NTLM !!garbage\r\n"},
      {"407 P", "Proxy-Authenticate: Basic\r\n"},
      {"407 P", "Proxy-Authenticate: Basic\r\nProxy-Authenticate: " + ntlm2 + "\r\n"},
      {"407 P", ""},
      {"401 S", "WWW-Authenticate: NTLM\r\n"},
      {"401 S", "WWW-Authenticate: " + ntlm2 + "\r\n"},
      {"401 S", "WWW-Authenticate: Basic\r\n"},
      {"200 OK", ""},
  };
  std::mt19937 rng(20261208);
  for (int round = 0; round < 300; ++round) {
    SCOPED_TRACE(round);
    AuthRig rig;
    rig.socket.close_unscripted = true;
    for (int i = 0; i < 12; ++i) {
      const auto& a = answers[rng() % answers.size()];
      rig.socket.exchanges.push_back(Answer(a.first, a.second, "", rng() % 2 == 0));
    }
    if (rng() % 2 == 0) rig.cli.SetProxy("127.0.0.1:3128");
    rig.Credentials("su", "sp");
    if (rng() % 2 == 0) rig.cli.SetRequestVer("1.1");
    HttpMemoryStream post("payload");
    ASSERT_TRUE(rig.Post(post));
    EXPECT_EQ(rig.done_count, 1);
    EXPECT_EQ(rig.cli.State(), ClientState::kReady);
    EXPECT_LE(rig.socket.requests.size(), 1u + HttpAuthClient::kMaxAuthAttempts);
  }
}

// An HTTP/1.1 answer keeps the connection by default, yet servers often hang up
// after a 401 or 407. That close lands between the answer and the new attempt: it
// must neither end the request nor be mistaken for the new attempt's failure.
TEST(HttpAuthStates, PeerHangingUpBetweenAttempts) {
  AuthRig rig;
  int closed = 0;
  rig.cli.OnSessionClosed = [&](HttpClientCore&) { ++closed; };
  rig.cli.SetRequestVer("1.1");
  rig.ThroughProxy();
  rig.socket.exchanges = {Exchange("HTTP/1.1 407 P\r\nProxy-Authenticate: Basic\r\nContent-Length: 3\r\n\r\nno!"),
                          Answer("200 OK", "", "yes")};
  ASSERT_TRUE(rig.Get());
  EXPECT_EQ(rig.Ended(), std::tuple(1, 0, 200, "yes"));
  EXPECT_EQ(rig.socket.requests.size(), 2u);
  EXPECT_EQ(rig.socket.connects.size(), 2u);
  EXPECT_EQ(closed, 2);
}

// Peers that keep alternating server and proxy challenges restart the exchanges;
// the request ends after kMaxAuthAttempts new attempts, and the next request
// starts clean.
TEST(HttpAuthStates, AlternatingChallengesAreCapped) {
  AuthRig rig;
  rig.Credentials("su", "sp");
  for (int i = 0; i < 15; ++i) {
    rig.socket.exchanges.push_back(
        Answer("401 S", "WWW-Authenticate: NTLM " + kNtlm2 + "\r\n", "", true));
    rig.socket.exchanges.push_back(
        Answer("407 P", "Proxy-Authenticate: NTLM " + kNtlm2 + "\r\n", "", true));
  }
  ASSERT_TRUE(rig.Get());
  EXPECT_EQ(rig.done_count, 1);
  EXPECT_GE(rig.cli.StatusCode(), 401);
  EXPECT_LE(rig.socket.requests.size(), 1u + HttpAuthClient::kMaxAuthAttempts);

  rig.socket.exchanges = {Answer("200 OK", "", "fresh")};
  rig.doc.SetSize(0);
  ASSERT_TRUE(rig.Get());
  EXPECT_EQ(rig.Ended(), std::tuple(2, 0, 200, "fresh"));
  EXPECT_EQ(rig.socket.requests.back().find("Authorization"), std::string::npos);
}

}  // namespace
}  // namespace parlix
