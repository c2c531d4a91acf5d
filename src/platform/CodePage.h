#pragma once

#include "AnsiString.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// One flag per byte value: set where the byte begins a two-byte character.
using TLeadByteSet = std::array<bool, 256>;

// The lead-byte ranges as the system reports them: up to six (low, high) pairs.
using TLeadByteRanges = std::array<std::uint8_t, 12>;

// Pairs in order; the first pair of two zeros ends the list; a pair with high below low adds
// nothing; any other pair adds low to high, both included.
TLeadByteSet MakeLeadByteSet(const TLeadByteRanges& ranges);

// The facts about the program's code page, read once at start-up. Texts from the window are
// converted into it; bytes from the file system are decoded from it for display.
class TCodePage {
public:
    // Builds the facts for a codeset name as nl_langinfo(CODESET) reports it. Unknown names are
    // taken as single-byte code pages of that name.
    static TCodePage FromCodeset(std::string_view codeset);

    int Number() const noexcept { return FNumber; }
    const std::string& IconvName() const noexcept { return FIconvName; }
    bool DoubleByte() const noexcept { return FDoubleByte; }
    const TLeadByteRanges& LeadByteRanges() const noexcept { return FRanges; }
    const TLeadByteSet& LeadByteSet() const noexcept { return FLeadByteSet; }

    // UTF-8 into the code page. No stand-in characters: a character the code page cannot hold
    // gives nullopt.
    std::optional<AnsiString> FromUtf8(std::string_view utf8) const;

    // Code page bytes for display, as UTF-8. Never fails: what cannot be decoded becomes U+FFFD,
    // and control characters become their visible pictures so a name cannot garble a message;
    // those without a picture (C1 controls, line and paragraph separators, the controls of the
    // writing direction) become U+FFFD as well.
    std::string ToDisplay(std::string_view bytes) const;

private:
    TCodePage() = default;

    int FNumber = 65001;
    std::string FIconvName = "UTF-8";
    bool FDoubleByte = false;
    TLeadByteRanges FRanges{};
    TLeadByteSet FLeadByteSet{};
};

// The code page of the running program. InitSystemCodePage reads the LC_CTYPE locale of the
// environment; it runs once, before the application object exists. Tests install their own.
void InitSystemCodePage();
void SetSystemCodePage(const TCodePage& codePage);
const TCodePage& SystemCodePage();

// The message of a file error, with the name decoded for display in place of %s.
std::string FormatFileMessage(const char* message, std::string_view name);
