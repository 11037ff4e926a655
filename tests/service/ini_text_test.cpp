#include "service/ini_text.h"

#include <gtest/gtest.h>

namespace parlix {
namespace {

TEST(IniText, ReadsSectionsKeysAndValuesAsProfileRoutinesDo) {
  const TIniText ini(
      "; a comment line\r\n"
      "[Home]\r\n"
      "  Url =  http://a.example/  \r\n"
      "Email=\"mailto:x@a.example\"\n"
      "Quoted='single'\r"
      "Half=\"open\n"
      "noequals line\n"
      "=no key\n"
      "[ Empty ]\n"
      "[Other]\n"
      "Url=second\n");
  EXPECT_EQ(ini.ReadString("Home", "Url", "d"), "http://a.example/");
  EXPECT_EQ(ini.ReadString("home", "URL", "d"), "http://a.example/");
  EXPECT_EQ(ini.ReadString("Home", "Email", "d"), "mailto:x@a.example");
  EXPECT_EQ(ini.ReadString("Home", "Quoted", "d"), "single");
  EXPECT_EQ(ini.ReadString("Home", "Half", "d"), "\"open");
  EXPECT_EQ(ini.ReadString("Home", "Missing", "d"), "d");
  EXPECT_EQ(ini.ReadString("Other", "Url", "d"), "second");
  EXPECT_TRUE(ini.SectionExists("HOME"));
  EXPECT_FALSE(ini.SectionExists("Empty"));
  EXPECT_FALSE(ini.SectionExists("Nowhere"));
}

TEST(IniText, KeysBeforeAnySectionAndBrokenHeadersAreIgnored) {
  const TIniText ini("Name=top\n[Sig\nName=x\n[Signature]\nName=Parlix\n");
  EXPECT_EQ(ini.ReadString("Signature", "Name", ""), "Parlix");
  EXPECT_EQ(ini.ReadString("", "Name", "none"), "none");
}

TEST(IniText, LongValuesAreCutAtTheProfileLimit) {
  const std::string long_value(5000, 'a');
  const TIniText ini("[S]\nK=" + long_value + "\n");
  EXPECT_EQ(ini.ReadString("S", "K", "").size(), TIniText::kMaxValueLength);
}

TEST(IniText, IntegersInDecimalAndHexadecimal) {
  EXPECT_EQ(ParseIniInteger("42"), 42);
  EXPECT_EQ(ParseIniInteger(" -7 "), -7);
  EXPECT_EQ(ParseIniInteger("$FF"), 255);
  EXPECT_EQ(ParseIniInteger("0x4b4B4b"), 0x4B4B4B);
  EXPECT_EQ(ParseIniInteger("0xFFFFFFFF"), -1);
  EXPECT_EQ(ParseIniInteger("2147483647"), 2147483647);
  EXPECT_EQ(ParseIniInteger("-2147483648"), -2147483647 - 1);
  for (const char* text : {"2147483648", "0x100000000", "99999999999999999999", "", "0x", "$", "12a", "three"})
    EXPECT_FALSE(ParseIniInteger(text)) << text;
  const TIniText ini("[S]\nA=12\nB=red\n");
  EXPECT_EQ(ini.ReadInteger("S", "A", 5), 12);
  EXPECT_EQ(ini.ReadInteger("S", "B", 5), 5);
  EXPECT_EQ(ini.ReadInteger("S", "C", 5), 5);
}

}  // namespace
}  // namespace parlix
