#include "CodePage.h"

#include <gtest/gtest.h>

namespace {

std::vector<int> Members(const TLeadByteSet& set)
{
    std::vector<int> out;
    for (int b = 0; b < 256; ++b)
        if (set[b])
            out.push_back(b);
    return out;
}

std::vector<int> Range(int low, int high)
{
    std::vector<int> out;
    for (int b = low; b <= high; ++b)
        out.push_back(b);
    return out;
}

std::vector<int> Join(std::vector<int> a, const std::vector<int>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

} // namespace

TEST(LeadByteSet, FollowsTheRangeRule)
{
    struct Case {
        const char* What;
        TLeadByteRanges Ranges;
        std::vector<int> Expected;
    };
    const Case cases[] = {
        {"code page 932", {0x81, 0x9F, 0xE0, 0xFC}, Join(Range(0x81, 0x9F), Range(0xE0, 0xFC))},
        {"high below low adds nothing", {0x90, 0x80, 0xE0, 0xE1}, {0xE0, 0xE1}},
        {"a single value", {0xA0, 0xA0}, {0xA0}},
        {"the first zero pair ends the list", {0x81, 0x82, 0, 0, 0xE0, 0xE1}, {0x81, 0x82}},
        {"a zero low alone does not end it", {0, 0x02, 0xF0, 0xF0}, {0, 1, 2, 0xF0}},
        {"all six pairs", {1, 1, 3, 3, 5, 5, 7, 7, 9, 9, 11, 11}, {1, 3, 5, 7, 9, 11}},
        {"no pairs", {}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        EXPECT_EQ(Members(MakeLeadByteSet(c.Ranges)), c.Expected);
    }
}

TEST(CodePage, FromCodesetNames)
{
    struct Case {
        const char* Codeset;
        int Number;
        bool DoubleByte;
        std::size_t LeadBytes;
    };
    const Case cases[] = {
        {"SHIFT_JIS", 932, true, 31 + 29}, {"sjis", 932, true, 60},
        {"WINDOWS-31J", 932, true, 60},    {"CP932", 932, true, 60},
        {"MS_KANJI", 932, true, 60},       {"GBK", 936, true, 126},
        {"EUC-KR", 949, true, 126},        {"BIG5-HKSCS", 950, true, 126},
        {"UTF-8", 65001, false, 0},        {"ANSI_X3.4-1968", 65001, false, 0},
        {"ISO-8859-1", 0, false, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Codeset);
        const TCodePage cp = TCodePage::FromCodeset(c.Codeset);
        EXPECT_EQ(cp.Number(), c.Number);
        EXPECT_EQ(cp.DoubleByte(), c.DoubleByte);
        EXPECT_EQ(Members(cp.LeadByteSet()).size(), c.LeadBytes);
    }
}

TEST(CodePage, ConvertsJapaneseToCp932AndBack)
{
    const TCodePage cp = TCodePage::FromCodeset("SHIFT_JIS");
    const auto bytes = cp.FromUtf8("日本語のテキスト abc");
    ASSERT_TRUE(bytes.has_value());
    EXPECT_EQ(*bytes, "\x93\xFA\x96\x7B\x8C\xEA\x82\xCC\x83\x65\x83\x4C\x83\x58\x83\x67 abc");
    EXPECT_EQ(cp.ToDisplay(*bytes), "日本語のテキスト abc");
}

TEST(CodePage, RefusesWhatCp932CannotHold)
{
    const TCodePage cp = TCodePage::FromCodeset("CP932");
    for (const char* text : {"😀", "abc한", "é", "x\xE2\x82\xAC"}) {
        SCOPED_TRACE(text);
        EXPECT_FALSE(cp.FromUtf8(text).has_value());
    }
}

TEST(CodePage, DisplayNeverFails)
{
    const TCodePage sjis = TCodePage::FromCodeset("CP932");
    const TCodePage utf8 = TCodePage::FromCodeset("UTF-8");
    const TCodePage latin1 = TCodePage::FromCodeset("ISO-8859-1");
    const TCodePage big5 = TCodePage::FromCodeset("BIG5");
    struct Case {
        const TCodePage& Page;
        std::string Bytes;
        std::string Shown;
    };
    const Case cases[] = {
        {sjis, "a\x82", "a\xEF\xBF\xBD"}, // a lead byte cut off at the end
        {sjis,
         "\xFF"
         "b",
         "\xEF\xBF\xBD"
         "b"}, // a byte that begins nothing
        {sjis, "a\nb\x1B",
         "a\xE2\x90\x8A"
         "b\xE2\x90\x9B"}, // controls become their pictures
        {utf8, "\xC3(\x80", "\xEF\xBF\xBD(\xEF\xBF\xBD"},
        {utf8, std::string("a\0b", 3),
         "a\xE2\x90\x80"
         "b"},
        // Found by fuzzing: what has no picture but would still break the line, start a
        // terminal sequence or turn the writing direction shows as U+FFFD.
        {utf8, "a\xC2\x85z", "a\xEF\xBF\xBDz"},                           // NEL
        {utf8, "a\xE2\x80\xA8z", "a\xEF\xBF\xBDz"},                       // line separator
        {utf8, "a\xE2\x80\xAEmth.exe", "a\xEF\xBF\xBDmth.exe"},           // right-to-left
        {utf8, "\xE2\x81\xA6x\xE2\x81\xA9", "\xEF\xBF\xBDx\xEF\xBF\xBD"}, // isolates
        {latin1, "\x85\x9B\xE9", "\xEF\xBF\xBD\xEF\xBF\xBD\xC3\xA9"},
        {big5, "\x80\xA4\x40", "\xEF\xBF\xBD\xE4\xB8\x80"},
        // Beyond U+10FFFF: glibc's decoder lets it through, the display does not.
        {utf8, "\xF6\xB0\xB0\xB0h", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBDh"},
        // Characters near those ranges stay as they are.
        {utf8, "\xC2\xA0\xE2\x80\xA7\xE2\x80\xAF", "\xC2\xA0\xE2\x80\xA7\xE2\x80\xAF"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Bytes);
        EXPECT_EQ(c.Page.ToDisplay(c.Bytes), c.Shown);
    }
}

TEST(CodePage, FileMessagesNameTheFileDecoded)
{
    SetSystemCodePage(TCodePage::FromCodeset("CP932"));
    EXPECT_EQ(FormatFileMessage("ﾌｧｲﾙ %s は開けません", "\x93\xFA.htm"),
              "ﾌｧｲﾙ 日.htm は開けません");
    SetSystemCodePage(TCodePage::FromCodeset("UTF-8"));
    EXPECT_EQ(FormatFileMessage("ﾌｧｲﾙ %s は開けません", "a%sb.htm"), "ﾌｧｲﾙ a%sb.htm は開けません");
}
