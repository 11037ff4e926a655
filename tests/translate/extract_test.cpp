#include <gtest/gtest.h>

#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "support/cp1252.h"
#include "translate/extract.h"
#include "translate/xml_char_ref.h"

namespace parlix {
namespace {

using testing::Cp1252;
using testing::FakeDoubleByte;
using Lines = std::vector<std::string>;

const AnswerMarkers kMarkers{"<div", "id=result_box", ">", "</div>"};

std::optional<std::string> Extract(Lines lines) { return ExtractTranslation(lines, kMarkers, Cp1252()); }

TEST(SplitLines, AllThreeLineEndsAndNul) {
  EXPECT_EQ(SplitLines("a\r\nb\rc\nd"), (Lines{"a", "b", "c", "d"}));
  EXPECT_EQ(SplitLines("a\n"), (Lines{"a"}));
  EXPECT_EQ(SplitLines("a\n\n"), (Lines{"a", ""}));
  EXPECT_EQ(SplitLines("a\n\r"), (Lines{"a", ""}));  // LF then a lone CR: two breaks
  EXPECT_EQ(SplitLines("a\r\r\nb"), (Lines{"a", "", "b"}));
  EXPECT_EQ(SplitLines(""), Lines{});
  EXPECT_EQ(SplitLines("\r\n"), (Lines{""}));
  EXPECT_EQ(SplitLines(std::string("ab\ncd\0ef\ngh", 11)), (Lines{"ab", "cd"}));
  EXPECT_EQ(SplitLines(std::string("\0abc", 4)), Lines{});
  EXPECT_EQ(JoinLines({"a", "", "b"}), "a\r\n\r\nb\r\n");
  EXPECT_EQ(JoinLines({}), "");
  for (const std::string& text : std::vector<std::string>{"a\r\nb\rc\nd", "a\n", "a\n\n", "a\n\r", "a\r\r\nb", "", "\r\n", "\r", "x\r",
                                 std::string("ab\ncd\0ef\ngh", 11), std::string("\0abc", 4)})
    EXPECT_EQ(NormalizeLineEnds(text), JoinLines(SplitLines(text))) << text;
}

TEST(Utf8ToUtf16, OneToFourByteSequences) {
  EXPECT_EQ(Utf8ToUtf16("A\xC3\xA9\xE2\x82\xAC"), std::u16string(u"A\u00E9\u20AC"));
  EXPECT_EQ(Utf8ToUtf16("\xF0\x9F\x98\x80!"), std::u16string(u"\U0001F600!"));
  EXPECT_EQ(Utf8ToUtf16("\xF4\x8F\xBF\xBF"), std::u16string(u"\U0010FFFF"));
  EXPECT_EQ(Utf8ToUtf16("\xF7\xBF\xBF\xBF"), std::u16string(u"\uFFFD"));  // beyond U+10FFFF
  EXPECT_EQ(Utf8ToUtf16(""), std::u16string());
}

TEST(Utf8ToUtf16, MalformedTextGivesNothing) {
  for (const char* bad : {"abc\xC3", "abc\xE2\x82", "\xF0\x9F\x98", "\xC3(", "\xE2\x82(", "a\x80", "\xBF",
                          "\xF8\x88\x80\x80\x80", "\xFF", "\xF0\x9F\x98\xC0"})
    EXPECT_EQ(Utf8ToUtf16(bad), std::nullopt) << bad;
}

TEST(DecodeAnswerLines, ConvertsToTheCodePage) {
  EXPECT_EQ(DecodeAnswerLines("caf\xC3\xA9\r\n\xE2\x82\xAC 5\n\xE4\xB8\xAD", Cp1252()),
            (Lines{"caf\xE9", "\x80 5", "?"}));
  // One emoji does not spoil the page: it becomes the default character.
  EXPECT_EQ(DecodeAnswerLines("smile \xF0\x9F\x98\x80 ok", Cp1252()), (Lines{"smile ? ok"}));
  // A sequence cut off at the end of a line is malformed, so the whole answer is.
  EXPECT_EQ(DecodeAnswerLines("good line\nbad \xC3\nmore", Cp1252()), Lines{});
  // A NUL ends the text, before and after the decode.
  EXPECT_EQ(DecodeAnswerLines(std::string("a\0\xC3", 3), Cp1252()), (Lines{"a"}));
  EXPECT_EQ(DecodeAnswerLines("a\xC0\x80" "b", Cp1252()), (Lines{"a"}));
}

TEST(ExtractTranslation, AllMarkersAndTheTextOnOneLine) {
  Lines lines{"<html><body>", "<p>x</p><div class=a id=result_box dir=ltr>  Hola mundo  </div><p>y</p>", "</html>"};
  EXPECT_EQ(ExtractTranslation(lines, kMarkers, Cp1252()), "Hola mundo");
  EXPECT_EQ(lines, Lines{"Hola mundo"});
}

TEST(ExtractTranslation, ThreeLinesWithAnEmptyOneBetween) {
  Lines lines{"<div id=result_box>first line", "", "  second  ", "third</div>", "tail"};
  EXPECT_EQ(ExtractTranslation(lines, kMarkers, Cp1252()), "first line second third");
  EXPECT_EQ(lines, (Lines{"first line", "", "second", "third"}));
}

TEST(ExtractTranslation, MarkersSpreadOverLines) {
  EXPECT_EQ(Extract({"head", "<div", "class=x", "id=result_box", "style=y", ">", "Bonjour", "</div>"}), "Bonjour");
  // The second marker is looked for only after the start marker, the text marker only after both.
  EXPECT_EQ(Extract({"id=result_box > nope", "<div id=x>", "<div id=result_box>yes</div>"}), "yes");
  // The start marker's first character is dropped before the next search, so "<div" in the
  // same line can begin a second search.
  EXPECT_EQ(Extract({"<div <div id=result_box>two</div>"}), "two");
  // The end marker alone on its line: that line goes, the text before it stays.
  EXPECT_EQ(Extract({"<div id=result_box>", "text", "</div>"}), "text");
  // Text after the end marker on the same line is cut.
  EXPECT_EQ(Extract({"<div id=result_box>a", "b</div>c", "d"}), "a b");
}

TEST(ExtractTranslation, TrailingBlankBeforeTheEndMarkerKeepsTheJoiningSpace) {
  // The blank rest in front of the end marker stays as an empty last line, so the joined
  // text ends with the space that separated it.
  EXPECT_EQ(Extract({"<div id=result_box>hello", "   </div>"}), "hello ");
}

TEST(ExtractTranslation, MissingMarkersOrNoText) {
  Lines no_start{"<html>", "<span id=result_box>x</span>", "</html>"};
  EXPECT_EQ(ExtractTranslation(no_start, kMarkers, Cp1252()), std::nullopt);
  EXPECT_TRUE(no_start.empty());
  EXPECT_EQ(Extract({"<div id=result_box></div>"}), std::nullopt);
  EXPECT_EQ(Extract({"<div id=result_box>   </div>"}), std::nullopt);
  EXPECT_EQ(Extract({"<div id=result_box>", "", "  ", "</div>"}), std::nullopt);
  EXPECT_EQ(Extract({"<div id=result_box>text never ends", "more"}), std::nullopt);
  EXPECT_EQ(Extract({"<div id=other>x</div>"}), std::nullopt);
  EXPECT_EQ(Extract({"<div id=result_box"}), std::nullopt);
  EXPECT_EQ(Extract({}), std::nullopt);
}

TEST(ExtractTranslation, LongMarkersAreCutTo16Characters) {
  AnswerMarkers long_end = kMarkers;
  long_end.end = "</div>0123456789ABCDEF";
  Lines lines{"<div id=result_box>x</div>0123456789"};
  // The search is exact over the whole given marker; the cut belongs to FromLiterals.
  EXPECT_EQ(ExtractTranslation(lines, long_end, Cp1252()), std::nullopt);
  const AnswerMarkers stored = AnswerMarkers::FromLiterals();
  EXPECT_EQ(std::tie(stored.start, stored.second, stored.text, stored.end),
            std::tuple("<div", "id=result_box", ">", "</div>"));
}

TEST(FindOnCharBoundary, SkipsHitsInsideDoubleByteCharacters) {
  const FakeDoubleByte dbcs;
  // 0x81 leads a two-byte character whose second byte is ">": that ">" is no marker.
  const std::string line = "ab\x81>cd>e";
  EXPECT_EQ(FindOnCharBoundary(line, ">", Cp1252()), 3u);
  EXPECT_EQ(FindOnCharBoundary(line, ">", dbcs), 6u);
  EXPECT_EQ(FindOnCharBoundary("\x81>", ">", dbcs), std::string::npos);
  EXPECT_EQ(FindOnCharBoundary("abc", "", dbcs), std::string::npos);
  EXPECT_EQ(FindOnCharBoundary("\x81", "x", dbcs), std::string::npos);  // lead byte at the end
  Lines lines{"<div id=result_box\x81>>text</div>"};
  EXPECT_EQ(ExtractTranslation(lines, kMarkers, dbcs), "text");  // the second ">" is the marker
}

const std::string kNotValid = " is not a valid XmlCharRef value.";

std::string Refs(std::string_view text) { return DecodeCharRefs(text, Cp1252()); }

// What a decoding gives, or the message of its error after "error: ".
template <class Decode>
std::string OrError(Decode decode) {
  try {
    return decode();
  } catch (const EConversionError& e) {
    return std::string("error: ") + e.what();
  }
}

TEST(DecodeCharRefs, ReferencesOfTheAnswer) {
  EXPECT_EQ(Refs("it&#39;s"), "it's");
  EXPECT_EQ(Refs("&#x41;BC"), "ABC");
  EXPECT_EQ(Refs("tab&#9;here"), "tab\there");
  EXPECT_EQ(Refs("caf&#233; &#8364;"), "caf\xE9 \x80");
  // A character outside the code page: its default character, one for the surrogate pair.
  EXPECT_EQ(Refs("smile &#x1F600;!"), "smile ?!");
  EXPECT_EQ(Refs("&#x4E2D;"), "?");
  EXPECT_EQ(Refs("no references & no # here;"), "no references & no # here;");
  EXPECT_EQ(Refs(""), "");
}

TEST(DecodeCharRefs, ReplacementsAreScannedAgain) {
  // "&#38;" is "&" and "&#35;" is "#": each forms a new reference with its neighbours.
  EXPECT_EQ(Refs("&#38;#65;"), "A");
  EXPECT_EQ(Refs("&&#35;65;"), "A");
  EXPECT_EQ(Refs("&#38;&#35;66;"), "B");
  EXPECT_EQ(Refs("&#38;#38;#38;#67;x"), "Cx");
  EXPECT_THROW(Refs("&#38;#x4x;"), EConversionError);  // the rebuilt reference is checked too
}

TEST(DecodeCharRefs, ErrorsNameTheReference) {
  // The reference runs to the first ";", whatever lies between.
  for (const auto& [text, ref] : {std::pair{"x&#X41;y", "&#X41;"}, {"&#0;", "&#0;"}, {"a &#xD800; b", "&#xD800;"},
                                  {"&#x110000;", "&#x110000;"}, {"&#99999999999999999999;", "&#99999999999999999999;"},
                                  {"&#39 and more;", "&#39 and more;"}, {"ok &#39; then &#x;", "&#x;"}})
    EXPECT_EQ(OrError([&] { return Refs(text); }), "error: " + std::string(ref) + kNotValid) << text;
}

TEST(DecodeCharRefs, AnOpenReferenceEndsTheDecoding) {
  EXPECT_EQ(Refs("a &# b"), "a &# b");
  EXPECT_EQ(Refs("&#39; then &#65 and no end"), "' then &#65 and no end");
  EXPECT_EQ(Refs("&#"), "&#");
  // The ";" is looked for after the "&#" only: one before it does not close it.
  EXPECT_EQ(Refs("; &#39"), "; &#39");
}

TEST(DecodeEntities, OrderOfTheFiveEntities) {
  EXPECT_EQ(DecodeEntities("&lt;b&gt; &amp; &apos;x&apos; &quot;y&quot;"), "<b> & 'x' \"y\"");
  EXPECT_EQ(DecodeEntities("&amp;quot;"), "\"");
  EXPECT_EQ(DecodeEntities("&amp;lt;"), "<");
  EXPECT_EQ(DecodeEntities("&amp;amp;"), "&amp;");  // one pass per entity: not decoded twice
  EXPECT_EQ(DecodeEntities("&AMP; &Lt;"), "&AMP; &Lt;");
  EXPECT_EQ(DecodeEntities("&quot;&amp;"), "\"&");
}

TEST(DecodeEntities, NumericReferencesComeFirst) {
  // An escaped ampersand before "#65;" shows as a reference, not as the letter.
  EXPECT_EQ(DecodeEntities(Refs("&amp;#65;")), "&#65;");
  EXPECT_EQ(DecodeEntities(Refs("&#38;quot;")), "\"");
}

std::string Page(std::string_view inner) {
  std::string page = "<html><head><title>t</title></head>\n<body>\n<div id=gt-res-dir-ctr class=x>";
  page += "<div dir=ltr id=result_box class=short_text>";
  page += inner;
  page += "</div></div>\n</body></html>\n";
  return page;
}

TEST(ExtractFromAnswer, OutcomesForTheWindow) {
  const auto ok = ExtractFromAnswer(Page("Hola, mundo &amp; &quot;amigos&quot; &#39;x&#39;"), Cp1252());
  EXPECT_EQ(ok.status, ExtractStatus::kTranslated);
  EXPECT_EQ(ok.text, "Hola, mundo & \"amigos\" 'x'");

  const auto utf8 = ExtractFromAnswer(Page("buenos d\xC3\xAD" "as \xF0\x9F\x98\x80"), Cp1252());
  EXPECT_EQ(utf8.status, ExtractStatus::kTranslated);
  EXPECT_EQ(utf8.text, "buenos d\xED" "as ?");

  EXPECT_EQ(ExtractFromAnswer("<html>nothing here</html>", Cp1252()).status, ExtractStatus::kProtocolChanged);
  EXPECT_EQ(ExtractFromAnswer(Page(""), Cp1252()).status, ExtractStatus::kProtocolChanged);
  EXPECT_EQ(ExtractFromAnswer(Page("bad \xE2\x82"), Cp1252()).status, ExtractStatus::kProtocolChanged);
  EXPECT_EQ(ExtractFromAnswer("", Cp1252()).status, ExtractStatus::kProtocolChanged);

  const auto bad_ref = ExtractFromAnswer(Page("x &#X41;"), Cp1252());
  EXPECT_EQ(bad_ref.status, ExtractStatus::kInvalidCharRef);
  EXPECT_EQ(bad_ref.text, "&#X41;" + kNotValid);
}

// The decoding as first written: convert the whole text around each reference and search
// again from the start. Slow, but obviously right: the fast decoder must agree with it.
std::string RestartingDecode(std::string text, const ICodePage& cp) {
  for (;;) {
    const size_t p = text.find("&#");
    if (p == std::string::npos) return text;
    const size_t q = text.find(';', p);
    if (q == std::string::npos) return text;
    const std::string ref = text.substr(p, q - p + 1);
    std::u16string wide;
    try {
      wide = cp.AnsiToUtf16(text.substr(0, p)) + XmlCharRefToStr(cp.AnsiToUtf16(ref)) +
             cp.AnsiToUtf16(text.substr(q + 1));
    } catch (const EConversionError&) {
      throw EConversionError(ref);
    }
    text = cp.Utf16ToAnsi(wide);
  }
}

TEST(DecodeCharRefs, AgreesWithRestartingFromTheBeginning) {
  std::mt19937 rng(4711);
  const std::vector<std::string> pieces = {"&", "#", "&#", ";", "x", "3", "8", "5", "6", "9", "4", "1", "A",
                                           "&#38;", "&#35;", "&#x26;", "&#x23;", "&#59;", "a", " "};
  int decoded = 0;
  for (int round = 0; round < 20000; ++round) {
    std::string input;
    const int parts = static_cast<int>(rng() % 16);
    for (int k = 0; k < parts; ++k) input += pieces[rng() % pieces.size()];
    const std::string expected = OrError([&] { return RestartingDecode(input, Cp1252()); });
    const std::string actual = OrError([&] { return Refs(input); });
    decoded += actual.rfind("error: ", 0) != 0;
    ASSERT_EQ(actual, expected) << "input: " << input;
  }
  EXPECT_GT(decoded, 5000);  // the mix must reach real decodes, not only errors
}

// Arbitrary bytes, with the markers' pieces mixed in so that the state machine gets deep,
// must never fault under the sanitizers, never hang and only ever throw the conversion error.
TEST(ExtractFuzz, ArbitraryBytesNeverFault) {
  std::mt19937 rng(20240601);
  const std::vector<std::string> pieces = {"<div", "id=result_box", ">", "</div>", "&#", "&#x", ";", "&amp;",
                                           "&quot;", "\r\n", "\r", "\n", " ", std::string(1, '\0'), "\xC3",
                                           "\xA9", "\xF0\x9F\x98\x80", "\xE2\x82\xAC", "39", "1F600", "x", "#"};
  const FakeDoubleByte dbcs;
  const Cp1252 cp1252;
  for (int round = 0; round < 3000; ++round) {
    std::string input;
    const int parts = static_cast<int>(rng() % 40);
    for (int k = 0; k < parts; ++k)
      input += rng() % 3 == 0 ? std::string(1, static_cast<char>(rng() & 0xFF)) : pieces[rng() % pieces.size()];
    for (const ICodePage* cp : {static_cast<const ICodePage*>(&cp1252), static_cast<const ICodePage*>(&dbcs)}) {
      const ExtractResult result = ExtractFromAnswer(input, *cp);
      if (result.status == ExtractStatus::kTranslated) {
        EXPECT_FALSE(result.text.empty());
      }
      if (result.status == ExtractStatus::kInvalidCharRef) {
        EXPECT_NE(result.text.find(kNotValid), std::string::npos);
      }
      try {
        EXPECT_LE(DecodeCharRefs(input, *cp).size(), input.size());
      } catch (const EConversionError&) {
      }
      EXPECT_LE(DecodeEntities(input).size(), input.size());
    }
  }
}

}  // namespace
}  // namespace parlix
