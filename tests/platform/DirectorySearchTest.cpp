#include "DirectorySearch.h"
#include "ChildProcess.h"
#include "TestFiles.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

std::vector<std::string> Search(const std::string& pattern, std::uint32_t mask)
{
    std::vector<std::string> names;
    TDirectorySearch search(pattern, mask);
    TSearchRec entry;
    while (search.Next(entry))
        names.push_back(entry.Name);
    return names;
}

} // namespace

TEST(MatchesPattern, FollowsTheWildcardRules)
{
    struct Case {
        const char* Name;
        const char* Pattern;
        bool Matches;
    };
    const Case cases[] = {
        {"a.htm", "*.htm", true},   {"A.HTM", "*.htm", true}, {"a.html", "*.htm", true},
        {"a.HTmL", "*.htm", true},  {".htm", "*.htm", true},  {"a.htmx", "*.htm", false},
        {"a.txt", "*.htm", false},  {"ahtm", "*.htm", false}, {"a.htm.bak", "*.htm", false},
        {"a.b.htm", "*.htm", true}, {"x", "*", true},         {".", "*", true},
        {"abc", "a?c", true},       {"ac", "a?c", false},     {"\x93\xFA.htm", "*.htm", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.Name) + " ~ " + c.Pattern);
        EXPECT_EQ(MatchesPattern(c.Name, c.Pattern), c.Matches);
    }
}

TEST(MatchesPattern, LongNamesOfStarsStayFast)
{
    // A naive backtracking matcher takes exponential time here; this one must just answer.
    const std::string name(200, 'a');
    EXPECT_FALSE(MatchesPattern(name, "*a*a*a*a*a*a*a*a*a*a*b"));
}

TEST(AdmittedByMask, ReturnsPlainEntriesAndThoseSharingTheMask)
{
    struct Case {
        std::uint32_t Attr;
        bool Admitted;
    };
    const Case cases[] = {
        {faArchive, true},
        {faArchive | faReadOnly, true},
        {faArchive | faHidden, false},
        {faSysFile, false},
        {faDirectory, true},
        {faDirectory | faHidden, true},
        {faDirectory | faSysFile, true},
        {faHidden | faSysFile, false},
        {0, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Attr);
        EXPECT_EQ(AdmittedByMask(c.Attr, faDirectory), c.Admitted);
    }
}

TEST(AttributesOf, MapsEachKindOfEntry)
{
    TTempDir dir;
    WriteBytes(dir / "plain.htm", "x");
    WriteBytes(dir / ".hidden.htm", "x");
    std::filesystem::create_directory(dir / "folder.htm");
    std::filesystem::create_directory(dir / ".folder.htm");
    ASSERT_EQ(mkfifo((dir / "fifo.htm").c_str(), 0644), 0);
    MakeSocket(dir / "sock.htm");
    std::filesystem::create_symlink(dir / "nowhere", dir / "dangling.htm");
    std::filesystem::create_directory_symlink(dir / "folder.htm", dir / "link-to-folder.htm");
    std::filesystem::create_symlink(dir / "plain.htm", dir / "link-to-plain.htm");

    struct Case {
        const char* Name;
        std::uint32_t Attr;
    };
    const Case cases[] = {
        {"plain.htm", faArchive},         {".hidden.htm", faArchive | faHidden},
        {"folder.htm", faDirectory},      {".folder.htm", faDirectory | faHidden},
        {"fifo.htm", faSysFile},          {"sock.htm", faSysFile},
        {"dangling.htm", faSysFile},      {"link-to-folder.htm", faDirectory},
        {"link-to-plain.htm", faArchive},
    };
    const int fd = open(dir.Path().c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(fd, 0);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(AttributesOf(fd, c.Name), c.Attr);
    }
    close(fd);
}

TEST(AttributesOf, ReadOnlyForAProcessThatMayNotWrite)
{
    TTempDir dir;
    WriteBytes(dir / "file.htm", "x");
    std::filesystem::create_directory(dir / "folder.htm");
    chmod((dir / "file.htm").c_str(), 0644);
    chmod((dir / "folder.htm").c_str(), 0755);
    chmod(dir.Path().c_str(), 0755);
    // Root may write anything, so the question is asked by a process with no rights.
    const int attrs = RunInChild([&] {
        if (setgid(65534) != 0 || setuid(65534) != 0)
            return 100;
        const int fd = open(dir.Path().c_str(), O_RDONLY | O_DIRECTORY);
        return static_cast<int>(AttributesOf(fd, "file.htm")) |
               (AttributesOf(fd, "folder.htm") == (faDirectory | faReadOnly) ? 64 : 0);
    });
    EXPECT_EQ(attrs, faArchive | faReadOnly | 64);
}

TEST(DirectorySearch, ListsMatchesInByteOrderThroughTheMask)
{
    TTempDir dir;
    for (const char* name : {"b.htm", "a.HTM", "c.html", "\x93\xFA.htm", "Z.htm", "n.txt"})
        WriteBytes(dir / name, "x");
    WriteBytes(dir / ".h.htm", "x");
    std::filesystem::create_directory(dir / "d.htm");
    ASSERT_EQ(mkfifo((dir / "f.htm").c_str(), 0644), 0);

    EXPECT_EQ(
        Search(dir / "*.htm", faDirectory),
        (std::vector<std::string>{"Z.htm", "a.HTM", "b.htm", "c.html", "d.htm", "\x93\xFA.htm"}));
    EXPECT_EQ(Search(dir / "*.htm", 0),
              (std::vector<std::string>{"Z.htm", "a.HTM", "b.htm", "c.html", "\x93\xFA.htm"}));
}

TEST(DirectorySearch, FolderTests)
{
    TTempDir dir;
    std::filesystem::create_directory(dir / "empty");
    WriteBytes(dir / "plain", "x");
    struct Case {
        std::string Pattern;
        bool Found;
    };
    const Case cases[] = {
        {dir / "empty/*", true},    // its "." entry is a directory
        {dir / "missing/*", false}, // nothing to list
        {dir / "plain/*", false},   // a file is no folder
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Pattern);
        EXPECT_EQ(!Search(c.Pattern, faDirectory).empty(), c.Found);
    }
    EXPECT_EQ(Search(dir / "empty/*", faDirectory), (std::vector<std::string>{".", ".."}));
}

TEST(DirectorySearch, RelativePatternSearchesTheWorkingFolder)
{
    TTempDir dir;
    WriteBytes(dir / "page.htm", "x");
    TChdir here(dir.Path());
    EXPECT_EQ(Search("*.htm", faDirectory), (std::vector<std::string>{"page.htm"}));
}
