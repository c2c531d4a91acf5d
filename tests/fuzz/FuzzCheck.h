#pragma once

// What a fuzz target does when a check fails: say which, and abort, so that libFuzzer keeps the
// input that made it as a crash file to replay.

#include <cstdio>
#include <cstdlib>
#include <string>

inline void FuzzCheck(bool holds, const char* what)
{
    if (holds)
        return;
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    std::abort();
}

// The bytes as hex, for a failure message that has to show zero bytes and line breaks.
inline std::string FuzzHex(const std::string& bytes)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
        out += ' ';
    }
    return out;
}
