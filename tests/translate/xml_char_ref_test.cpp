#include <gtest/gtest.h>

#include <string>

#include "translate/xml_char_ref.h"

namespace parlix {
namespace {

std::string MessageOf(std::u16string_view ref) {
  try {
    XmlCharRefToInt(ref);
  } catch (const EConversionError& e) {
    return e.what();
  }
  return "(no error)";
}

TEST(IsXmlCharRef, ShapesOfDecimalAndHexReferences) {
  for (const char16_t* good : {u"&#39;", u"&#0;", u"&#x41;", u"&#xaBcD;", u"&#00000000000000000065;"})
    EXPECT_TRUE(IsXmlCharRef(good));
  for (const char16_t* bad : {u"", u";", u"&#;", u"&#x;", u"&#X41;", u"&#39", u"&#3a;", u"&#xg;", u"&39;",
                              u"#39;", u"&#-1;", u"&# 39;", u"&#39;;x", u"&#x41 ;"})
    EXPECT_FALSE(IsXmlCharRef(bad));
}

TEST(IsXmlChar, TheXmlCharacterRangeBelow0x10000) {
  for (unsigned c : {9, 10, 13, 0x20, 0xFFFD}) EXPECT_TRUE(IsXmlChar(c)) << c;
  for (unsigned c : {0, 8, 11, 0x1F, 0xFFFE, 0xFFFF}) EXPECT_FALSE(IsXmlChar(c)) << c;
}

TEST(XmlCharRefToInt, ValuesAndErrors) {
  EXPECT_EQ(XmlCharRefToInt(u"&#39;"), 39u);
  EXPECT_EQ(XmlCharRefToInt(u"&#x41;"), 0x41u);
  EXPECT_EQ(XmlCharRefToInt(u"&#9;"), 9u);
  EXPECT_EQ(XmlCharRefToInt(u"&#x1F600;"), 0x1F600u);
  EXPECT_EQ(XmlCharRefToInt(u"&#1114111;"), 0x10FFFFu);
  EXPECT_EQ(XmlCharRefToInt(u"&#xE000;"), 0xE000u);
  EXPECT_EQ(XmlCharRefToInt(u"&#x10000;"), 0x10000u);
  for (const char16_t* bad : {u"&#X41;", u"&#0;", u"&#xD800;", u"&#xDFFF;", u"&#x110000;", u"&#1114112;",
                              u"&#xFFFE;", u"&#11;", u"&#x;"})
    EXPECT_THROW(XmlCharRefToInt(bad), EConversionError);
}

TEST(XmlCharRefToInt, ErrorMessageNamesTheReference) {
  EXPECT_EQ(MessageOf(u"&#X41;"), "&#X41; is not a valid XmlCharRef value.");
  EXPECT_EQ(MessageOf(u"&#0;"), "&#0; is not a valid XmlCharRef value.");
  // Too many digits for 32 bits: the same error, never a wrapped value. 2^32 + 65 would wrap
  // to "A" and 2^64 + 65 as well.
  EXPECT_EQ(MessageOf(u"&#4294967361;"), "&#4294967361; is not a valid XmlCharRef value.");
  EXPECT_EQ(MessageOf(u"&#x100000041;"), "&#x100000041; is not a valid XmlCharRef value.");
  EXPECT_EQ(MessageOf(u"&#18446744073709551681;"), "&#18446744073709551681; is not a valid XmlCharRef value.");
  EXPECT_EQ(MessageOf(std::u16string(u"&#") + std::u16string(5000, u'9') + u";").size(),
            5003 + std::string(" is not a valid XmlCharRef value.").size());
  EXPECT_EQ(XmlCharRefErrorText("&#bad;"), "&#bad; is not a valid XmlCharRef value.");
}

TEST(XmlCharRefToStr, OneOrTwoCodeUnits) {
  EXPECT_EQ(XmlCharRefToStr(u"&#39;"), u"'");
  EXPECT_EQ(XmlCharRefToStr(u"&#x41;"), u"A");
  EXPECT_EQ(XmlCharRefToStr(u"&#9;"), u"\t");
  EXPECT_EQ(XmlCharRefToStr(u"&#x1F600;"), (std::u16string{0xD83D, 0xDE00}));
  EXPECT_EQ(XmlCharRefToStr(u"&#x10000;"), (std::u16string{0xD800, 0xDC00}));
  EXPECT_EQ(XmlCharRefToStr(u"&#x10FFFF;"), (std::u16string{0xDBFF, 0xDFFF}));
  EXPECT_EQ(XmlCharRefToStr(u"&#xFFFD;"), (std::u16string{0xFFFD}));
  EXPECT_THROW(XmlCharRefToStr(u"&#xD800;"), EConversionError);
}

}  // namespace
}  // namespace parlix
