#include <gtest/gtest.h>

#include <random>
#include <set>
#include <string>
#include <utility>

#include "net/wsocket_util.h"

namespace parlix {
namespace {

TEST(WSocketErrorText, NamesCodeFunctionAndDescription) {
  EXPECT_EQ(WSocketErrorText(10057, "Send"),
            "Error 10057 in function Send\r\nSocket is not connected");
  EXPECT_EQ(WSocketErrorText(10061, "Connect"), "Error 10061 in function Connect\r\nConnection refused");
  const std::pair<int, const char*> descriptions[] = {
      {0, "No Error"}, {10035, "Operation would block"}, {10059, "Too many references: can't splice"},
      {10093, "WinSock not initialized"}, {11001, "Host not found"}, {11004, "No Data"},
      {10072, "Not a WinSock error"}, {-1, "Not a WinSock error"}, {10001, "Not a WinSock error"}};
  for (const auto& [code, description] : descriptions) EXPECT_EQ(WSocketErrorDesc(code), description) << code;
}

TEST(WSocketErrorText, EveryCodeOfTheTableHasItsOwnText) {
  const int codes[] = {10004, 10009, 10013, 10014, 10022, 10024, 10035, 10036, 10037, 10038,
                       10039, 10040, 10041, 10042, 10043, 10044, 10045, 10046, 10047, 10048,
                       10049, 10050, 10051, 10052, 10053, 10054, 10055, 10056, 10057, 10058,
                       10059, 10060, 10061, 10062, 10063, 10064, 10065, 10066, 10067, 10068,
                       10069, 10070, 10071, 10091, 10092, 10093, 11001, 11002, 11003, 11004};
  std::set<std::string> seen;
  for (int code : codes) {
    const std::string d = WSocketErrorDesc(code);
    EXPECT_NE(d, "Not a WinSock error") << code;
    EXPECT_TRUE(seen.insert(d).second) << code;
  }
}

TEST(WSocketIsDottedIP, AcceptsOnlyFourPartsBelow256) {
  for (const char* ip : {"127.0.0.1", "  10.1.2.3", "10.1.2.3   ", "255.255.255.255", "0.0.0.0"})
    EXPECT_TRUE(WSocketIsDottedIP(ip)) << ip;
  for (const char* text : {"", "   ", "localhost", ".1.2.3", "1.2.3", "1.2.3.4.5", "1..2.3", "1.2.3.", "256.1.1.1",
                           "1.1.1.256", "1.2.3.4x", "1.2.3.4 x", "1.2.3 .4", "99999999999999999999.1.1.1",
                           "1.1.1.99999999999999999999"})
    EXPECT_FALSE(WSocketIsDottedIP(text)) << text;
}

TEST(DottedToAddress, ConvertsAndPrintsBack) {
  EXPECT_EQ(DottedToAddress("127.0.0.1"), 0x7F000001u);
  EXPECT_EQ(DottedToAddress(" 1.2.3.4 "), 0x01020304u);
  EXPECT_EQ(DottedToAddress("001.002.003.004"), 0x01020304u);
  EXPECT_EQ(AddressToDotted(0x7F000001u), "127.0.0.1");
  EXPECT_EQ(AddressToDotted(0xFFFFFFFFu), "255.255.255.255");
  EXPECT_EQ(AddressToDotted(*DottedToAddress("001.002.003.004")), "1.2.3.4");
  std::mt19937 rng(5);
  for (int i = 0; i < 1000; ++i) {
    const uint32_t a = static_cast<uint32_t>(rng());
    EXPECT_EQ(DottedToAddress(AddressToDotted(a)), a);
  }
}

TEST(LeadingDecimal, ReadsDigitsUpToTheFirstOther) {
  EXPECT_EQ(LeadingDecimal("8080", 65535), 8080u);
  EXPECT_EQ(LeadingDecimal("  80", 65535), 80u);
  EXPECT_EQ(LeadingDecimal("80abc", 65535), 80u);
  EXPECT_EQ(LeadingDecimal("0", 65535), 0u);
  EXPECT_EQ(LeadingDecimal("65535", 65535), 65535u);
  for (const char* text : {"65536", "99999999999999999999999", "http", "", "   "})
    EXPECT_EQ(LeadingDecimal(text, 65535), std::nullopt) << text;
}

TEST(WellKnownProtocol, KnowsTcpUdpRaw) {
  EXPECT_EQ(WellKnownProtocol("tcp"), 6);
  EXPECT_EQ(WellKnownProtocol("udp"), 17);
  EXPECT_EQ(WellKnownProtocol("raw"), 255);
  EXPECT_EQ(WellKnownProtocol("icmp"), std::nullopt);
  EXPECT_EQ(WellKnownProtocol("TCP"), std::nullopt);  // the caller lower-cases
}

}  // namespace
}  // namespace parlix
