// The replace-all engine against the rules done literally, on the small texts where the literal
// way is quick: up to five rows, applied last first, each with its own search text and
// replacement, and a capacity just above the text so that growing pairs meet it.
//
// Input: a byte for the alphabet (a few letters, so that occurrences overlap and replacements
// make new ones; or bytes as they come), a byte of room above the text, a byte for the number of
// rows; per row a length byte for the search text and one for the replacement, then their bytes;
// the rest is the text.

#include "Exceptions.h"
#include "FuzzCheck.h"
#include "Reference.h"
#include "ReplaceEngine.h"

#include <cstdint>
#include <cstdio>
#include <optional>
#include <vector>

namespace {

class TReader {
public:
    TReader(const std::uint8_t* data, std::size_t size) : FData(data), FSize(size) {}
    std::uint8_t Byte() { return FAt < FSize ? FData[FAt++] : 0; }
    AnsiString Text(std::size_t count, const std::string& alphabet)
    {
        AnsiString out;
        while (out.size() < count && FAt < FSize) {
            const std::uint8_t b = FData[FAt++];
            out += alphabet.empty() ? static_cast<char>(b) : alphabet[b % alphabet.size()];
        }
        return out;
    }
    std::size_t Left() const { return FSize - FAt; }

private:
    const std::uint8_t* FData;
    std::size_t FSize;
    std::size_t FAt = 0;
};

struct TRow {
    AnsiString Search;
    AnsiString Replacement;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace std::string_literals;
    static const std::string alphabets[] = {"ab", "abc", "ab\0"s, "a\xFF\r", ""};
    TReader in(data, size);
    const std::string& alphabet = alphabets[in.Byte() % 5];
    const std::size_t room = in.Byte();
    std::vector<TRow> rows(1 + in.Byte() % 5);
    for (TRow& row : rows) {
        const std::size_t searchSize = 1 + in.Byte() % 4;
        const std::size_t replacementSize = in.Byte() % 6;
        row.Search = in.Text(searchSize, alphabet);
        row.Replacement = in.Text(replacementSize, alphabet);
        if (row.Search.empty())
            return 0;
    }
    const AnsiString text = in.Text(48, alphabet);
    const std::size_t capacity = text.size() + room;

    AnsiString expected = text;
    TReferenceOutcome outcome = TReferenceOutcome::Text;
    for (auto row = rows.rbegin(); row != rows.rend() && outcome == TReferenceOutcome::Text; ++row)
        outcome = ReferenceReplace(expected, row->Search, row->Replacement, capacity);

    std::optional<AnsiString> actual;
    AnsiString work = text;
    try {
        for (auto row = rows.rbegin(); row != rows.rend(); ++row)
            work = TReplacePair(row->Search, row->Replacement).Apply(std::move(work), capacity);
        actual = work;
    } catch (const EInvalidOperation& error) {
        FuzzCheck(error.Message() == Messages::MemoTooLarge, "the one error is the memo limit");
    }

    if (outcome == TReferenceOutcome::StepCap) {
        // Too many steps for the literal way to finish here; the engine's own text must still
        // be free of the last row's search text when that row follows the restart rule.
        const TRow& last = rows.front();
        if (actual && last.Replacement.find(last.Search) == AnsiString::npos)
            FuzzCheck(actual->find(last.Search) == AnsiString::npos, "no occurrence left");
        return 0;
    }
    if (outcome == TReferenceOutcome::TooLarge) {
        FuzzCheck(!actual, "past the capacity is an error");
        return 0;
    }
    if (!actual || *actual != expected) {
        std::fprintf(stderr, "text '%s' capacity %zu\n", FuzzHex(text).c_str(), capacity);
        for (const TRow& row : rows)
            std::fprintf(stderr, "row '%s' -> '%s'\n", FuzzHex(row.Search).c_str(),
                         FuzzHex(row.Replacement).c_str());
        std::fprintf(stderr, "expected '%s'\nactual   '%s'\n", FuzzHex(expected).c_str(),
                     actual ? FuzzHex(*actual).c_str() : "(memo limit)");
    }
    FuzzCheck(actual.has_value(), "within the capacity the engine gives a text");
    FuzzCheck(*actual == expected, "the engine's text is the literal rules'");
    return 0;
}
