#pragma once

// The conversion rules done literally, byte by byte and step by step, for tests and fuzz targets
// to hold the fast code against. Slow on purpose: nothing here may share a shortcut with the
// code it checks. Raises nothing of its own.

#include "AnsiString.h"
#include "CodePage.h"

#include <cstddef>

// Line breaks: each LF, and each CR not followed by LF, becomes CR LF; a lead byte takes the
// byte after it along unchanged. Walked forwards with no search for breaks and no looking back.
inline AnsiString ReferenceLineBreaks(const AnsiString& text, const TLeadByteSet& leads)
{
    AnsiString out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte == 0x0A) {
            out += "\r\n";
        } else if (byte == 0x0D) {
            out += "\r\n";
            if (i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
        } else if (leads[byte]) {
            out += text[i];
            if (i + 1 < text.size())
                out += text[++i];
        } else {
            out += text[i];
        }
    }
    return out;
}

// One pair as a user reads the rules: find from the first byte, erase, insert; or, for a
// replacement holding its search text, one pass behind each inserted copy. The text is checked
// against the capacity after every step; StepCap ends a run that would not end by itself.
enum class TReferenceOutcome { Text, TooLarge, StepCap };

inline TReferenceOutcome ReferenceReplace(AnsiString& text, const AnsiString& search,
                                          const AnsiString& replacement, std::size_t capacity,
                                          int stepCap = 10000)
{
    if (replacement.find(search) != AnsiString::npos) {
        std::size_t pos = 0;
        while ((pos = text.find(search, pos)) != AnsiString::npos) {
            text.replace(pos, search.size(), replacement);
            if (text.size() > capacity)
                return TReferenceOutcome::TooLarge;
            pos += replacement.size();
        }
        return TReferenceOutcome::Text;
    }
    for (int step = 0; step < stepCap; ++step) {
        const std::size_t pos = text.find(search);
        if (pos == AnsiString::npos)
            return TReferenceOutcome::Text;
        text.erase(pos, search.size());
        text.insert(pos, replacement);
        if (text.size() > capacity)
            return TReferenceOutcome::TooLarge;
    }
    return TReferenceOutcome::StepCap;
}
