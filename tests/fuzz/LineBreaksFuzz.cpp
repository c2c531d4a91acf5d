// NormaliseLineBreaks against the rule walked byte by byte, and the facts every result must show
// whatever the walk says: each CR and LF that is not a second byte stands in a CR LF, the zero
// bytes are the ones of the text, a second pass changes nothing, and an unchanged text comes
// back in its own buffer.
//
// Input: one byte choosing the lead-byte set, then the text. The last choice builds the set from
// the next twelve bytes as the system's lead-byte ranges.

#include "FuzzCheck.h"
#include "LineBreaks.h"
#include "Reference.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

namespace {

TLeadByteSet OddLeads()
{
    TLeadByteSet set = MakeLeadByteSet({0x81, 0x9F, 0xE0, 0xFC});
    set[0x0D] = true;
    set[0x0A] = true;
    set[0x00] = true;
    set['a'] = true;
    return set;
}

// Every CR and LF that is not the second byte of a character stands in a CR LF pair.
bool BreaksArePaired(const AnsiString& text, TLeadByteSet leads)
{
    leads[0x0D] = false;
    leads[0x0A] = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte == 0x0D) {
            if (i + 1 == text.size() || text[i + 1] != '\n')
                return false;
            ++i;
        } else if (byte == 0x0A) {
            return false;
        } else if (leads[byte]) {
            ++i;
        }
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    static const TLeadByteSet fixedSets[] = {
        TLeadByteSet{},
        MakeLeadByteSet({0x81, 0x9F, 0xE0, 0xFC}),
        MakeLeadByteSet({0x81, 0xFE}),
        OddLeads(),
    };
    const std::size_t choice = data[0] % 5;
    ++data;
    --size;
    TLeadByteSet leads;
    if (choice < 4) {
        leads = fixedSets[choice];
    } else {
        TLeadByteRanges ranges{};
        const std::size_t n = std::min(size, ranges.size());
        std::copy(data, data + n, ranges.begin());
        leads = MakeLeadByteSet(ranges);
        data += n;
        size -= n;
    }
    const AnsiString text(reinterpret_cast<const char*>(data), size);

    AnsiString moved = text;
    const char* buffer = moved.data();
    const AnsiString result = NormaliseLineBreaks(std::move(moved), leads);
    const AnsiString expected = ReferenceLineBreaks(text, leads);
    if (result != expected) {
        std::fprintf(stderr, "text     %s\nexpected %s\nresult   %s\n", FuzzHex(text).c_str(),
                     FuzzHex(expected).c_str(), FuzzHex(result).c_str());
    }
    FuzzCheck(result == expected, "the result is the byte walk's");
    FuzzCheck(BreaksArePaired(result, leads), "every break that is no second byte is CR LF");
    FuzzCheck(std::count(result.begin(), result.end(), '\0') ==
                  std::count(text.begin(), text.end(), '\0'),
              "no zero byte made or lost");
    FuzzCheck(result.size() >= text.size(), "nothing taken away");
    FuzzCheck(NormaliseLineBreaks(result, leads) == result, "a second pass changes nothing");
    if (result == text && text.size() > 15) // short texts live inside the string object itself
        FuzzCheck(result.data() == buffer, "an unchanged text keeps its buffer");
    return 0;
}
