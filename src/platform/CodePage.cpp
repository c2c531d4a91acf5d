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

// Control characters would let a file name break a message into lines or hide parts of it;
// show them as their pictures (U+2400 block) instead.
std::string ShowControls(const std::string& utf8)
{
    std::string out;
    out.reserve(utf8.size());
    for (unsigned char c : utf8) {
        if (c < 0x20)
            AppendUtf8(out, 0x2400 + c);
        else if (c == 0x7F)
            AppendUtf8(out, 0x2421);
        else
            out += static_cast<char>(c);
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
