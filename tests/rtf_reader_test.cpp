// The RTF reader behind the Preview window, and its code page tables.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "preview/code_pages.h"
#include "preview/rtf_reader.h"

namespace salvorine {
namespace {

// Paragraph texts joined by '|'.
std::string PlainText(const RichDocument& document) {
  std::string out;
  for (std::size_t i = 0; i < document.paragraphs.size(); ++i) {
    if (i > 0) out += '|';
    for (const TextRun& run : document.paragraphs[i].runs) out += run.text;
  }
  return out;
}

// "text:BIU" with the flags that are on, then ",size" when not 12 pt.
std::vector<std::string> RunsWithFlags(const RichDocument& document) {
  std::vector<std::string> out;
  for (const Paragraph& paragraph : document.paragraphs) {
    for (const TextRun& run : paragraph.runs) {
      std::string s = run.text + ':';
      if (run.style.bold) s += 'B';
      if (run.style.italic) s += 'I';
      if (run.style.underline) s += 'U';
      if (run.style.half_points != 24) s += ',' + std::to_string(run.style.half_points);
      out.push_back(s);
    }
  }
  return out;
}

bool IsValidUtf8(std::string_view s) {
  for (std::size_t i = 0; i < s.size();) {
    const auto lead = static_cast<unsigned char>(s[i]);
    const std::size_t length = lead < 0x80 ? 1 : lead >= 0xF0 && lead <= 0xF4 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 && lead < 0xE0 ? 2 : 0;
    if (length == 0 || i + length > s.size()) return false;
    for (std::size_t k = 1; k < length; ++k) {
      if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
    }
    i += length;
  }
  return true;
}

struct TextCase {
  const char* name;
  std::string body;  // goes inside "{\rtf1 ...}"
  std::string expected;
};

class RtfTextTest : public testing::TestWithParam<TextCase> {};

TEST_P(RtfTextTest, ReadsTheVisibleText) {
  EXPECT_EQ(PlainText(ReadRtf("{\\rtf1" + GetParam().body + "}")), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RtfTextTest,
    testing::Values(
        TextCase{"CyrillicEscapes", "\\ansi\\ansicpg1251 \\'cf\\'f0\\'e8\\'e2\\'e5\\'f2", "Привет"},
        TextCase{"CyrillicRawBytes", "\\ansicpg1251 \xcf\xf0\xe8", "При"},
        TextCase{"WesternAccents", "\\ansi caf\\'e9 \\'e0 cr\\'e8me \\'80", "café à crème €"},
        TextCase{"FontCharsetBeatsDocumentCodePage",
                 "\\ansi\\ansicpg1252{\\fonttbl{\\f1\\fcharset204 Arial;}}{\\f1 \\'cf}\\'cf", "ПÏ"},
        TextCase{"UnicodeSkipsOneFallback", "\\u1055?\\u1088?!", "Пр!"},
        TextCase{"UnicodeWithoutFallback", "\\uc0\\u1055\\u1088 x", "Прx"},
        TextCase{"FallbackCountsEscapesAsOne", "\\uc2\\u1055\\'cf\\'cf!", "П!"},
        TextCase{"FallbackEndsAtABrace", "\\uc3\\u1055{x}y", "Пxy"},
        TextCase{"FallbackEndsAtGroupEnd", "{\\uc2\\u1055}ab", "Пab"},
        TextCase{"NegativeUnicode", "\\u-255?", "！"},
        TextCase{"SurrogatePair", "\\u-10179?\\u-8704?", "😀"},
        TextCase{"LoneHighSurrogate", "\\u-10179?a", "\uFFFDa"},
        TextCase{"ControlSymbols", "a\\\\b\\{c\\}d\\~e\\-f\\_g", "a\\b{c}d\u00A0ef\u2011g"},
        TextCase{"NamedCharacters", "\\emdash\\bullet\\ldblquote x\\rdblquote", "—•“x”"},
        TextCase{"ParagraphsAndBreaks", "a\\par\\pard b\\par\\par c\\line d\\tab e\\par", "a|b||c\nd\te"},
        TextCase{"TableCells", "x\\cell y\\cell\\row z", "x\ty|z"},
        TextCase{"HiddenText", "a{\\v hidden}b", "ab"},
        TextCase{"IgnorableDestination", "a{\\*\\generator Writer 1.0;}b", "ab"},
        TextCase{"Picture", "a{\\pict\\pngblip 89504e470d0a{\\*\\blipuid 00ff}}b", "ab"},
        TextCase{"Object", "a{\\object\\objemb{\\*\\objclass Word}{\\objdata 0105}{\\result r}}b", "ab"},
        TextCase{"InfoStylesheetHeader", "{\\info{\\title T}}{\\stylesheet{\\s1 H;}}{\\header h\\par}a", "a"},
        TextCase{"FieldShowsItsResult", "{\\field{\\*\\fldinst HYPERLINK \"x\"}{\\fldrslt link}}", "link"},
        TextCase{"BinaryWithBraces", "a{\\pict\\bin4 }}{x}b", "ab"},
        TextCase{"BinaryInText", "a\\bin3 xyzb", "ab"},
        TextCase{"BrokenEscape", "a\\'zzb\\'4", "azzb"},
        TextCase{"TextAfterTheDocumentIgnored", "a}tail{\\b", "a"}),
    [](const testing::TestParamInfo<TextCase>& case_info) { return std::string(case_info.param.name); });

TEST(RtfReaderTest, GroupsRestoreCharacterFormatting) {
  const RichDocument document =
      ReadRtf("{\\rtf1 a{\\b b{\\i c\\ul d\\ulnone e\\ul0 f}g\\b0 h}i\\fs20 j\\b k\\plain l\\fs99999999 m}");
  EXPECT_EQ(RunsWithFlags(document),
            (std::vector<std::string>{"a:", "b:B", "c:BI", "d:BIU", "ef:BI", "g:B", "hi:", "j:,20", "k:B,20", "l:", "m:,3276"}));
}

TEST(RtfReaderTest, FontAndColourTablesNameEachRun) {
  const RichDocument document = ReadRtf(
      "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\froman\\fcharset0 Times New Roman;}"
      "{\\f1\\fswiss\\fcharset204{\\*\\panose 020b0604020202020204}Arial;}}"
      "{\\colortbl;\\red255\\green0\\blue0;\\red0\\green128\\blue255;;}"
      "a{\\f1\\cf2 b}\\cf1 c\\cf0 d\\cf3 e\\cf9 f}");
  ASSERT_EQ(document.paragraphs.size(), 1u);
  const std::vector<TextRun>& runs = document.paragraphs[0].runs;
  ASSERT_EQ(runs.size(), 4u);
  EXPECT_EQ(runs[0].text, "a");
  EXPECT_EQ(runs[0].style.font, "Times New Roman");
  EXPECT_FALSE(runs[0].style.has_color);
  EXPECT_EQ(runs[1].style.font, "Arial");
  EXPECT_TRUE(runs[1].style.has_color);
  EXPECT_EQ(runs[1].style.color, 0x0080FFu);
  EXPECT_EQ(runs[2].style.color, 0xFF0000u);
  EXPECT_EQ(runs[3].text, "def");  // \cf0, an empty entry and an index past the table are automatic
  EXPECT_FALSE(runs[3].style.has_color);

  const RichDocument flat = ReadRtf("{\\rtf1{\\fonttbl\\f0\\fnil Courier New;\\f3\\fnil Arial}\\f3 x}");
  ASSERT_EQ(flat.paragraphs.size(), 1u);
  EXPECT_EQ(flat.paragraphs[0].runs[0].style.font, "Arial");
}

TEST(RtfReaderTest, TruncatedDocumentKeepsWhatCameBeforeTheCut) {
  EXPECT_EQ(PlainText(ReadRtf("{\\rtf1\\ansicpg1251{\\b one}\\par two \\u1088?\\'cf\\'c")), "one|two рП");

  // Every cut gives a prefix of the whole text.
  const std::string document = "{\\rtf1\\ansicpg1251{\\fonttbl{\\f0 Arial;}}{\\b one}\\par two \\'cf{\\*\\x y}z}";
  for (std::size_t cut = 0; cut <= document.size(); ++cut) {
    const std::string text = PlainText(ReadRtf(std::string_view(document).substr(0, cut)));
    EXPECT_TRUE(std::string("one|two Пz").starts_with(text)) << "cut at " << cut << ": " << text;
  }
}

TEST(RtfReaderTest, SkipsZeroedBlocks) {
  const std::string zeros(4096, '\0');
  EXPECT_EQ(PlainText(ReadRtf("{\\rtf1\\ansi Hello " + zeros + "world\\par}")), "Hello world");
  // A zeroed block inside a control word ends the word where the zeros start.
  EXPECT_EQ(RunsWithFlags(ReadRtf("{\\rtf1 \\b" + zeros + "0 x}")), (std::vector<std::string>{"0 x:B"}));
}

TEST(RtfReaderTest, GroupsBeyondTheDepthCapAreSkippedWithoutLeakingState) {
  const std::string deep(100000, '{');
  const std::string undeep(100000, '}');
  const RichDocument document = ReadRtf("{\\rtf1 before" + deep + "\\b x" + undeep + " after}");
  EXPECT_EQ(RunsWithFlags(document), (std::vector<std::string>{"before after:"}));

  const RichDocument unclosed = ReadRtf("{\\rtf1 a" + deep);
  EXPECT_EQ(PlainText(unclosed), "a");

  // The document group and 511 more reach the cap; formatting inside a group
  // past it must not reach the text after that group.
  const std::string at_cap = std::string(511, '{') + "y{\\b z}{\\*\\x q}w" + std::string(511, '}');
  EXPECT_EQ(RunsWithFlags(ReadRtf("{\\rtf1 " + at_cap + "}")), (std::vector<std::string>{"yw:"}));
}

TEST(RtfReaderTest, GarbageAlwaysGivesValidUtf8) {
  const std::string pieces[] = {"{", "}", "\\", "\\'", "\\u", "-", "9", "\\uc2", "\\bin2 ", "\\b", "\\*",
                                "\\fonttbl", "\\f1", "\\fcharset204", ";", "x", "\xcf", "\xff", std::string(1, '\0')};
  std::mt19937 random(7);
  for (int round = 0; round < 2000; ++round) {
    std::string input = "{\\rtf1\\ansicpg1251 ";
    for (int i = 0; i < 60; ++i) input += pieces[random() % std::size(pieces)];
    for (const Paragraph& paragraph : ReadRtf(input).paragraphs) {
      for (const TextRun& run : paragraph.runs) {
        ASSERT_TRUE(IsValidUtf8(run.text)) << input;
        ASSERT_TRUE(IsValidUtf8(run.style.font)) << input;
        ASSERT_FALSE(run.text.empty()) << input;
      }
    }
  }
}

TEST(RtfReaderTest, LooksLikeRtf) {
  EXPECT_TRUE(LooksLikeRtf("{\\rtf1\\ansi}"));
  EXPECT_TRUE(LooksLikeRtf("{\\rtf"));
  EXPECT_FALSE(LooksLikeRtf("{\\rt"));
  EXPECT_FALSE(LooksLikeRtf(" {\\rtf1"));
  EXPECT_FALSE(LooksLikeRtf("{\\RTF1"));
  EXPECT_FALSE(LooksLikeRtf(""));
}

TEST(CodePagesTest, DecodesHighBytes) {
  struct Case {
    int code_page;
    std::string bytes;
    std::string expected;
  };
  const Case cases[] = {
      {1251, "\xc0\xff\xa8\xb8\x88", "АяЁё€"},
      {1252, "\x80\x8e\x9f\xe9", "€ŽŸé"},
      {1250, "\x8a\xb9\xe8\xf8", "Šąčř"},
      {1253, "\xc1\xf9", "Αω"},
      {1252, "A\x81", "A\uFFFD"},  // undefined in the code page
      {932, "A\x82", "A\uFFFD"},   // a code page we do not carry
  };
  for (const Case& c : cases) EXPECT_EQ(DecodeCodePage(c.code_page, c.bytes), c.expected) << c.code_page;
}

TEST(CodePagesTest, CharsetsNameCodePages) {
  EXPECT_EQ(CodePageOfCharset(0), 1252);
  EXPECT_EQ(CodePageOfCharset(204), 1251);
  EXPECT_EQ(CodePageOfCharset(238), 1250);
  EXPECT_EQ(CodePageOfCharset(161), 1253);
  EXPECT_EQ(CodePageOfCharset(1), 0);  // default: follows the document
  EXPECT_EQ(CodePageOfCharset(2), 0);  // symbol
}

}  // namespace
}  // namespace salvorine
