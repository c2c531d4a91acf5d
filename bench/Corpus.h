#pragma once

// The benchmark corpus: old HTML pages in Shift-JIS (CP932) with LF line breaks, made from a
// seed so that every run and every benchmark sees the same bytes.

#include "AnsiString.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

// One row of the window as a user types it (UTF-8), and the same row in CP932 bytes.
struct TBenchPair {
    std::string SearchUtf8;
    std::string ReplacementUtf8;
    AnsiString Search;
    AnsiString Replacement;
};

inline constexpr int BenchPairCount = 5;
using TBenchPairs = std::array<TBenchPair, BenchPairCount>;

inline constexpr int CorpusPages = 500;
inline constexpr std::uint64_t CorpusSeed = 20030401;

// The five rows, in row order (row 1 first). Raises std::runtime_error when the system's iconv
// cannot convert to CP932.
const TBenchPairs& BenchPairs();

// The file name of page `index` (0-based): "p0000.htm" on.
std::string PageName(int index);

// Page `index` of the corpus: about 100 KB (90 to 110 KB), HTML-like lines of Japanese and ASCII
// words, LF line breaks, and two to four occurrences of each search text. The same index and
// seed always give the same bytes. Raises std::runtime_error as BenchPairs does.
AnsiString MakePage(int index, std::uint64_t seed = CorpusSeed);
