#include "FileAccess.h"
#include "ChildProcess.h"
#include "CodePage.h"
#include "ErrorMessage.h"
#include "Exceptions.h"
#include "TestFiles.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

namespace {

std::string ReadThrough(const std::string& path)
{
    const TFileHandle file = OpenSourceFile(path);
    std::string bytes(FileSize(file), '\0');
    ReadWhole(file, bytes.data(), bytes.size());
    return bytes;
}

void SaveThrough(const std::string& path, const std::string& bytes,
                 const TFileIdentities& keep = {})
{
    const TFileHandle file = CreateOutputFile(path, keep);
    WriteWhole(file, bytes.data(), bytes.size());
}

class FileAccess : public ::testing::Test {
protected:
    void SetUp() override { SetSystemCodePage(TCodePage::FromCodeset("UTF-8")); }
    TTempDir Dir;
};

} // namespace

TEST_F(FileAccess, ReadsAndWritesWholeFiles)
{
    const std::string bytes = std::string("a\0b\r\n\x82", 6) + std::string(100000, 'x');
    WriteBytes(Dir / "in.htm", bytes);
    EXPECT_EQ(ReadThrough(Dir / "in.htm"), bytes);
    SaveThrough(Dir / "out.htm", bytes);
    EXPECT_EQ(ReadBytes(Dir / "out.htm"), bytes);
}

TEST_F(FileAccess, SourceOpenFailuresNameTheFile)
{
    std::filesystem::create_directory(Dir / "dir.htm");
    ASSERT_EQ(mkfifo((Dir / "fifo.htm").c_str(), 0644), 0);
    WriteBytes(Dir / "locked.htm", "x");
    const TLockingChild holder(Dir / "locked.htm");
    // A FIFO or a directory must fail at once: an alarm ends the test if an open blocks.
    alarm(20);
    for (const char* name : {"missing.htm", "dir.htm", "fifo.htm", "locked.htm"}) {
        SCOPED_TRACE(name);
        const std::string path = Dir / name;
        EXPECT_EQ(MessageOf<EFOpenError>([&] { OpenSourceFile(path); }),
                  "ﾌｧｲﾙ " + path + " は開けません");
    }
    alarm(0);
}

TEST_F(FileAccess, ReadStoppingShortOrRunningLongIsAnError)
{
    WriteBytes(Dir / "ten.htm", "0123456789");
    for (std::size_t count : {std::size_t{11}, std::size_t{9}}) {
        SCOPED_TRACE(count);
        const TFileHandle file = OpenSourceFile(Dir / "ten.htm");
        std::string buffer(count, '\0');
        EXPECT_EQ(MessageOf<EReadError>([&] { ReadWhole(file, buffer.data(), count); }),
                  "ｽﾄﾘｰﾑからの読み込みｴﾗｰ");
    }
}

TEST_F(FileAccess, OutputCreateFailuresTouchNothing)
{
    WriteBytes(Dir / "locked.htm", "old bytes");
    WriteBytes(Dir / "target.htm", "target bytes");
    WriteBytes(Dir / "source.htm", "source bytes");
    std::filesystem::create_symlink(Dir / "target.htm", Dir / "link.htm");
    std::filesystem::create_directory(Dir / "dir.htm");
    ASSERT_EQ(mkfifo((Dir / "fifo.htm").c_str(), 0644), 0);
    std::filesystem::create_hard_link(Dir / "source.htm", Dir / "hardlink.htm");
    TFileIdentity source;
    ASSERT_TRUE(IdentityOf(Dir / "source.htm", source));
    const TLockingChild holder(Dir / "locked.htm");

    alarm(20);
    for (const char* name :
         {"locked.htm", "link.htm", "dir.htm", "fifo.htm", "hardlink.htm", "missing/out.htm"}) {
        SCOPED_TRACE(name);
        const std::string path = Dir / name;
        EXPECT_EQ(MessageOf<EFCreateError>([&] { SaveThrough(path, "new", {source}); }),
                  "ﾌｧｲﾙ " + path + " を作成できません");
    }
    alarm(0);
    EXPECT_EQ(ReadBytes(Dir / "locked.htm"), "old bytes");
    EXPECT_EQ(ReadBytes(Dir / "target.htm"), "target bytes");
    EXPECT_EQ(ReadBytes(Dir / "source.htm"), "source bytes");
    EXPECT_TRUE(std::filesystem::is_symlink(Dir / "link.htm"));
    EXPECT_FALSE(std::filesystem::exists(Dir / "missing"));
}

TEST_F(FileAccess, LongerOldOutputIsReplacedWhole)
{
    WriteBytes(Dir / "out.htm", std::string(5000, 'o'));
    SaveThrough(Dir / "out.htm", "new");
    EXPECT_EQ(ReadBytes(Dir / "out.htm"), "new");
}

TEST_F(FileAccess, ShortWriteRaisesAndKeepsWhatWasWritten)
{
    const std::string path = Dir / "out.htm";
    const std::string bytes(10000, 'w');
    // A file size limit stands in for a full disk: the write stops at 4096 bytes.
    const int code = RunInChild([&] {
        signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{4096, 4096};
        setrlimit(RLIMIT_FSIZE, &limit);
        try {
            SaveThrough(path, bytes);
        } catch (const EWriteError& error) {
            return error.Message() == "ｽﾄﾘｰﾑへの書き込みｴﾗｰ" ? 0 : 2;
        }
        return 1;
    });
    EXPECT_EQ(code, 0);
    EXPECT_EQ(ReadBytes(path), std::string(4096, 'w'));
}
