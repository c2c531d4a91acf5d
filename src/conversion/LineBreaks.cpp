#include "LineBreaks.h"

#include <bit>
#include <cstddef>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

constexpr unsigned char Cr = 0x0D;
constexpr unsigned char Lf = 0x0A;

// The first CR or LF at or after from, or size when there is none.
std::size_t FindBreak(const unsigned char* bytes, std::size_t from, std::size_t size) noexcept
{
    std::size_t pos = from;
#if defined(__SSE2__)
    const __m128i cr = _mm_set1_epi8(static_cast<char>(Cr));
    const __m128i lf = _mm_set1_epi8(static_cast<char>(Lf));
    while (size - pos >= 16) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + pos));
        const __m128i hits = _mm_or_si128(_mm_cmpeq_epi8(block, cr), _mm_cmpeq_epi8(block, lf));
        const auto mask = static_cast<unsigned>(_mm_movemask_epi8(hits));
        if (mask != 0)
            return pos + static_cast<std::size_t>(std::countr_zero(mask));
        pos += 16;
    }
#endif
    for (; pos < size; ++pos) {
        if (bytes[pos] == Cr || bytes[pos] == Lf)
            return pos;
    }
    return size;
}

// Calls expand(pos) for each CR or LF, in order from `from` on, that must become CR LF: those
// that are neither the second byte of a two-byte character nor the LF of a CR LF.
//
// Whether a break byte is a second byte is read from the lead bytes right before it: the byte
// before that run ends a character (a single byte, a second byte, or a break), so the run starts
// a character and pairs up from there; an odd run leaves the break as the partner of its last
// byte. A run never reaches back past the previous break, so each byte is looked at a bounded
// number of times. `from` must be 0 or a position this walk itself reported.
template <typename TExpand>
void ForEachLoneBreak(const unsigned char* bytes, std::size_t size, const TLeadByteSet& leads,
                      std::size_t from, TExpand&& expand)
{
    while (from < size) {
        const std::size_t pos = FindBreak(bytes, from, size);
        if (pos == size)
            return;
        std::size_t runStart = pos;
        while (runStart > 0 && leads[bytes[runStart - 1]])
            --runStart;
        if ((pos - runStart) % 2 == 1) {
            from = pos + 1;
        } else if (bytes[pos] == Cr && pos + 1 < size && bytes[pos + 1] == Lf) {
            from = pos + 2;
        } else {
            expand(pos);
            from = pos + 1;
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

    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t size = text.size();

    std::size_t extra = 0;
    std::size_t firstChange = size;
    ForEachLoneBreak(bytes, size, leads, 0, [&](std::size_t pos) {
        if (extra == 0)
            firstChange = pos;
        ++extra;
    });
    if (extra == 0)
        return text;

    AnsiString result;
    result.resize(size + extra);
    char* out = result.data();
    std::memcpy(out, bytes, firstChange);
    out += firstChange;
    std::size_t copied = firstChange;
    ForEachLoneBreak(bytes, size, leads, firstChange, [&](std::size_t pos) {
        std::memcpy(out, bytes + copied, pos - copied);
        out += pos - copied;
        *out++ = static_cast<char>(Cr);
        *out++ = static_cast<char>(Lf);
        copied = pos + 1;
    });
    std::memcpy(out, bytes + copied, size - copied);
    return result;
}
