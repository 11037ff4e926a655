// THttpCli over HTTPS through SChannel under Wine, against the TLS listeners of
// tools/with-tls (real TLS, certificates made at test time) in front of the stand-ins.
#include <gtest/gtest.h>

#include <string>

#include "net/http_cli_win.h"
#include "support/loopback_peer_win.h"
#include "support/tls_trust_win.h"

namespace parlix {
namespace {

using test::PumpUntil;
using test::TlsPort;

class Tls : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(TlsPort("PARLIX_TLS_PORT"), 0) << "run through tools/with-standins tools/with-tls";
    ASSERT_TRUE(test::TrustTestCa());
    cli_.SetDocStream(&doc_);
    cli_.SetMultiThreaded(true);
    cli_.OnRequestDone = [this](HttpClientCore&, THttpRequest, uint16_t e) {
      ++done_;
      err_ = e;
    };
  }
  // Starts a request and waits for its end; false when it never ends.
  bool Fetch(const char* port_variable, const std::string& path, const std::string* post = nullptr) {
    doc_.SetSize(0);
    done_ = 0;
    cli_.SetURL("https://localhost:" + std::to_string(TlsPort(port_variable)) + path);
    HttpMemoryStream body(post != nullptr ? *post : "");
    cli_.SetPostStream(&body);
    if (post != nullptr) {
      cli_.StartPost();
    } else {
      cli_.StartGet();
    }
    const bool ended = PumpUntil([&] { return done_ > 0; }, 20000);
    cli_.SetPostStream(nullptr);
    return ended;
  }

  THttpCli cli_;
  HttpMemoryStream doc_;
  int done_ = 0;
  uint16_t err_ = 0xFFFF;
};

TEST_F(Tls, TranslationPageByGetAndByPost) {
  ASSERT_TRUE(Fetch("PARLIX_TLS_PORT", "/translate_t?text=Thank%20you&langpair=en%7Ces"));
  EXPECT_EQ(err_, 0);
  EXPECT_EQ(cli_.StatusCode(), 200);
  EXPECT_NE(doc_.Data().find("Gracias"), std::string::npos) << doc_.Data();
  // A second request on a new connection, with a body: the records go both ways.
  const std::string form = "text=good+morning&langpair=en%7Ces";
  ASSERT_TRUE(Fetch("PARLIX_TLS_PORT", "/translate_t", &form));
  EXPECT_EQ(err_, 0);
  EXPECT_NE(doc_.Data().find("buenos d"), std::string::npos) << doc_.Data();
}

TEST_F(Tls, BadServersEndWithTheirCodeAndNoDocument) {
  const struct {
    const char* port;
    uint16_t code;
  } cases[] = {
      {"PARLIX_TLS_UNTRUSTED_PORT", kTlsErrUntrusted},
      {"PARLIX_TLS_WRONGNAME_PORT", kTlsErrWrongName},
      {"PARLIX_TLS_EXPIRED_PORT", kTlsErrExpired},
      {"PARLIX_TLS_OLD_PORT", kTlsErrFailed},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.port);
    ASSERT_TRUE(Fetch(c.port, "/translate_t?text=Hello&langpair=en%7Ces")) << "no end: a hang";
    EXPECT_EQ(err_, c.code);
    EXPECT_EQ(doc_.Size(), 0);
  }
}

}  // namespace
}  // namespace parlix
