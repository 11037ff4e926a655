// The whole program through a proxy that demands credentials: the proxy settings'
// user name and password reach the translation worker's client, which answers the
// stand-in proxy's Basic or NTLM challenge, and the translation arrives.
#include "support/session_win.h"

namespace parlix::test {
namespace {

class ProxyCredentials : public ProgramTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(ProxyCredentials, TranslationPassesTheProxy) {
  const std::string scheme = GetParam();
  ASSERT_TRUE(standins_.SetControl(R"({"proxy_auth": {"scheme": ")" + scheme +
                                   R"(", "user": "desk", "password": "Tr4nsl8!", "domain": "CORP"}})"));
  ASSERT_TRUE(session_.Start(standins_.port, "desk", "Tr4nsl8!"));
  session_.Translate(kSample);
  ASSERT_TRUE(session_.WaitForResult(kSampleSpanish)) << session_.Result();
  EXPECT_EQ(session_.program->FindMessageBox(), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Schemes, ProxyCredentials, ::testing::Values("basic", "ntlm"));

}  // namespace
}  // namespace parlix::test
