#include "CodePage.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <clocale>
#include <iconv.h>
#include <langinfo.h>
#include <memory>

TLeadByteSet MakeLeadByteSet(const TLeadByteRanges& ranges)
{
    TLeadByteSet set{};
    for (std::size_t i = 0; i + 1 < ranges.size(); i += 2) {
        const unsigned low = ranges[i];
        const unsigned high = ranges[i + 1];
        if (low == 0 && high == 0)
            break;
        for (unsigned b = low; b <= high; ++b)
            set[b] = true;
    }
    return set;
}

namespace {

std::string Upper(std::string_view s)
{
    std::string out(s);
    for (char& c : out)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

struct TKnownCodePage {
    const char* Names;
    int Number;
    const char* Iconv;
    TLeadByteRanges Ranges;
};

// Names as glibc reports them, separated by '|'.
const TKnownCodePage KnownCodePages[] = {
    {"SHIFT_JIS|SJIS|WINDOWS-31J|CP932|MS_KANJI", 932, "CP932", {0x81, 0x9F, 0xE0, 0xFC}},
    {"GBK|GB2312|GB18030|EUC-CN|CP936", 936, "CP936", {0x81, 0xFE}},
    {"EUC-KR|UHC|CP949", 949, "CP949", {0x81, 0xFE}},
    {"BIG5|BIG5-HKSCS|CP950", 950, "CP950", {0x81, 0xFE}},
};

bool NameListHas(std::string_view list, std::string_view name)
{
    while (!list.empty()) {
        const auto bar = list.find('|');
        if (list.substr(0, bar) == name)
            return true;
        if (bar == std::string_view::npos)
            break;
        list.remove_prefix(bar + 1);
    }
    return false;
}

struct TIconvCloser {
    void operator()(iconv_t cd) const { iconv_close(cd); }
};
using TIconv = std::unique_ptr<std::remove_pointer_t<iconv_t>, TIconvCloser>;

TIconv OpenIconv(const std::string& to, const std::string& from)
{
    iconv_t cd = iconv_open(to.c_str(), from.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1))
        return nullptr;
    return TIconv(cd);
}

bool IsUtf8(const std::string& iconvName)
{
    return iconvName == "UTF-8";
}

// Appends the UTF-8 of one code point.
void AppendUtf8(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// Characters with no picture that would still let a name garble a message: C1 controls (NEL
// breaks a line, CSI starts a terminal sequence), the line and paragraph separators, and the
// controls that turn the writing direction, which can hide or reorder the rest of the line.
bool GarblesWithoutPicture(char32_t c)
{
    return (c >= 0x80 && c <= 0x9F) || c == 0x061C || c == 0x200E || c == 0x200F || c == 0x2028 ||
           c == 0x2029 || (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

// The length of the valid UTF-8 sequence at text[i] (shortest form, at most U+10FFFF, no
// surrogate) with its code point, or 0 where none begins.
std::size_t DecodeUtf8At(const std::string& text, std::size_t i, char32_t& point)
{
    const auto lead = static_cast<unsigned char>(text[i]);
    std::size_t length;
    if (lead < 0x80) {
        point = lead;
        return 1;
    }
    if (lead >= 0xC2 && lead <= 0xDF)
        length = 2;
    else if (lead >= 0xE0 && lead <= 0xEF)
        length = 3;
    else if (lead >= 0xF0 && lead <= 0xF4)
        length = 4;
    else
        return 0;
    if (text.size() - i < length)
        return 0;
    point = lead & (0x7F >> length);
    for (std::size_t k = 1; k < length; ++k) {
        const auto trail = static_cast<unsigned char>(text[i + k]);
        if ((trail & 0xC0) != 0x80)
            return 0;
        point = (point << 6) | (trail & 0x3F);
    }
    static constexpr char32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
    if (point < least[length] || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF))
        return 0;
    return length;
}

// Control characters would let a file name break a message into lines or hide parts of it;
// show them as their pictures (U+2400 block) instead, and what has no picture as U+FFFD. The
// decoder's output is checked once more: glibc passes sequences beyond U+10FFFF on as they are.
std::string ShowControls(const std::string& utf8)
{
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        char32_t point = 0;
        const std::size_t length = DecodeUtf8At(utf8, i, point);
        if (length == 0) {
            AppendUtf8(out, 0xFFFD);
            ++i;
            continue;
        }
        if (point < 0x20)
            AppendUtf8(out, 0x2400 + point);
        else if (point == 0x7F)
            AppendUtf8(out, 0x2421);
        else if (GarblesWithoutPicture(point))
            AppendUtf8(out, 0xFFFD);
        else
            out.append(utf8, i, length);
        i += length;
    }
    return out;
}

std::unique_ptr<TCodePage>& SystemCodePageSlot()
{
    static std::unique_ptr<TCodePage> slot;
    return slot;
}

} // namespace

TCodePage TCodePage::FromCodeset(std::string_view codeset)
{
    TCodePage cp;
    const std::string name = Upper(codeset);
    for (const auto& known : KnownCodePages) {
        if (NameListHas(known.Names, name)) {
            cp.FNumber = known.Number;
            cp.FIconvName = known.Iconv;
            cp.FDoubleByte = true;
            cp.FRanges = known.Ranges;
            cp.FLeadByteSet = MakeLeadByteSet(known.Ranges);
            return cp;
        }
    }
    // The C and POSIX locales report ASCII; their bytes are taken as UTF-8 so that any name
    // can still be shown.
    if (name.empty() || name == "ANSI_X3.4-1968" || name == "UTF-8" || name == "UTF8") {
        cp.FNumber = 65001;
        cp.FIconvName = "UTF-8";
    } else {
        cp.FNumber = 0;
        cp.FIconvName = name;
    }
    return cp;
}

std::optional<AnsiString> TCodePage::FromUtf8(std::string_view utf8) const
{
    if (IsUtf8(FIconvName))
        return AnsiString(utf8);
    TIconv cd = OpenIconv(FIconvName, "UTF-8");
    if (!cd)
        return std::nullopt;
    AnsiString out;
    out.resize(utf8.size() * 4 + 16);
    char* in = const_cast<char*>(utf8.data());
    std::size_t inLeft = utf8.size();
    char* dst = out.data();
    std::size_t outLeft = out.size();
    // Without //TRANSLIT iconv stops with EILSEQ at a character the target cannot hold, which is
    // exactly the refusal the program wants.
    if (iconv(cd.get(), &in, &inLeft, &dst, &outLeft) == static_cast<std::size_t>(-1))
        return std::nullopt;
    if (iconv(cd.get(), nullptr, nullptr, &dst, &outLeft) == static_cast<std::size_t>(-1))
        return std::nullopt;
    out.resize(out.size() - outLeft);
    return out;
}

std::string TCodePage::ToDisplay(std::string_view bytes) const
{
    TIconv cd = OpenIconv("UTF-8", IsUtf8(FIconvName) ? std::string("UTF-8") : FIconvName);
    std::string out;
    if (!cd) {
        for (unsigned char c : bytes)
            AppendUtf8(out, c < 0x80 ? c : 0xFFFD);
        return ShowControls(out);
    }
    char* in = const_cast<char*>(bytes.data());
    std::size_t inLeft = bytes.size();
    char chunk[256];
    while (inLeft > 0) {
        char* dst = chunk;
        std::size_t outLeft = sizeof chunk;
        const std::size_t rc = iconv(cd.get(), &in, &inLeft, &dst, &outLeft);
        out.append(chunk, static_cast<std::size_t>(dst - chunk));
        if (rc == static_cast<std::size_t>(-1) && errno != E2BIG) {
            // EILSEQ or EINVAL: one byte that does not decode; show it and go on after it.
            AppendUtf8(out, 0xFFFD);
            ++in;
            --inLeft;
            iconv(cd.get(), nullptr, nullptr, nullptr, nullptr);
        }
    }
    return ShowControls(out);
}

void InitSystemCodePage()
{
    std::setlocale(LC_CTYPE, "");
    SetSystemCodePage(TCodePage::FromCodeset(nl_langinfo(CODESET)));
}

void SetSystemCodePage(const TCodePage& codePage)
{
    SystemCodePageSlot() = std::make_unique<TCodePage>(codePage);
}

const TCodePage& SystemCodePage()
{
    auto& slot = SystemCodePageSlot();
    if (!slot)
        slot = std::make_unique<TCodePage>(TCodePage::FromCodeset("UTF-8"));
    return *slot;
}

std::string FormatFileMessage(const char* message, std::string_view name)
{
    std::string text(message);
    const auto at = text.find("%s");
    if (at != std::string::npos)
        text.replace(at, 2, SystemCodePage().ToDisplay(name));
    return text;
}
