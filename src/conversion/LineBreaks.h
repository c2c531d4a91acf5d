#pragma once

#include "AnsiString.h"
#include "CodePage.h"

// Line breaks as the memo stores them: every LF, and every CR not followed by LF, becomes CR LF.
// A byte in leadBytes takes the byte after it along unchanged, whatever that byte is, so the
// second byte of a two-byte character is never taken for a line break. CR and LF themselves
// are never lead bytes, even where the set holds them. Zero bytes are ordinary bytes.
//
// When nothing changes, the given text comes back in its own buffer (move it in to keep it).
// Otherwise the result is made in that buffer too when its capacity holds the result, and is
// allocated once, at its final size, when it does not.
//
// Errors: none of its own; std::bad_alloc or std::length_error when the result cannot be
// allocated (the text is then lost with the parameter).
AnsiString NormaliseLineBreaks(AnsiString text, const TLeadByteSet& leadBytes);
