#pragma once

// What the window keeps private, opened up for the tests.

#include "Unit1.h"

struct TForm1Access {
    static std::int32_t FileCount(const TForm1& form) { return form.FileCount; }
    static std::int32_t PairCount(const TForm1& form) { return form.PairCount; }
    static const char* Slot(const TForm1& form, int i) { return form.FileNames[i]; }
    static const unsigned char* TableBytes(const TForm1& form)
    {
        return reinterpret_cast<const unsigned char*>(&form.FileNames[0][0]);
    }
    static constexpr std::size_t TableSize = sizeof(TForm1::FileNames);
    static const std::array<AnsiString, 10>& PairTexts(const TForm1& form)
    {
        return form.PairTexts;
    }
    static const AnsiString& WorkText(const TForm1& form) { return form.WorkText; }
    static void CollectPairs(TForm1& form) { form.CollectPairs(); }
    static void ApplyPairs(TForm1& form) { form.ApplyPairs(); }
};
