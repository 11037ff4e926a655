#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "config/system_proxy_win.h"

namespace parlix {
namespace {

constexpr char kKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
// What the detection found: host and port.
using Found = std::pair<std::string, std::string>;

class SystemProxy : public ::testing::Test {
 protected:
  void SetUp() override {
    RegCreateKeyExA(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key_, nullptr);
    Clear();
  }
  void TearDown() override {
    Clear();
    RegCloseKey(key_);
  }
  void Clear() {
    for (const char* name : {"ProxyEnable", "ProxyServer", "ProxyOverride"}) RegDeleteValueA(key_, name);
  }
  void SetDword(DWORD value) {
    RegSetValueExA(key_, "ProxyEnable", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
  }
  void SetBinary(std::vector<BYTE> bytes) {
    RegSetValueExA(key_, "ProxyEnable", 0, REG_BINARY, bytes.data(), static_cast<DWORD>(bytes.size()));
  }
  void SetString(const char* name, const char* value) {
    RegSetValueExA(key_, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value), static_cast<DWORD>(strlen(value) + 1));
  }
  bool Detect() { return DetectSystemProxy("http", found_.first, found_.second); }

  HKEY key_ = nullptr;
  Found found_;
};

TEST_F(SystemProxy, DwordSwitch) {
  SetString("ProxyServer", "http=gate:3128");
  SetDword(0);
  EXPECT_FALSE(Detect());
  EXPECT_EQ(found_, Found("gate", "3128"));
  SetDword(1);
  EXPECT_TRUE(Detect());
  SetDword(2);
  EXPECT_FALSE(Detect());
}

TEST_F(SystemProxy, BinarySwitch) {
  SetString("ProxyServer", "http=gate:3128");
  SetBinary({0, 0, 0, 0});
  EXPECT_FALSE(Detect());
  SetBinary({0, 1, 0, 0});
  EXPECT_TRUE(Detect());
}

TEST_F(SystemProxy, MissingValuesGiveTheEmptyAnswer) {
  EXPECT_FALSE(Detect());
  EXPECT_EQ(found_, Found("", ""));
}

TEST_F(SystemProxy, OverrideIsReadWhenTheServerIsEmpty) {
  SetDword(1);
  SetString("ProxyServer", "");
  SetString("ProxyOverride", "<local>;*.example");
  EXPECT_TRUE(Detect());
  EXPECT_EQ(found_, Found("", ""));
  SetString("ProxyOverride", "http=over:81");
  EXPECT_TRUE(Detect());
  EXPECT_EQ(found_, Found("over", "81"));
}

TEST_F(SystemProxy, AServerWithoutTerminatorIsReadAndAHugeOneIsNot) {
  SetDword(1);
  const std::string bare = "http=gate:3128";
  RegSetValueExA(key_, "ProxyServer", 0, REG_SZ, reinterpret_cast<const BYTE*>(bare.data()),
                 static_cast<DWORD>(bare.size()));
  EXPECT_TRUE(Detect());
  EXPECT_EQ(found_, Found("gate", "3128"));
  SetString("ProxyServer", ("http=" + std::string(40000, 'g') + ":1").c_str());
  Detect();
  EXPECT_EQ(found_.first, "");
}

}  // namespace
}  // namespace parlix
