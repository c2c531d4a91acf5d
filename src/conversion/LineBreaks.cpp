#include "LineBreaks.h"

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

constexpr unsigned char Cr = 0x0D;
constexpr unsigned char Lf = 0x0A;

// Bytes looked at per step of the search for breaks. A page line is a few dozen bytes, so one
// step usually holds at most one break and the search rarely stops early.
constexpr std::size_t BlockSize = 64;

struct TBlockMasks {
    std::uint64_t Breaks = 0; // bit i set where bytes[i] is CR or LF
    std::uint64_t Crs = 0;    // where it is CR
};

// The masks of the `count` bytes from bytes (count <= BlockSize). Inlined: it runs once per
// block, and a call would cost about as much as its work.
[[gnu::always_inline]] inline TBlockMasks MasksOf(const unsigned char* bytes,
                                                  std::size_t count) noexcept
{
    TBlockMasks masks;
#if defined(__SSE2__)
    if (count == BlockSize) {
        const __m128i cr = _mm_set1_epi8(static_cast<char>(Cr));
        const __m128i lf = _mm_set1_epi8(static_cast<char>(Lf));
        for (std::size_t i = 0; i < BlockSize; i += 16) {
            const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i));
            const __m128i crs = _mm_cmpeq_epi8(block, cr);
            const __m128i breaks = _mm_or_si128(crs, _mm_cmpeq_epi8(block, lf));
            masks.Crs |= std::uint64_t{static_cast<unsigned>(_mm_movemask_epi8(crs))} << i;
            masks.Breaks |= std::uint64_t{static_cast<unsigned>(_mm_movemask_epi8(breaks))} << i;
        }
        return masks;
    }
#endif
    for (std::size_t i = 0; i < count; ++i) {
        if (bytes[i] == Cr)
            masks.Crs |= std::uint64_t{1} << i;
        if (bytes[i] == Cr || bytes[i] == Lf)
            masks.Breaks |= std::uint64_t{1} << i;
    }
    return masks;
}

// Bit i set where bytes[i - 1] is 0x80 or above, for a whole block; bytes[-1] must be readable.
[[gnu::always_inline]] inline std::uint64_t HighBefore(const unsigned char* bytes) noexcept
{
    std::uint64_t mask = 0;
#if defined(__SSE2__)
    for (std::size_t i = 0; i < BlockSize; i += 16) {
        const __m128i before = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i - 1));
        mask |= std::uint64_t{static_cast<unsigned>(_mm_movemask_epi8(before))} << i;
    }
#else
    for (std::size_t i = 0; i < BlockSize; ++i) {
        if (bytes[static_cast<std::ptrdiff_t>(i) - 1] >= 0x80)
            mask |= std::uint64_t{1} << i;
    }
#endif
    return mask;
}

// std::popcount becomes a library call where the processor may lack the instruction.
int CountBits(std::uint64_t x) noexcept
{
    x -= (x >> 1) & 0x5555555555555555u;
    x = (x & 0x3333333333333333u) + ((x >> 2) & 0x3333333333333333u);
    x = (x + (x >> 4)) & 0x0F0F0F0F0F0F0F0Fu;
    return static_cast<int>((x * 0x0101010101010101u) >> 56);
}

// Calls expand(pos) for each CR or LF, in order from `from` on, that must become CR LF: those
// that are neither the second byte of a two-byte character nor the LF of a CR LF. For a whole
// block of such breaks it may call expandBlock(block, mask) instead, bit i of mask standing for
// position block + i.
//
// Whether a break byte is a second byte is read from the lead bytes right before it: the byte
// before that run ends a character (a single byte, a second byte, or a break), so the run starts
// a character and pairs up from there; an odd run leaves the break as the partner of its last
// byte. A run never reaches back past the previous break, so each byte is looked at a bounded
// number of times. `from` must be 0 or the position behind a break this walk reported; bytes
// before it are looked at only back to that break.
//
// Where no lead byte is below 0x80, a block of LF only, none of them behind a byte of 0x80 or
// above, holds no second byte and no CR LF, so its breaks need no look back at all: the lines
// of a page mostly end in ASCII.
//
// expand may overwrite bytes before the break it is given, but none from the previous break on:
// the runs of later breaks begin behind that one.
template <typename TExpand, typename TExpandBlock>
void ForEachLoneBreak(const unsigned char* bytes, std::size_t size, const TLeadByteSet& leads,
                      std::size_t from, TExpand&& expand, TExpandBlock&& expandBlock)
{
    bool asciiLeads = false;
    for (std::size_t b = 0; b < 0x80; ++b)
        asciiLeads = asciiLeads || leads[b];

    std::size_t settled = from; // every break before it has been dealt with
    for (std::size_t block = from; block < size; block += BlockSize) {
        const std::size_t count = size - block < BlockSize ? size - block : BlockSize;
        const TBlockMasks masks = MasksOf(bytes + block, count);
        std::uint64_t mask = masks.Breaks;
        if (mask == 0)
            continue;
        if (!asciiLeads && count == BlockSize && block > 0 && masks.Crs == 0 && settled <= block &&
            (mask & HighBefore(bytes + block)) == 0) {
            expandBlock(block, mask);
            settled = block + BlockSize - static_cast<std::size_t>(std::countl_zero(mask));
            continue;
        }
        for (; mask != 0; mask &= mask - 1) {
            const std::size_t pos = block + static_cast<std::size_t>(std::countr_zero(mask));
            if (pos < settled) // the LF of a CR LF
                continue;
            std::size_t runStart = pos;
            while (runStart > 0 && leads[bytes[runStart - 1]])
                --runStart;
            if ((pos - runStart) % 2 == 1) {
                settled = pos + 1;
            } else if (bytes[pos] == Cr && pos + 1 < size && bytes[pos + 1] == Lf) {
                settled = pos + 2;
            } else {
                expand(pos);
                settled = pos + 1;
            }
        }
    }
}

} // namespace

AnsiString NormaliseLineBreaks(AnsiString text, const TLeadByteSet& leadBytes)
{
    // Break bytes are looked at before lead bytes, so they can never start a pair.
    TLeadByteSet leads = leadBytes;
    leads[Cr] = false;
    leads[Lf] = false;

    const std::size_t size = text.size();
    std::size_t extra = 0;
    std::size_t firstChange = size;
    ForEachLoneBreak(
        reinterpret_cast<const unsigned char*>(text.data()), size, leads, 0,
        [&](std::size_t pos) {
            if (extra == 0)
                firstChange = pos;
            ++extra;
        },
        [&](std::size_t block, std::uint64_t mask) {
            if (extra == 0)
                firstChange = block + static_cast<std::size_t>(std::countr_zero(mask));
            extra += static_cast<std::size_t>(CountBits(mask));
        });
    if (extra == 0)
        return text;

    // The result goes to the front of `out`. In the text's own buffer, when it has the room,
    // the bytes still to be read stand `extra` bytes further on, so writing never overtakes
    // reading; otherwise they are read where they are.
    AnsiString grown;
    const unsigned char* in;
    char* out;
    if (text.capacity() - size >= extra) {
        text.resize(size + extra);
        out = text.data();
        std::memmove(out + firstChange + extra, out + firstChange, size - firstChange);
        in = reinterpret_cast<const unsigned char*>(out + extra);
    } else {
        grown.resize(size + extra);
        out = grown.data();
        std::memcpy(out, text.data(), firstChange);
        in = reinterpret_cast<const unsigned char*>(text.data());
    }

    // From the first change on; the bytes before it are in place already.
    char* write = out + firstChange;
    *write++ = static_cast<char>(Cr);
    *write++ = static_cast<char>(Lf);
    std::size_t copied = firstChange + 1;
    auto expand = [&](std::size_t pos) {
        std::memmove(write, in + copied, pos - copied);
        write += pos - copied;
        *write++ = static_cast<char>(Cr);
        *write++ = static_cast<char>(Lf);
        copied = pos + 1;
    };
    ForEachLoneBreak(in, size, leads, copied, expand, [&](std::size_t block, std::uint64_t mask) {
        for (; mask != 0; mask &= mask - 1)
            expand(block + static_cast<std::size_t>(std::countr_zero(mask)));
    });
    std::memmove(write, in + copied, size - copied);
    if (!grown.empty())
        return grown;
    return text;
}
