#include "ReplaceEngine.h"

#include "Exceptions.h"
#include "Reference.h"

#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

using namespace std::string_literals;

namespace {

constexpr std::size_t Roomy = 1 << 20;

struct TPairText {
    AnsiString search;
    AnsiString replacement;
};

// The rows of the window are applied from the last to the first.
AnsiString ApplyRows(AnsiString text, const std::vector<TPairText>& rows, std::size_t capacity)
{
    for (auto row = rows.rbegin(); row != rows.rend(); ++row)
        text = TReplacePair(row->search, row->replacement).Apply(std::move(text), capacity);
    return text;
}

// A copy of text whose buffer has `room` spare bytes: the engine works in a buffer's own spare
// room where it has some, and that path must give the same bytes.
AnsiString WithRoom(const AnsiString& text, std::size_t room)
{
    AnsiString copy;
    copy.reserve(text.size() + room);
    copy.assign(text);
    return copy;
}

// The message Apply ends with, or nullopt when it returns.
std::optional<std::string> ErrorOf(const std::vector<TPairText>& rows, const AnsiString& text,
                                   std::size_t capacity)
{
    try {
        ApplyRows(text, rows, capacity);
    } catch (const EInvalidOperation& e) {
        return e.Message();
    }
    return std::nullopt;
}

TEST(ReplaceEngineTest, WorkedExamples)
{
    struct Case {
        AnsiString search;
        AnsiString replacement;
        AnsiString text;
        AnsiString expected;
    };
    const std::vector<Case> cases = {
        // Search restarts from the first byte after each replacement.
        {"aa", "a", "aaaa", "a"},
        {"ab", "a", "aabb", "aa"},
        {"ab", "b", "aab", "b"},
        {"abc", "b", "aabcc", "b"},
        {"ana", "a", "banana", "ba"},
        {"aba", "x", "ababa", "xba"},
        {"abc", "x", "abcABC", "xABC"},
        {"a b", "x", "a  b a b", "a  b x"},
        {"xyzw", "q", "xyz", "xyz"},
        {" ", "_", "a b  d", "a_b__d"},
        {"ab", "", "aabb", ""},
        {"ba", "ab", "bbbaaa", "aaabbb"},
        {"b", "\0"s, "abba", "a\0\0a"s},
        // Bytes only: a second byte of a two-byte character matches.
        {"A", "B", "\x83\x41", "\x83\x42"},
        {"AA", "B", "\x83\x41\x41", "\x83\x42"},
        // A replacement holding its search text: each given occurrence once.
        {"a", "aa", "aaa", "aaaaaa"},
        {"a", "ba", "aa", "baba"},
        {"ab", "abab", "abxab", "ababxabab"},
        {"aa", "aaa", "aaaaa", "aaaaaaa"},
        {"x", "x", "xxx", "xxx"},
        {"abc", "abc", "abcabc", "abcabc"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("'" + c.search + "' -> '" + c.replacement + "' on '" + c.text + "'");
        EXPECT_EQ(TReplacePair(c.search, c.replacement).Apply(c.text, Roomy), c.expected);
        EXPECT_EQ(ReplaceAll(c.text, c.search, c.replacement, Roomy), c.expected);
    }
}

TEST(ReplaceEngineTest, RowsApplyFromTheLastToTheFirst)
{
    struct Case {
        std::vector<TPairText> rows;
        AnsiString text;
        AnsiString expected;
    };
    const std::vector<Case> cases = {
        {{{"x", "y"}, {"y", "z"}}, "xy", "yz"},
        {{{"y", "z"}, {"x", "y"}}, "x", "z"},
        {{{"b", "c"}, {"ab", "b"}, {"a", "aa"}}, "ab", "c"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(ApplyRows(c.text, c.rows, Roomy), c.expected);
    }
}

TEST(ReplaceEngineTest, GrowthStopsAtTheCapacity)
{
    struct Case {
        const char* name;
        std::vector<TPairText> rows;
        AnsiString text;
        std::size_t capacity;
        std::optional<AnsiString> expected; // nullopt: the memo limit error
    };
    const std::vector<Case> cases = {
        {"grows forever", {{"ab", "bbaa"}}, "aab", 64, std::nullopt},
        {"grows forever, huge capacity", {{"ab", "bbaa"}}, "aab", 100000, std::nullopt},
        {"restart rule, met", {{"a", "bb"}}, "aaaa", 8, "bbbbbbbb"},
        {"restart rule, one byte over", {{"a", "bb"}}, "aaaa", 7, std::nullopt},
        {"once each, met", {{"a", "aa"}}, "aaa", 6, "aaaaaa"},
        {"once each, one byte over", {{"a", "aa"}}, "aaa", 5, std::nullopt},
        {"zero capacity", {{"a", "bb"}}, "a", 0, std::nullopt},
        {"growth near the size limit", {{"a", "bb"}}, "aa", std::size_t(-1), "bbbb"},
        {"longer than capacity, shrinking", {{"aa", "a"}}, "aaaa", 2, "a"},
        {"longer than capacity, no occurrence", {{"x", "yy"}}, "aaaa", 2, "aaaa"},
        {"longer than capacity, growing", {{"a", "bb"}}, "aaaa", 3, std::nullopt},
        {"a later row fails", {{"b", "cc"}, {"a", "b"}}, "aaa", 5, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::optional<std::string> error = ErrorOf(c.rows, c.text, c.capacity);
        if (c.expected) {
            EXPECT_EQ(error, std::nullopt);
            if (!error) {
                EXPECT_EQ(ApplyRows(c.text, c.rows, c.capacity), *c.expected);
            }
        } else {
            EXPECT_EQ(error, std::string(Messages::MemoTooLarge));
        }
    }
}

TEST(ReplaceEngineTest, EmptySearchTextIsRejected)
{
    EXPECT_THROW(TReplacePair("", "x"), std::invalid_argument);
}

TEST(ReplaceEngineTest, TextWithoutOccurrenceComesBackInItsOwnBuffer)
{
    struct Case {
        AnsiString search;
        AnsiString replacement;
    };
    const std::vector<Case> cases = {{"q", "r"}, {"qq", "r"}, {"<b>", "<B>"}, {"x", "xx"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.search);
        AnsiString text(1000, 'a');
        text[500] = '<';
        const char* buffer = text.data();
        const AnsiString result = TReplacePair(c.search, c.replacement).Apply(std::move(text), 64);
        EXPECT_EQ(result, AnsiString(1000, 'a').replace(500, 1, "<"));
        EXPECT_EQ(result.data(), buffer);
    }
}

// Occurrences and near misses at every offset of a longer text, so that blocks of 16 positions
// and the positions left over after them are all searched.
TEST(ReplaceEngineTest, OccurrencesAtEveryOffsetOfALongText)
{
    const std::vector<AnsiString> searches = {"<", "<b", "<b>", "<br>", "<td\0>"s, "<table>"};
    for (const AnsiString& search : searches) {
        const AnsiString nearMiss = search.substr(0, search.size() - 1) + "#";
        for (std::size_t length = 60; length <= 100; length += 40) {
            for (std::size_t offset = 0; offset + search.size() <= length; ++offset) {
                SCOPED_TRACE(search + " at " + std::to_string(offset) + " of " +
                             std::to_string(length));
                AnsiString text(length, '<');
                for (std::size_t i = 0; i + nearMiss.size() <= length; i += nearMiss.size())
                    text.replace(i, nearMiss.size(), nearMiss);
                text.replace(offset, search.size(), search);
                AnsiString expected = text;
                expected.replace(offset, search.size(), "@");
                ASSERT_EQ(ReplaceAll(text, search, "@", Roomy), expected);
            }
        }
    }
}

TEST(ReplaceEngineTest, AgreesWithTheLiteralRulesOnRandomCases)
{
    std::mt19937 random(1234567);
    auto below = [&](std::size_t bound) {
        return std::uniform_int_distribution<std::size_t>(0, bound - 1)(random);
    };
    auto word = [&](const std::string& alphabet, std::size_t length) {
        std::string out(length, ' ');
        for (char& c : out)
            c = alphabet[below(alphabet.size())];
        return out;
    };

    int texts = 0;
    int tooLarge = 0;
    int onceEachPairs = 0;
    for (int round = 0; round < 200000; ++round) {
        const std::string alphabet = below(2) == 0 ? "ab" : "abc";
        const AnsiString text = word(alphabet, below(41));
        std::vector<TPairText> rows(1 + below(5));
        for (TPairText& row : rows) {
            row.search = word(alphabet, 1 + below(4));
            row.replacement = word(alphabet, 1 + below(5));
            if (row.replacement.find(row.search) != AnsiString::npos)
                ++onceEachPairs;
        }
        const std::size_t capacity = text.size() + 200;

        AnsiString expected = text;
        TReferenceOutcome outcome = TReferenceOutcome::Text;
        for (auto row = rows.rbegin(); row != rows.rend() && outcome == TReferenceOutcome::Text;
             ++row)
            outcome = ReferenceReplace(expected, row->search, row->replacement, capacity);

        std::optional<AnsiString> actual;
        try {
            const std::size_t rooms[] = {0, 1 + below(8), 64 + below(64)};
            actual = ApplyRows(WithRoom(text, rooms[round % 3]), rows, capacity);
        } catch (const EInvalidOperation&) {
        }

        std::string trace = "text '" + text + "', rows";
        for (const TPairText& row : rows)
            trace += " '" + row.search + "'->'" + row.replacement + "'";
        ASSERT_NE(outcome, TReferenceOutcome::StepCap) << trace << ": no end without growing";
        if (outcome == TReferenceOutcome::TooLarge) {
            ++tooLarge;
            ASSERT_FALSE(actual) << trace << ": the engine returned '" << *actual << "'";
        } else {
            ++texts;
            ASSERT_TRUE(actual) << trace << ": the engine gave up, expected '" << expected << "'";
            ASSERT_EQ(*actual, expected) << trace;
        }
    }
    // The generator must reach both outcomes and both rules often, or the comparison is weak.
    EXPECT_GT(texts, 100000);
    EXPECT_GT(tooLarge, 5000);
    EXPECT_GT(onceEachPairs, 10000);
    std::printf("[          ] %d texts, %d over capacity, %d once-each pairs\n", texts, tooLarge,
                onceEachPairs);
}

} // namespace
