// The whole program through a proxy that demands credentials: the proxy settings'
// user name and password reach the translation worker's client, which answers the
// stand-in proxy's Basic or NTLM challenge, and the translation arrives.
#include <gtest/gtest.h>

#include <memory>

#include "support/driver_win.h"

namespace parlix::test {
namespace {

constexpr char kSample[] = "Hello, good morning. Thank you!";
constexpr char kSampleSpanish[] = "Hola, buenos d\xED" "as. Gracias!";

class ProxyCredentials : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    standins_ = Standins();
    ASSERT_TRUE(standins_.Running()) << "run through tools/with-standins";
  }
  void TearDown() override {
    if (program_) program_->ExitDismissingBoxes();
    program_.reset();
    standins_.SetControl("{}");
  }

  HWND ResultMemo() const {
    HWND result = program_->FindTopWindow("TTransForm");
    return result != nullptr ? FindChild(result, "Edit") : nullptr;
  }

  TStandins standins_;
  std::unique_ptr<TProgram> program_;
  HWND main_ = nullptr;
};

TEST_P(ProxyCredentials, TranslationPassesTheProxy) {
  const std::string scheme = GetParam();
  ASSERT_TRUE(standins_.SetControl(R"({"proxy_auth": {"scheme": ")" + scheme +
                                   R"(", "user": "desk", "password": "Tr4nsl8!", "domain": "CORP"}})"));
  WriteSettingsWithProxyCredentials(standins_.port, "desk", "Tr4nsl8!");
  program_ = std::make_unique<TProgram>();
  main_ = program_->WaitForTopWindow("TMainForm", std::string("Parlix"));
  ASSERT_NE(main_, nullptr);
  HWND memo = FindChild(main_, "Edit");
  ASSERT_NE(memo, nullptr);
  test::SendBounded(memo, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(kSample));
  PostMessageA(main_, WM_USER + 4, 0, 0);
  ASSERT_TRUE(WaitUntil([&] { return ResultMemo() != nullptr && WindowText(ResultMemo()) == kSampleSpanish; }, 30s))
      << (ResultMemo() ? WindowText(ResultMemo()) : "no result window");
  EXPECT_EQ(program_->FindMessageBox(), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Schemes, ProxyCredentials, ::testing::Values("basic", "ntlm"));

}  // namespace
}  // namespace parlix::test
