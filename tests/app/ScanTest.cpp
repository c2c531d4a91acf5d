#include "CodePage.h"
#include "FormAccess.h"
#include "TestFiles.h"

#include <QLabel>
#include <QPushButton>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>

namespace {

std::vector<std::string> Listed(const TForm1& form)
{
    std::vector<std::string> names;
    for (int i = 0; i < TForm1Access::FileCount(form); ++i)
        names.emplace_back(TForm1Access::Slot(form, i));
    return names;
}

// Every byte of the table that no name stands in is zero.
void ExpectRestOfTableZero(const TForm1& form)
{
    const unsigned char* table = TForm1Access::TableBytes(form);
    const int count = TForm1Access::FileCount(form);
    std::size_t nonZero = 0;
    for (int slot = 0; slot < TForm1::MaxFiles; ++slot) {
        const std::size_t used = slot < count ? std::strlen(TForm1Access::Slot(form, slot)) : 0;
        for (std::size_t i = used; i < TForm1::NameSlotSize; ++i)
            nonZero += table[slot * TForm1::NameSlotSize + i] != 0;
    }
    EXPECT_EQ(nonZero, 0u);
}

// Root may write anything; an immutable folder is one that even root may not write.
class TImmutable {
public:
    explicit TImmutable(const std::string& path) : FPath(path) { FDone = SetFlag(true); }
    ~TImmutable()
    {
        if (FDone)
            SetFlag(false);
    }
    bool Done() const { return FDone; }

private:
    bool SetFlag(bool on)
    {
        const int fd = open(FPath.c_str(), O_RDONLY | O_DIRECTORY);
        if (fd < 0)
            return false;
        int flags = 0;
        bool ok = ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
        flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
        ok = ok && ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
        close(fd);
        return ok;
    }
    std::string FPath;
    bool FDone = false;
};

class Scan : public ::testing::Test {
protected:
    void SetUp() override { SetSystemCodePage(TCodePage::FromCodeset("UTF-8")); }
    std::unique_ptr<TForm1> MakeForm()
    {
        TChdir here(Dir.Path());
        return std::make_unique<TForm1>();
    }
    TTempDir Dir;
};

} // namespace

TEST_F(Scan, TakesWhatTheSearchAndTheDirectoryTestLetThrough)
{
    WriteBytes(Dir / "plain.htm", "x");
    WriteBytes(Dir / "upper.HTM", "x");
    WriteBytes(Dir / "long.html", "x");
    WriteBytes(Dir / ".hidden.htm", "x");
    WriteBytes(Dir / "a.txt", "x");
    ASSERT_EQ(mkfifo((Dir / "fifo.htm").c_str(), 0644), 0);
    std::filesystem::create_directory(Dir / "dir.htm");
    std::filesystem::create_directory(Dir / ".hiddendir.htm");
    std::filesystem::create_directory(Dir / "readonly.htm");
    TImmutable readOnly(Dir / "readonly.htm");
    if (!readOnly.Done())
        GTEST_SKIP() << "this file system cannot make a folder read-only for root";

    const auto form = MakeForm();
    // Byte order of the names: '.' < 'l' < 'p' < 'r' < 'u'.
    EXPECT_EQ(Listed(*form), (std::vector<std::string>{".hiddendir.htm", "long.html", "plain.htm",
                                                       "readonly.htm", "upper.HTM"}));
    ExpectRestOfTableZero(*form);
}

TEST_F(Scan, NothingListedLeavesTheTableZero)
{
    WriteBytes(Dir / "a.txt", "x");
    std::filesystem::create_directory(Dir / "only.htm");
    const auto form = MakeForm();
    EXPECT_EQ(TForm1Access::FileCount(*form), 0);
    ExpectRestOfTableZero(*form);
    EXPECT_FALSE(form->Button1->isEnabled());
    EXPECT_EQ(form->Label6->text().toStdString(), "HTML File Count : 0");
}

TEST_F(Scan, TakesTheFirstFiveHundredInOrder)
{
    for (int i = 0; i < 501; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "p%03d.htm", i);
        WriteBytes(Dir / name, "x");
    }
    // A plain directory in the middle takes no slot: the names around it stay consecutive.
    std::filesystem::remove(Dir / "p100.htm");
    std::filesystem::create_directory(Dir / "p100.htm");
    const auto form = MakeForm();
    const auto names = Listed(*form);
    ASSERT_EQ(names.size(), 500u);
    EXPECT_EQ(names[99], "p099.htm");
    EXPECT_EQ(names[100], "p101.htm");
    EXPECT_EQ(names[499], "p500.htm");
    ExpectRestOfTableZero(*form);
    // What follows the table in the window is untouched.
    EXPECT_EQ(TForm1Access::PairCount(*form), 0);
    for (const auto& text : TForm1Access::PairTexts(*form))
        EXPECT_TRUE(text.empty());
    EXPECT_TRUE(TForm1Access::WorkText(*form).empty());
    EXPECT_EQ(form->Label6->text().toStdString(), "HTML File Count : 500");
}

TEST_F(Scan, LongestNameReadsBackWhole)
{
    const std::string longest = std::string(251, 'n') + ".htm"; // 255 bytes, the most a name has
    const std::string shiftJis = "\x93\xFA\x96\x7B.htm";
    WriteBytes(Dir / longest, "x");
    WriteBytes(Dir / shiftJis, "x");
    const auto form = MakeForm();
    EXPECT_EQ(Listed(*form), (std::vector<std::string>{longest, shiftJis}));
    ExpectRestOfTableZero(*form);
}
