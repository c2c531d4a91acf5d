#pragma once

#include "AnsiString.h"

#include <cstddef>
#include <string_view>
#include <vector>

// One search text and its replacement, prepared once and then applied to any number of texts.
// Matching is by bytes: case counts, and two-byte characters are ignored, so a search
// text can match across a character boundary.
//
// Apply replaces until the text holds the search text no more, each time at its leftmost
// occurrence in the whole current text, so an occurrence that a replacement creates together
// with the bytes around it is replaced as well. Where the replacement holds the search text
// itself that would never end; such a pair instead replaces each occurrence of the given text
// once, left to right, without overlaps, never looking inside what it inserted (a pair whose
// texts are equal leaves every text as it is).
//
// Errors: the constructor throws std::invalid_argument for an empty search text. Apply throws
// EInvalidOperation(Messages::MemoTooLarge) as soon as a replacement would leave the text
// longer than capacity bytes; nothing is returned then. A text that is longer than capacity
// from the start is not an error by itself. Both can throw std::bad_alloc. Apply changes no
// state, so one pair can serve several threads at once.
class TReplacePair {
public:
    TReplacePair(AnsiString search, AnsiString replacement);

    const AnsiString& Search() const noexcept { return FSearch; }
    const AnsiString& Replacement() const noexcept { return FReplacement; }

    // The text with the replacements made. A text without any occurrence comes back in its own
    // buffer (move it in to keep it). Under the restart rule the replacements are made in that
    // buffer as well, as long as its capacity holds the growing text (reserve room to keep a
    // growing pair from allocating).
    AnsiString Apply(AnsiString text, std::size_t capacity) const;

private:
    AnsiString ApplyUntilGone(AnsiString text, std::size_t capacity) const;
    AnsiString ApplyOnceEach(AnsiString text, std::size_t capacity) const;

    // Leftmost occurrence starting at or after from in bytes[0, size), or npos.
    std::size_t Find(const char* bytes, std::size_t from, std::size_t size) const noexcept;

    // Matcher state: how many bytes of the search text the written text ends with, at most.
    std::size_t Step(std::size_t state, char byte) const noexcept;
    std::size_t StateAfter(const char* bytes, std::size_t count) const noexcept;

    AnsiString FSearch;
    AnsiString FReplacement;
    // For each prefix length q of the search text, FBorder[q - 1] is the length of its longest
    // proper prefix that is also a suffix.
    std::vector<std::size_t> FBorder;
    bool FReplacementHoldsSearch = false;
};

// TReplacePair(search, replacement).Apply(text, capacity), for a pair used once.
AnsiString ReplaceAll(AnsiString text, std::string_view search, std::string_view replacement,
                      std::size_t capacity);
