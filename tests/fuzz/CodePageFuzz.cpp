// How a file name shows in a message box, for every kind of code page: whatever the bytes, the
// text is valid UTF-8 and holds nothing that could break the message into lines, reorder it or
// hide part of it (control characters, line and paragraph separators, bidirectional controls).
// In the UTF-8 code page a name that is valid and harmless shows exactly as it is.
//
// Input: one byte choosing the code page, then the name's bytes.

#include "CodePage.h"
#include "FuzzCheck.h"

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace {

// The code points of valid UTF-8 (shortest forms, no surrogates), or nothing.
std::optional<std::vector<char32_t>> DecodeUtf8(const std::string& text)
{
    std::vector<char32_t> out;
    for (std::size_t i = 0; i < text.size();) {
        const auto b = static_cast<unsigned char>(text[i]);
        std::size_t extra;
        char32_t c;
        if (b < 0x80) {
            extra = 0;
            c = b;
        } else if (b >= 0xC2 && b <= 0xDF) {
            extra = 1;
            c = b & 0x1F;
        } else if (b >= 0xE0 && b <= 0xEF) {
            extra = 2;
            c = b & 0x0F;
        } else if (b >= 0xF0 && b <= 0xF4) {
            extra = 3;
            c = b & 0x07;
        } else {
            return std::nullopt;
        }
        if (i + extra >= text.size())
            return std::nullopt;
        for (std::size_t k = 1; k <= extra; ++k) {
            const auto t = static_cast<unsigned char>(text[i + k]);
            if ((t & 0xC0) != 0x80)
                return std::nullopt;
            c = (c << 6) | (t & 0x3F);
        }
        const char32_t least[] = {0, 0x80, 0x800, 0x10000};
        if (c < least[extra] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
            return std::nullopt;
        out.push_back(c);
        i += extra + 1;
    }
    return out;
}

bool Harmful(char32_t c)
{
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x061C || c == 0x200E || c == 0x200F ||
           c == 0x2028 || c == 0x2029 || (c >= 0x202A && c <= 0x202E) ||
           (c >= 0x2066 && c <= 0x2069);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    static const char* const codesets[] = {"UTF-8", "SHIFT_JIS",  "GBK",    "EUC-KR",
                                           "BIG5",  "ISO-8859-1", "KOI8-R", "NO-SUCH-CODESET"};
    static const std::vector<TCodePage> codePages = [] {
        std::vector<TCodePage> pages;
        for (const char* codeset : codesets)
            pages.push_back(TCodePage::FromCodeset(codeset));
        return pages;
    }();
    const TCodePage& codePage = codePages[data[0] % codePages.size()];
    const std::string name(reinterpret_cast<const char*>(data + 1), size - 1);

    const std::string shown = codePage.ToDisplay(name);
    const auto points = DecodeUtf8(shown);
    if (!points)
        std::fprintf(stderr, "name  %s\nshown %s\n", FuzzHex(name).c_str(), FuzzHex(shown).c_str());
    FuzzCheck(points.has_value(), "what is shown is valid UTF-8");
    for (char32_t c : *points) {
        if (Harmful(c))
            std::fprintf(stderr, "name %s (%s) shows U+%04X\n", FuzzHex(name).c_str(),
                         codePage.IconvName().c_str(), static_cast<unsigned>(c));
        FuzzCheck(!Harmful(c), "nothing shown breaks, reorders or hides the message");
    }

    if (codePage.IconvName() == "UTF-8") {
        const auto given = DecodeUtf8(name);
        bool harmless = given.has_value();
        for (char32_t c : given.value_or(std::vector<char32_t>{}))
            harmless = harmless && !Harmful(c);
        if (harmless)
            FuzzCheck(shown == name, "a valid, harmless UTF-8 name shows as it is");
    }
    return 0;
}
