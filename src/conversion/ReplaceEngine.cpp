#include "ReplaceEngine.h"

#include "Exceptions.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <utility>
#if defined(__SSE2__)
#include <emmintrin.h>
#else
#include <string.h> // memmem
#endif

namespace {

constexpr std::size_t NotFound = AnsiString::npos;

[[noreturn]] void ThrowTooLarge()
{
    throw EInvalidOperation(Messages::MemoTooLarge);
}

} // namespace

TReplacePair::TReplacePair(AnsiString search, AnsiString replacement)
    : FSearch(std::move(search)), FReplacement(std::move(replacement))
{
    if (FSearch.empty())
        throw std::invalid_argument("TReplacePair: empty search text");

    const std::size_t m = FSearch.size();
    FBorder.assign(m, 0);
    std::size_t border = 0;
    for (std::size_t q = 1; q < m; ++q) {
        while (border > 0 && FSearch[q] != FSearch[border])
            border = FBorder[border - 1];
        if (FSearch[q] == FSearch[border])
            ++border;
        FBorder[q] = border;
    }
    FReplacementHoldsSearch = FReplacement.find(FSearch) != AnsiString::npos;
}

AnsiString TReplacePair::Apply(AnsiString text, std::size_t capacity) const
{
    if (FReplacementHoldsSearch)
        return ApplyOnceEach(std::move(text), capacity);
    return ApplyUntilGone(std::move(text), capacity);
}

std::size_t TReplacePair::Find(const char* bytes, std::size_t from, std::size_t size) const noexcept
{
    const std::size_t m = FSearch.size();
    if (m > size || from > size - m)
        return NotFound;
    if (m == 1) {
        const void* hit = std::memchr(bytes + from, FSearch[0], size - from);
        return hit ? static_cast<std::size_t>(static_cast<const char*>(hit) - bytes) : NotFound;
    }
#if defined(__SSE2__)
    // Positions whose first and last bytes both fit are compared in full; in a page these are
    // rare even when the first byte alone is common, such as '<'.
    const char first = FSearch[0];
    const char last = FSearch[m - 1];
    const char* middle = FSearch.data() + 1;
    const std::size_t middleSize = m - 2;
    // A call to memcmp costs more than the few bytes of a typical search text.
    auto middleMatches = [&](const char* candidate) {
        if (middleSize > 16)
            return std::memcmp(candidate, middle, middleSize) == 0;
        for (std::size_t i = 0; i < middleSize; ++i) {
            if (candidate[i] != middle[i])
                return false;
        }
        return true;
    };
    const std::size_t starts = size - m + 1;
    const __m128i firsts = _mm_set1_epi8(first);
    const __m128i lasts = _mm_set1_epi8(last);
    // Bit i set where start p + i has the first and the last byte.
    auto fits = [&](std::size_t p) {
        const __m128i heads = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + p));
        const __m128i tails = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + p + m - 1));
        return static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(
            _mm_and_si128(_mm_cmpeq_epi8(heads, firsts), _mm_cmpeq_epi8(tails, lasts)))));
    };
    std::size_t pos = from;
    // Four blocks a step: candidates are rare, and one test for all four keeps the loop short.
    while (starts - pos >= 64) {
        std::uint64_t mask =
            fits(pos) | fits(pos + 16) << 16 | fits(pos + 32) << 32 | fits(pos + 48) << 48;
        for (; mask != 0; mask &= mask - 1) {
            const std::size_t at = pos + static_cast<std::size_t>(std::countr_zero(mask));
            if (middleMatches(bytes + at + 1))
                return at;
        }
        pos += 64;
    }
    while (starts - pos >= 16) {
        for (std::uint64_t mask = fits(pos); mask != 0; mask &= mask - 1) {
            const std::size_t at = pos + static_cast<std::size_t>(std::countr_zero(mask));
            if (middleMatches(bytes + at + 1))
                return at;
        }
        pos += 16;
    }
    for (; pos < starts; ++pos) {
        if (bytes[pos] == first && bytes[pos + m - 1] == last && middleMatches(bytes + pos + 1))
            return pos;
    }
    return NotFound;
#else
    const void* hit = memmem(bytes + from, size - from, FSearch.data(), m);
    return hit ? static_cast<std::size_t>(static_cast<const char*>(hit) - bytes) : NotFound;
#endif
}

std::size_t TReplacePair::Step(std::size_t state, char byte) const noexcept
{
    while (state > 0 && FSearch[state] != byte)
        state = FBorder[state - 1];
    if (FSearch[state] == byte)
        ++state;
    return state;
}

std::size_t TReplacePair::StateAfter(const char* bytes, std::size_t count) const noexcept
{
    std::size_t state = 0;
    for (std::size_t i = 0; i < count; ++i)
        state = Step(state, bytes[i]);
    return state;
}

// Why this loop always ends: a pair that shrinks shortens the text at every replacement; one
// that grows lengthens it until it meets the capacity. A pair of equal length (the texts
// differ, or the pair would hold its own search text) leaves the text as it was before the
// first byte where search and replacement differ and changes that byte, always in the same
// direction; so the text rises (or falls) strictly in byte order among texts of its length and
// can never come back to an earlier one, and there are only finitely many.
//
// How it stays linear: `out` holds what has been settled and never holds an occurrence; what
// is still to be read is the rest of the given text, preceded by partly read copies of the
// replacement (a stack of resume offsets). The leftmost occurrence of the whole text is the
// first one that completes while reading on, and it then lies at the end of `out`: it is taken
// off and the replacement is read next. The matcher state at the end of `out` depends only on
// its last |search| - 1 bytes, so after a replacement it is worked out afresh from those and
// reading never restarts from the beginning. While the state is empty and only the given text
// is left, the next occurrence is found with the fast finder and the bytes before it are
// copied in one go.
AnsiString TReplacePair::ApplyUntilGone(AnsiString text, std::size_t capacity) const
{
    const std::size_t size = text.size();
    const std::size_t m = FSearch.size();
    const std::size_t rSize = FReplacement.size();

    std::size_t at = Find(text.data(), 0, size);
    if (at == NotFound)
        return text;

    // The settled text is written from the front of the buffer, and what is still to be read of
    // the given text stands at the buffer's very end. So while the whole current text fits in
    // the buffer, writing never overtakes reading. A pair that does not grow the text always
    // fits in the text's own buffer; one that grows uses the room the buffer has beyond the
    // text, and the buffer grows by half whenever the text outgrows it.
    const bool grows = rSize > m;
    const std::size_t growth = grows ? rSize - m : 0;
    std::size_t length = size; // of the whole current text, settled and still to be read
    std::size_t written = at;
    std::size_t read = at + m;
    char* out = text.data();
    const char* in = out; // in + i is byte i of the given text, for every i from read on

    auto resizeBuffer = [&](std::size_t bufferSize) {
        const std::size_t unread = size - read;
        if (bufferSize <= text.capacity()) {
            const std::size_t oldSize = text.size();
            text.resize(bufferSize);
            out = text.data();
            std::memmove(out + bufferSize - unread, out + oldSize - unread, unread);
        } else {
            AnsiString larger;
            larger.resize(bufferSize);
            std::memcpy(larger.data(), out, written);
            std::memcpy(larger.data() + bufferSize - unread, in + read, unread);
            text = std::move(larger);
            out = text.data();
        }
        in = out + bufferSize - size;
    };
    if (grows) {
        // Room for moderate growth from the start; the text's own buffer serves when it has it.
        const std::size_t room = size < capacity ? capacity - size : 0;
        const std::size_t wanted = size + std::min(room, std::max(size / 8, 4 * growth));
        const std::size_t own = std::min(text.capacity(), wanted);
        resizeBuffer(own >= size + growth ? own : wanted);
    }

    std::vector<std::size_t> pending;
    std::size_t state = 0;

    // The occurrence has just been taken off the end of `out` (or skipped in the input).
    auto replace = [&]() {
        if (grows) {
            if (growth > capacity || length > capacity - growth)
                ThrowTooLarge();
            length += growth;
            if (text.size() < length)
                resizeBuffer(std::max(length, std::min(capacity, text.size() / 2 * 3)));
        } else {
            length -= m - rSize;
        }
        if (rSize > 0)
            pending.push_back(0);
        const std::size_t keep = std::min(written, m - 1);
        state = StateAfter(out + written - keep, keep);
    };
    replace();

    for (;;) {
        if (!pending.empty()) {
            std::size_t offset = pending.back();
            pending.pop_back();
            while (offset < rSize) {
                const char byte = FReplacement[offset++];
                out[written++] = byte;
                state = Step(state, byte);
                if (state == m)
                    break;
            }
            if (state == m) {
                if (offset < rSize)
                    pending.push_back(offset);
                written -= m;
                replace();
            }
        } else if (state != 0) {
            if (read == size)
                break;
            do {
                const char byte = in[read++];
                out[written++] = byte;
                state = Step(state, byte);
            } while (state != 0 && state != m && read < size);
            if (state == m) {
                written -= m;
                replace();
            }
        } else {
            at = Find(in, read, size);
            const std::size_t end = at == NotFound ? size : at;
            // A pair of equal length leaves every byte where it stands.
            if (out + written != in + read)
                std::memmove(out + written, in + read, end - read);
            written += end - read;
            if (at == NotFound)
                break;
            read = at + m;
            replace();
        }
    }

    text.resize(written);
    return text;
}

AnsiString TReplacePair::ApplyOnceEach(AnsiString text, std::size_t capacity) const
{
    if (FReplacement == FSearch)
        return text;
    const std::size_t size = text.size();
    const std::size_t m = FSearch.size();
    const char* in = text.data();
    std::size_t first = Find(in, 0, size);
    if (first == NotFound)
        return text;

    std::size_t count = 0;
    for (std::size_t at = first; at != NotFound; at = Find(in, at + m, size))
        ++count;
    // The replacement holds the search text and differs from it, so it is longer; the text
    // only grows, and its final length is the largest it ever has.
    const std::size_t growth = FReplacement.size() - m;
    if (size > capacity || count > (capacity - size) / growth)
        ThrowTooLarge();

    AnsiString result;
    result.resize(size + count * growth);
    char* out = result.data();
    std::size_t read = 0;
    for (std::size_t at = first; at != NotFound; at = Find(in, read, size)) {
        std::memcpy(out, in + read, at - read);
        out += at - read;
        std::memcpy(out, FReplacement.data(), FReplacement.size());
        out += FReplacement.size();
        read = at + m;
    }
    std::memcpy(out, in + read, size - read);
    return result;
}

AnsiString ReplaceAll(AnsiString text, std::string_view search, std::string_view replacement,
                      std::size_t capacity)
{
    return TReplacePair(AnsiString(search), AnsiString(replacement))
        .Apply(std::move(text), capacity);
}
