// The whole program through proxies nobody here wrote, started on loopback by
// tools/with-real-proxies in front of the stand-ins: squid with NTLM (its fake
// helper lets any user through), squid with Basic (a password file) and tinyproxy
// with BasicAuth. Real proxies differ from our own stand-in front in ways it never
// would: squid's challenge has no target information and a wild target name
// offset; tinyproxy answers a wrong password with 401, not 407.
#include <sstream>
#include <string>
#include <vector>

#include "support/proxy_post_win.h"
#include "support/session_win.h"
#include "support/tls_trust_win.h"

namespace parlix::test {
namespace {

constexpr char kUser[] = "desk";
constexpr char kPassword[] = "Tr4nsl8";
constexpr char kPopup[] = "Hello through the proxy";

// One line of the NTLM squid's access log: "time address:port result/status method url user".
struct LogLine {
  std::string client;
  int status = 0;
  std::string url;
};

// The log named by PARLIX_SQUID_NTLM_LOG (a Unix path).
std::vector<LogLine> SquidLog() {
  std::vector<LogLine> lines;
  std::istringstream in(ReadFileBytes(UnixToWindowsPath(EnvText("PARLIX_SQUID_NTLM_LOG"))));
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string time, client, result, method, url;
    fields >> time >> client >> result >> method >> url;
    const size_t slash = result.find('/');
    if (slash == std::string::npos) continue;
    lines.push_back({client, atoi(result.c_str() + slash + 1), url});
  }
  return lines;
}

// True when a 407 for a URL ending in `tail` is followed by its 200 from the same
// client port: the NTLM exchange kept its connection, as it must.
bool ChallengeAndAnswerOnOneConnection(const std::vector<LogLine>& log, const std::string& tail) {
  auto ends_with = [&](const std::string& url) {
    return url.size() >= tail.size() && url.compare(url.size() - tail.size(), tail.size(), tail) == 0;
  };
  for (size_t i = 0; i < log.size(); ++i) {
    if (log[i].status != 407 || !ends_with(log[i].url)) continue;
    for (size_t j = i + 1; j < log.size(); ++j) {
      if (log[j].client == log[i].client && log[j].status == 200 && ends_with(log[j].url)) return true;
    }
  }
  return false;
}

std::string DumpLog(const std::vector<LogLine>& log) {
  std::string out;
  for (const LogLine& l : log) out += l.client + " " + std::to_string(l.status) + " " + l.url + "\n";
  return out;
}

class RealProxy : public ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    squid_ntlm_ = EnvNumber("PARLIX_SQUID_NTLM_PORT");
    squid_basic_ = EnvNumber("PARLIX_SQUID_BASIC_PORT");
    tinyproxy_ = EnvNumber("PARLIX_TINYPROXY_PORT");
    ASSERT_TRUE(squid_ntlm_ != 0 && squid_basic_ != 0 && tinyproxy_ != 0)
        << "run through tools/with-standins tools/with-real-proxies";
  }

  // The maker's server serves a daily message, so its box shows the file arrived.
  void ServeServiceFile() { ASSERT_TRUE(standins_.ServeServiceFile(ServiceFileWithPopup(kPopup))); }

  void Start(int port, const std::string& user, const std::string& password) {
    ASSERT_TRUE(session_.Start(port, user, password));
  }

  void ExpectTranslation() {
    session_.Translate(kSample);
    ASSERT_TRUE(session_.WaitForResult(kSampleSpanish)) << session_.Result();
  }

  // The translation ends in an error box whose first line is `words`.
  void ExpectTranslationError(const std::string& words) { ExpectErrorBoxFor(kSample, words, 30s); }

  // The service file's daily message, then a translation, both through the proxy.
  void ExpectServiceFileAndTranslation(int port, const std::string& user, const std::string& password) {
    ServeServiceFile();
    Start(port, user, password);
    ASSERT_EQ(session_.DismissBox(30s), kPopup) << "the service file did not arrive";
    ExpectTranslation();
    EXPECT_EQ(session_.program->FindMessageBox(), nullptr);
  }

  // A wrong password: the translation ends in the error words, the service file
  // is quietly given up, and neither leaves a file behind.
  void ExpectRefusal(int port) {
    ServeServiceFile();
    Start(port, kUser, "wrong");
    ExpectTranslationError("Error: Service unavailable.");
    session_.Close();
    EXPECT_TRUE(session_.NoNewAnswerFile()) << session_.NewAnswerFiles();
  }

  // The service moves to the https listener named by `port_variable` (tools/with-tls).
  void RelocateToHttps(const char* port_variable) {
    const int port = TlsPort(port_variable);
    ASSERT_NE(port, 0) << "run through tools/with-tls";
    ASSERT_TRUE(TrustTestCa());
    ASSERT_TRUE(standins_.SetControl("{\"relocate_post_to\": \"https://localhost:" + std::to_string(port) + "\"}"));
  }

  int squid_ntlm_ = 0;
  int squid_basic_ = 0;
  int tinyproxy_ = 0;
};

TEST_F(RealProxy, SquidWithNtlm) {
  ExpectServiceFileAndTranslation(squid_ntlm_, kUser, kPassword);
  const std::vector<LogLine> log = SquidLog();
  EXPECT_TRUE(ChallengeAndAnswerOnOneConnection(log, "/desk/service.txt")) << DumpLog(log);
  EXPECT_TRUE(ChallengeAndAnswerOnOneConnection(log, "/translate_t")) << DumpLog(log);
}

TEST_F(RealProxy, SquidWithBasic) { ExpectServiceFileAndTranslation(squid_basic_, kUser, kPassword); }

TEST_F(RealProxy, TinyproxyWithBasic) { ExpectServiceFileAndTranslation(tinyproxy_, kUser, kPassword); }

// squid refuses with 407 again; tinyproxy with 401 and a server challenge, which
// the program answers once with no server credentials and then gives up.
TEST_F(RealProxy, WrongPasswordEndsInTheErrorWords) {
  for (int port : {squid_basic_, tinyproxy_}) {
    SCOPED_TRACE(port == tinyproxy_ ? "tinyproxy" : "squid");
    ExpectRefusal(port);
  }
}

// A service that moved to HTTPS: its relocation goes through each proxy's tunnel
// (CONNECT, with squid's NTLM exchange on the CONNECT itself), then TLS to the
// stand-in behind tools/with-tls.
TEST_F(RealProxy, SecureTranslationThroughTunnels) {
  RelocateToHttps("PARLIX_TLS_PORT");
  for (int port : {squid_ntlm_, tinyproxy_}) {
    SCOPED_TRACE(port == tinyproxy_ ? "tinyproxy" : "squid ntlm");
    Start(port, kUser, kPassword);
    ExpectTranslation();
    session_.Close();
  }
  const std::vector<LogLine> log = SquidLog();
  EXPECT_TRUE(ChallengeAndAnswerOnOneConnection(log, "localhost:" + std::to_string(TlsPort("PARLIX_TLS_PORT"))))
      << DumpLog(log);
}

// A server whose certificate or protocol fails ends the translation in its own words,
// with no answer file left and no hang.
TEST_F(RealProxy, BadSecureServersEndInTheirWords) {
  const struct {
    const char* port;
    const char* words;
  } cases[] = {
      {"PARLIX_TLS_UNTRUSTED_PORT", "Error: The server's certificate is not trusted."},
      {"PARLIX_TLS_WRONGNAME_PORT", "Error: The server's certificate is for another name."},
      {"PARLIX_TLS_EXPIRED_PORT", "Error: The server's certificate has expired."},
      {"PARLIX_TLS_OLD_PORT", "Error: The secure connection could not be made."},
  };
  Start(tinyproxy_, kUser, kPassword);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.port);
    RelocateToHttps(c.port);
    ExpectTranslationError(c.words);
  }
  session_.Close();
  EXPECT_TRUE(session_.NoNewAnswerFile()) << session_.NewAnswerFiles();
}

// The program itself speaks HTTP/1.0; the client also speaks 1.1, where the
// proxies keep connections open without being asked.
TEST_F(RealProxy, ClientOverHttp10And11) {
  struct Proxy {
    const char* name;
    int port;
  };
  for (const Proxy& proxy : {Proxy{"squid ntlm", squid_ntlm_}, Proxy{"squid basic", squid_basic_},
                             Proxy{"tinyproxy", tinyproxy_}}) {
    for (const char* version : {"1.0", "1.1"}) {
      SCOPED_TRACE(std::string(proxy.name) + " HTTP/" + version);
      const TProxyPost post = PostThroughProxy(proxy.port, kUser, kPassword, version);
      EXPECT_EQ(post.error, 0);
      EXPECT_EQ(post.status, 200);
      EXPECT_NE(post.doc.find(">hola<"), std::string::npos) << post.doc;
    }
  }
}

}  // namespace
}  // namespace parlix::test
