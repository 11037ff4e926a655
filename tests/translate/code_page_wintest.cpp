// The system code page under Wine (1252 with a UTF-8 LANG) through the same functions the
// window code calls.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/code_page.h"
#include "translate/extract.h"
#include "translate/request.h"

namespace parlix {
namespace {

class SystemCodePageTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(GetACP(), 1252u) << "these cases are written for code page 1252"; }
  const ICodePage& cp_ = SystemCodePage();
};

TEST_F(SystemCodePageTest, EveryByteRoundTrips) {
  std::string all;
  for (int b = 1; b < 256; ++b) all.push_back(static_cast<char>(b));
  const std::u16string wide = cp_.AnsiToUtf16(all);
  ASSERT_EQ(wide.size(), all.size());
  EXPECT_EQ(wide[0xE9 - 1], u'\u00E9');
  EXPECT_EQ(wide[0x80 - 1], u'\u20AC');
  EXPECT_EQ(cp_.Utf16ToAnsi(wide), all);
  for (int b = 0; b < 256; ++b) EXPECT_FALSE(cp_.IsLeadByte(static_cast<unsigned char>(b))) << b;
  EXPECT_EQ(cp_.AnsiToUtf16(""), u"");
  EXPECT_EQ(cp_.Utf16ToAnsi(u""), "");
}

TEST_F(SystemCodePageTest, MissingCharactersBecomeOneDefaultCharacter) {
  EXPECT_EQ(cp_.Utf16ToAnsi(u"a\U0001F600b"), "a?b");  // one for the whole surrogate pair
  EXPECT_EQ(cp_.Utf16ToAnsi(u"\u4E2D\u6587"), "??");
  EXPECT_EQ(cp_.Utf16ToAnsi(u"\u0100"), "?");  // no best fit to "A"
  EXPECT_EQ(cp_.Utf16ToAnsi(std::u16string{0xD800, u'x'}), "?x");
  EXPECT_EQ(cp_.Utf16ToAnsi(u"caf\u00E9 \u20AC"), "caf\xE9 \x80");
}

TEST_F(SystemCodePageTest, RequestBodyAndAnswerThroughTheSystemCodePage) {
  EXPECT_EQ(BuildRequestBody("caf\xE9\r\n\x80", 1, cp_),
            "text=caf%C3%A9%0D%0A%E2%82%AC&langpair=en%7Ces&hl=en&ie=UTF-8&oe=UTF-8");
  const std::string page =
      "<html>\r\n<div dir=ltr id=result_box>buenos d\xC3\xAD" "as &#x1F600; \xF0\x9F\x98\x80 &amp; &#233;</div>\n</html>";
  const ExtractResult result = ExtractFromAnswer(page, cp_);
  EXPECT_EQ(result.status, ExtractStatus::kTranslated);
  EXPECT_EQ(result.text, "buenos d\xED" "as ? ? & \xE9");
}

}  // namespace
}  // namespace parlix
