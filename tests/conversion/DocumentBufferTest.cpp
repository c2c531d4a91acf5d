#include "DocumentBuffer.h"
#include "CodePage.h"
#include "ErrorMessage.h"
#include "Exceptions.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

namespace {

const TLeadByteSet Cp932Leads = MakeLeadByteSet({0x81, 0x9F, 0xE0, 0xFC});
const TLeadByteSet NoLeads{};

std::string B(const char* bytes, std::size_t n)
{
    return std::string(bytes, n);
}

// The whole round trip of one file as the batch run does it, with no pairs: load, take the text,
// clear, add it back as one line, save.
std::string RoundTrip(const TTempDir& dir, const std::string& source, const TLeadByteSet& leads)
{
    WriteBytes(dir / "in.htm", source);
    TDocumentBuffer memo(leads);
    memo.LoadDocument(dir / "in.htm");
    const AnsiString work = memo.DocumentText();
    memo.ClearDocument();
    memo.AddLine(work);
    memo.SaveDocument(dir / "out.htm");
    return ReadBytes(dir / "out.htm");
}

class DocumentBuffer : public ::testing::Test {
protected:
    void SetUp() override { SetSystemCodePage(TCodePage::FromCodeset("UTF-8")); }
    TTempDir Dir;
};

} // namespace

TEST_F(DocumentBuffer, RoundTripEdgeCases)
{
    struct Case {
        const char* What;
        std::string Source;
        std::string With932;
        std::string WithoutLeads;
    };
    const Case cases[] = {
        {"empty file", "", "\r\n", "\r\n"},
        {"no break at the end", "abc", "abc\r\n", "abc\r\n"},
        {"a break at the end", "abc\r\n", "abc\r\n\r\n", "abc\r\n\r\n"},
        {"lone CR", "a\rb", "a\r\nb\r\n", "a\r\nb\r\n"},
        {"lone LF", "a\nb", "a\r\nb\r\n", "a\r\nb\r\n"},
        {"LF CR", "a\n\rb", "a\r\n\r\nb\r\n", "a\r\n\r\nb\r\n"},
        {"CR CR LF", "a\r\r\nb", "a\r\n\r\nb\r\n", "a\r\n\r\nb\r\n"},
        {"one CR", "\r", "\r\n\r\n", "\r\n\r\n"},
        {"zero byte kept", B("ab\0cd\r\n", 7), B("ab\0cd\r\n\r\n", 9), B("ab\0cd\r\n\r\n", 9)},
        {"leading zero byte kept", B("\0x\n", 3), B("\0x\r\n\r\n", 6), B("\0x\r\n\r\n", 6)},
        {"CR as a trail byte", "\x82\r", "\x82\r\r\n", "\x82\r\n\r\n"},
        {"LF as a trail byte", "\x82\n\n", "\x82\n\r\n\r\n", "\x82\r\n\r\n\r\n"},
        {"lead byte last", "ab\x82", "ab\x82\r\n", "ab\x82\r\n"},
        {"Shift-JIS text", "\x93\xFA\x96\x7B\n", "\x93\xFA\x96\x7B\r\n\r\n",
         "\x93\xFA\x96\x7B\r\n\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        EXPECT_EQ(RoundTrip(Dir, c.Source, Cp932Leads), c.With932);
        EXPECT_EQ(RoundTrip(Dir, c.Source, NoLeads), c.WithoutLeads);
    }
}

TEST_F(DocumentBuffer, StartsWithItsLayoutTextAndKeepsItWhenALoadFails)
{
    TDocumentBuffer memo(NoLeads);
    EXPECT_EQ(memo.DocumentText(), "Memo1");
    const std::string path = Dir / "missing.htm";
    EXPECT_EQ(MessageOf<EFOpenError>([&] { memo.LoadDocument(path); }),
              "ﾌｧｲﾙ " + path + " は開けません");
    EXPECT_EQ(memo.DocumentText(), "Memo1");
}

TEST_F(DocumentBuffer, LoadBeyondTheCapacityFailsAndWritesNothing)
{
    struct Case {
        const char* What;
        std::string Source;
        std::size_t Capacity;
        bool Fits;
    };
    const Case cases[] = {
        {"exactly the capacity", "0123456789", 10, true},
        {"one byte over", "0123456789A", 10, false},
        {"fits until normalised", "012345678\n", 10, false},
        {"normalised to the capacity", "01234567\n", 10, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        WriteBytes(Dir / "in.htm", c.Source);
        TDocumentBuffer memo(NoLeads, c.Capacity);
        if (c.Fits) {
            memo.LoadDocument(Dir / "in.htm");
            EXPECT_LE(memo.DocumentText().size(), c.Capacity);
        } else {
            EXPECT_EQ(MessageOf<EInvalidOperation>([&] { memo.LoadDocument(Dir / "in.htm"); }),
                      "文字列の大きさが ﾒﾓ の制限を越えました");
        }
    }
}

TEST_F(DocumentBuffer, FileOfTwoGibibytesIsRefusedBeforeAnyAllocation)
{
    // A sparse file: 2 GiB on paper, no blocks on disk. The default capacity refuses it from its
    // size alone, so the test neither reads nor allocates 2 GiB.
    const std::string path = Dir / "huge.htm";
    WriteBytes(path, "");
    std::filesystem::resize_file(path, std::uintmax_t{1} << 31);
    TDocumentBuffer memo(NoLeads);
    EXPECT_EQ(MessageOf<EInvalidOperation>([&] { memo.LoadDocument(path); }),
              "文字列の大きさが ﾒﾓ の制限を越えました");
    EXPECT_EQ(memo.DocumentText(), "Memo1");
}

TEST_F(DocumentBuffer, SaveFailureLeavesTheTextInTheBuffer)
{
    TDocumentBuffer memo(NoLeads);
    memo.ClearDocument();
    memo.AddLine("converted");
    const std::string path = Dir / "NewFile/out.htm";
    EXPECT_EQ(MessageOf<EFCreateError>([&] { memo.SaveDocument(path); }),
              "ﾌｧｲﾙ " + path + " を作成できません");
    EXPECT_EQ(memo.DocumentText(), "converted\r\n");
}

TEST_F(DocumentBuffer, AddLineOnTheEmptyBuffer)
{
    struct Case {
        std::string Line;
        std::string Text;
    };
    const Case cases[] = {
        {"", "\r\n"},
        {"abc", "abc\r\n"},
        {"a\nb", "a\nb\r\n"}, // no normalisation on the way in
        {B("a\0b", 3), B("a\0b\r\n", 5)},
    };
    for (const auto& c : cases) {
        TDocumentBuffer memo(NoLeads);
        memo.ClearDocument();
        memo.AddLine(c.Line);
        EXPECT_EQ(memo.DocumentText(), c.Text);
    }
}
