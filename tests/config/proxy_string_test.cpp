#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "config/proxy_string.h"
#include "net/hex_util.h"

namespace parlix {
namespace {

using testing::Le32;

struct Example {
  const char* server;
  const char* host;
  const char* port;
  const char* scheme = "http";
};

void ExpectParsed(std::initializer_list<Example> examples) {
  for (const Example& e : examples) {
    const ProxyHostPort parts = ParseProxyServer(e.server, e.scheme);
    EXPECT_EQ(std::tie(parts.host, parts.port), std::tie(e.host, e.port)) << e.server;
  }
}

TEST(ParseProxyServer, WorkedExamples) {
  ExpectParsed({{"http=gate:3128;ftp=gate:21", "gate", "3128"},
                {"ftp=a:21;http=b:80", "b", "80"},
                {"HTTP=Gate:3128", "gate", "3128"},
                {"gate:3128", "", ""},
                {"https=gate:443", "", ""},
                {"http=gate", "", "gate"},
                {"http=gate;ftp=f:21", "gate;ftp=f", "21"}});
}

TEST(ParseProxyServer, FirstEntryOnlyNoTrimNoDigitCheck) {
  ExpectParsed({{"http=first:1;http=second:2", "first", "1"},
                {"http= Gate :Port X ;ftp=x:1", " gate ", "port x "},
                {"", "", ""},
                {"http=", "", ""},
                {"ftp=f:21;https=s:443", "s", "443", "https"}});
}

TEST(ProxySwitchOn, TypesAndValues) {
  EXPECT_FALSE(ProxySwitchOn(ProxyEnableKind::kDword, Le32(0)));
  EXPECT_TRUE(ProxySwitchOn(ProxyEnableKind::kDword, Le32(1)));
  EXPECT_FALSE(ProxySwitchOn(ProxyEnableKind::kDword, Le32(2)));
  EXPECT_FALSE(ProxySwitchOn(ProxyEnableKind::kDword, Le32(0x101)));
  EXPECT_FALSE(ProxySwitchOn(ProxyEnableKind::kDword, Le32(0xFFFFFFFF)));
  EXPECT_FALSE(ProxySwitchOn(ProxyEnableKind::kDword, std::string(1, '\x01')));  // short: unreadable
  EXPECT_FALSE(ProxySwitchOn(ProxyEnableKind::kBinary, std::string(4, '\0')));
  EXPECT_TRUE(ProxySwitchOn(ProxyEnableKind::kBinary, std::string("\0\0\0\x02", 4)));
  EXPECT_TRUE(ProxySwitchOn(ProxyEnableKind::kBinary, std::string(1, '\x01')));
  EXPECT_TRUE(ProxySwitchOn(ProxyEnableKind::kBinary, std::string("\0\0\0\0\0\0\0\x80", 8)));
  EXPECT_FALSE(ProxySwitchOn(ProxyEnableKind::kBinary, ""));
  EXPECT_FALSE(ProxySwitchOn(ProxyEnableKind::kMissing, Le32(1)));
  EXPECT_FALSE(ProxySwitchOn(ProxyEnableKind::kOther, "1"));
}

TEST(ParseSystemProxy, SwitchAndServerTogether) {
  // Off with a valid entry: host and port are returned, but the proxy is not used.
  SystemProxy p = ParseSystemProxy(ProxyEnableKind::kDword, Le32(0), "http=gate:3128", "", "http");
  EXPECT_EQ(std::tie(p.enabled, p.host, p.port), std::tuple(false, "gate", "3128"));
  EXPECT_FALSE(p.UseProxy());

  p = ParseSystemProxy(ProxyEnableKind::kDword, Le32(1), "http=gate:3128", "", "http");
  EXPECT_TRUE(p.UseProxy());

  // Empty server text: the override list is parsed the same way; here it has no entry.
  p = ParseSystemProxy(ProxyEnableKind::kDword, Le32(1), "", "<local>;*.corp", "http");
  EXPECT_TRUE(p.enabled);
  EXPECT_TRUE(p.host.empty() && p.port.empty());
  EXPECT_FALSE(p.UseProxy());
  p = ParseSystemProxy(ProxyEnableKind::kBinary, std::string(1, '\x01'), "", "http=o:8", "http");
  EXPECT_TRUE(p.UseProxy());
  EXPECT_EQ(p.host, "o");

  // A non-empty server text wins over the override list even when it has no entry.
  p = ParseSystemProxy(ProxyEnableKind::kDword, Le32(1), "gate:3128", "http=o:8", "http");
  EXPECT_FALSE(p.UseProxy());
  EXPECT_TRUE(p.host.empty());

  // A malformed entry without ":": port but no host, so no proxy.
  p = ParseSystemProxy(ProxyEnableKind::kDword, Le32(1), "http=gate", "", "http");
  EXPECT_EQ(p.port, "gate");
  EXPECT_FALSE(p.UseProxy());

  p = ParseSystemProxy(ProxyEnableKind::kMissing, "", "", "", "http");
  EXPECT_FALSE(p.enabled || !p.host.empty() || !p.port.empty());
}

}  // namespace
}  // namespace parlix
