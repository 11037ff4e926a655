#include <gtest/gtest.h>

#include "config/proxy_string.h"

namespace parlix {
namespace {

struct ServerCase {
  const char* server;
  const char* host;
  const char* port;
};

TEST(ProxyServerText, WorkedExamples) {
  const ServerCase cases[] = {
      {"http=gate:3128;ftp=gate:21", "gate", "3128"},
      {"ftp=a:21;http=b:80", "b", "80"},
      {"HTTP=Gate:3128", "gate", "3128"},
      {"gate:3128", "", ""},
      {"https=gate:443", "", ""},
      {"http=gate", "", "gate"},
      {"http=gate;ftp=f:21", "gate;ftp=f", "21"},
      {"", "", ""},
      // Only the first entry for the protocol counts.
      {"http=first:1;http=second:2", "first", "1"},
      // Not trimmed, not tested for digits.
      {"http= h :x y", " h ", "x y"},
  };
  for (const auto& c : cases) {
    std::string host = "stale", port = "stale";
    ParseProxyServer(c.server, "http", host, port);
    EXPECT_EQ(host, c.host) << c.server;
    EXPECT_EQ(port, c.port) << c.server;
  }
}

TEST(ProxySwitch, DwordIsOnOnlyForOne) {
  auto dword = [](unsigned v) {
    TProxyEnableValue value{true, TProxyEnableValue::Kind::kDword,
                            {static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8), 0, 0}};
    return ProxySwitchIsOn(value);
  };
  EXPECT_FALSE(dword(0));
  EXPECT_TRUE(dword(1));
  EXPECT_FALSE(dword(2));
  EXPECT_FALSE(dword(0x101));
}

TEST(ProxySwitch, BinaryIsABooleanOfAnyLength) {
  using Kind = TProxyEnableValue::Kind;
  EXPECT_FALSE(ProxySwitchIsOn({true, Kind::kBinary, {0, 0, 0, 0}}));
  EXPECT_TRUE(ProxySwitchIsOn({true, Kind::kBinary, {0, 0, 0, 1}}));
  EXPECT_TRUE(ProxySwitchIsOn({true, Kind::kBinary, {2}}));
  EXPECT_FALSE(ProxySwitchIsOn({true, Kind::kBinary, {}}));
  EXPECT_TRUE(ProxySwitchIsOn({true, Kind::kBinary, {0, 0, 0, 0, 0, 0, 0, 9}}));
}

TEST(ProxySwitch, MissingOrOtherTypesAreOff) {
  using Kind = TProxyEnableValue::Kind;
  EXPECT_FALSE(ProxySwitchIsOn({}));
  EXPECT_FALSE(ProxySwitchIsOn({true, Kind::kOther, {'1', 0}}));
  EXPECT_FALSE(ProxySwitchIsOn({true, Kind::kDword, {1}}));  // truncated
}

}  // namespace
}  // namespace parlix
