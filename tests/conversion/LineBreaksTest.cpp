#include "LineBreaks.h"

#include "CodePage.h"
#include "Reference.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <utility>
#include <vector>

using namespace std::string_literals;

namespace {

TLeadByteSet Cp932Leads()
{
    return MakeLeadByteSet({0x81, 0x9F, 0xE0, 0xFC});
}

// A set that holds CR, LF and the zero byte besides ordinary lead bytes: the break bytes must
// still be taken as breaks, the zero byte as a lead byte.
TLeadByteSet OddLeads()
{
    TLeadByteSet set = Cp932Leads();
    set[0x0D] = true;
    set[0x0A] = true;
    set[0x00] = true;
    set['a'] = true;
    return set;
}

std::string Hex(const std::string& bytes)
{
    std::string out;
    char piece[4];
    for (unsigned char c : bytes) {
        std::snprintf(piece, sizeof piece, "%02X ", c);
        out += piece;
    }
    return out;
}

TEST(LineBreaksTest, EdgeCasesWithAndWithoutLeadBytes)
{
    struct Case {
        AnsiString text;
        AnsiString withCp932;
        AnsiString withoutLeads;
    };
    const std::vector<Case> cases = {
        {"", "", ""},
        {"abc", "abc", "abc"},
        {"a\rb", "a\r\nb", "a\r\nb"},
        {"a\nb", "a\r\nb", "a\r\nb"},
        {"a\r\nb", "a\r\nb", "a\r\nb"},
        {"a\n\rb", "a\r\n\r\nb", "a\r\n\r\nb"},
        {"a\r\r\nb", "a\r\n\r\nb", "a\r\n\r\nb"},
        {"\r", "\r\n", "\r\n"},
        {"\n", "\r\n", "\r\n"},
        {"\r\r", "\r\n\r\n", "\r\n\r\n"},
        {"\n\n", "\r\n\r\n", "\r\n\r\n"},
        {"\r\n\n", "\r\n\r\n", "\r\n\r\n"},
        // A break right after a lead byte is that character's second byte.
        {"\x82\r", "\x82\r", "\x82\r\n"},
        {"\x82\n\n", "\x82\n\r\n", "\x82\r\n\r\n"},
        {"\x82\r\n", "\x82\r\r\n", "\x82\r\n"},
        // Runs of lead bytes pair up from their start.
        {"\x82\x82\n", "\x82\x82\r\n", "\x82\x82\r\n"},
        {"\x82\x82\x82\n", "\x82\x82\x82\n", "\x82\x82\x82\r\n"},
        {"\x82\xE0\x82\r", "\x82\xE0\x82\r", "\x82\xE0\x82\r\n"},
        {"A\x82\rB", "A\x82\rB", "A\x82\r\nB"},
        // A second byte outside the lead set ends the character.
        {"\x82\x41\r", "\x82\x41\r\n", "\x82\x41\r\n"},
        // A lead byte at the end stands alone.
        {"a\x82", "a\x82", "a\x82"},
        {"\n\x82", "\r\n\x82", "\r\n\x82"},
        // Zero bytes are kept, also as second bytes.
        {"a\0\n\0"s, "a\0\r\n\0"s, "a\0\r\n\0"s},
        {"\x82\0\r"s, "\x82\0\r\n"s, "\x82\0\r\n"s},
        {"\x82\0\x82\n\0"s, "\x82\0\x82\n\0"s, "\x82\0\x82\r\n\0"s},
    };
    const TLeadByteSet cp932 = Cp932Leads();
    const TLeadByteSet none{};
    for (const Case& c : cases) {
        SCOPED_TRACE(Hex(c.text));
        EXPECT_EQ(NormaliseLineBreaks(c.text, cp932), c.withCp932);
        EXPECT_EQ(NormaliseLineBreaks(c.text, none), c.withoutLeads);
    }
}

TEST(LineBreaksTest, BreakBytesInTheLeadSetAreStillBreaks)
{
    const TLeadByteSet odd = OddLeads();
    EXPECT_EQ(NormaliseLineBreaks("\r\r\n\n", odd), "\r\n\r\n\r\n");
    EXPECT_EQ(NormaliseLineBreaks("\0\n\n"s, odd), "\0\n\r\n"s);
    EXPECT_EQ(NormaliseLineBreaks("a\rb\r", odd), "a\rb\r\n");
}

TEST(LineBreaksTest, ShortRandomTextsMatchTheByteWalk)
{
    const std::string alphabet = "\r\n\0a\x41\x82\x9F\xE0\xFC\xA0"s;
    const std::vector<std::pair<const char*, TLeadByteSet>> sets = {
        {"cp932", Cp932Leads()}, {"none", TLeadByteSet{}}, {"odd", OddLeads()}};
    std::mt19937 random(20240611);
    std::uniform_int_distribution<std::size_t> lengthOf(0, 40);
    std::uniform_int_distribution<std::size_t> byteOf(0, alphabet.size() - 1);
    for (const auto& [name, leads] : sets) {
        SCOPED_TRACE(name);
        for (int round = 0; round < 20000; ++round) {
            std::string text(lengthOf(random), ' ');
            for (char& c : text)
                c = alphabet[byteOf(random)];
            const AnsiString expected = ReferenceLineBreaks(text, leads);
            // Every third text has spare room in its buffer, where the result is made in place.
            AnsiString input;
            input.reserve(text.size() + (round % 3 == 0 ? 0 : round % 3 == 1 ? 3 : 64));
            input.assign(text);
            const AnsiString actual = NormaliseLineBreaks(std::move(input), leads);
            if (actual != expected) {
                ADD_FAILURE() << "text " << Hex(text) << "\nexpected " << Hex(expected)
                              << "\nactual   " << Hex(actual);
                return;
            }
        }
    }
}

// Breaks and lead bytes around the 16-byte blocks, after short and after long runs of lead
// bytes, so a run's parity has to be counted across blocks.
TEST(LineBreaksTest, LongTextsAroundBlockBoundariesMatchTheByteWalk)
{
    const std::vector<std::string> snippets = {"\r",     "\n",     "\r\n",     "\n\r",
                                               "\x82\r", "\x82\n", "\x82\r\n", "\xE0\xE0\n"};
    const std::vector<char> fillers = {'x', '\xE0', '\x41'};
    const std::vector<std::pair<const char*, TLeadByteSet>> sets = {{"cp932", Cp932Leads()},
                                                                    {"none", TLeadByteSet{}}};
    for (const auto& [name, leads] : sets) {
        for (char filler : fillers) {
            for (const std::string& snippet : snippets) {
                for (std::size_t offset = 0; offset <= 70; ++offset) {
                    std::string text(80, filler);
                    text.replace(offset, snippet.size(), snippet);
                    text[offset + 40 > 79 ? 79 : offset + 40] = '\n';
                    SCOPED_TRACE(std::string(name) + " " + Hex(text));
                    ASSERT_EQ(NormaliseLineBreaks(text, leads), ReferenceLineBreaks(text, leads));
                }
            }
        }
    }

    std::mt19937 random(7);
    const std::string pageBytes = "<p>ab \x82\xA0\x82\xE0\x93\xFA\x96\x7B\n\r"s;
    std::uniform_int_distribution<std::size_t> byteOf(0, pageBytes.size() - 1);
    for (int round = 0; round < 20; ++round) {
        std::string text(5000 + round, ' ');
        for (char& c : text)
            c = pageBytes[byteOf(random)];
        for (const auto& [name, leads] : sets) {
            SCOPED_TRACE(name);
            ASSERT_EQ(NormaliseLineBreaks(text, leads), ReferenceLineBreaks(text, leads));
        }
    }
}

TEST(LineBreaksTest, UnchangedTextComesBackInItsOwnBuffer)
{
    struct Case {
        const char* name;
        AnsiString text;
    };
    std::vector<Case> cases = {
        {"no breaks", std::string(1000, 'a')},
        {"CR LF only",
         []() {
             std::string t;
             for (int i = 0; i < 100; ++i)
                 t += "<td>\x93\xFA\x96\x7B</td>\r\n";
             return t;
         }()},
        {"breaks as second bytes", std::string(100, 'a') + "\x82\r\x82\n" + std::string(100, 'b')},
    };
    const TLeadByteSet cp932 = Cp932Leads();
    for (Case& c : cases) {
        SCOPED_TRACE(c.name);
        const AnsiString copy = c.text;
        const char* buffer = c.text.data();
        const AnsiString result = NormaliseLineBreaks(std::move(c.text), cp932);
        EXPECT_EQ(result, copy);
        EXPECT_EQ(result.data(), buffer);
    }
}

} // namespace
