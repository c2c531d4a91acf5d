// The start-up scan over a folder made from the input: regular files, folders, FIFOs, sockets,
// links to each of those, dangling links and link loops, under names of any bytes, hidden or
// not, with and without a page ending. The scan runs as the window runs it, "*.htm" through the
// directory mask with plain folders skipped, and must give exactly the entries an independent
// look at the folder gives, in byte order, each matching the pattern and none of them a FIFO,
// a socket or a link that reaches nothing. Nothing may block: a FIFO is never opened.
//
// Input, per entry: a kind byte, a name length byte, the name's bytes ('/' and the zero byte,
// which no name can hold, become other bytes), and an ending byte.

#include "DirectorySearch.h"
#include "FuzzCheck.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

enum class TKind {
    File,
    Folder,
    Fifo,
    Socket,
    LinkToFile,
    LinkToFolder,
    LinkToFifo,
    Dangling,
    Loop,
    HardLink
};
constexpr int KindCount = 10;

// Never returned by the scan, whatever their names: opening any of them could block or fail.
bool IsSpecial(TKind kind)
{
    return kind == TKind::Fifo || kind == TKind::Socket || kind == TKind::LinkToFifo ||
           kind == TKind::Dangling || kind == TKind::Loop;
}

std::string Base;

bool Make(TKind kind, const std::string& name)
{
    switch (kind) {
    case TKind::File: {
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
        if (fd < 0)
            return false;
        ::close(fd);
        return true;
    }
    case TKind::Folder:
        return ::mkdir(name.c_str(), 0755) == 0;
    case TKind::Fifo:
        return ::mkfifo(name.c_str(), 0644) == 0;
    case TKind::Socket: {
        sockaddr_un addr{};
        if (name.size() >= sizeof addr.sun_path)
            return false;
        addr.sun_family = AF_UNIX;
        std::copy(name.begin(), name.end(), addr.sun_path);
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        const bool ok = fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
        if (fd >= 0)
            ::close(fd);
        return ok;
    }
    case TKind::LinkToFile:
        return ::symlink((Base + "/targets/file").c_str(), name.c_str()) == 0;
    case TKind::LinkToFolder:
        return ::symlink((Base + "/targets/folder").c_str(), name.c_str()) == 0;
    case TKind::LinkToFifo:
        return ::symlink((Base + "/targets/fifo").c_str(), name.c_str()) == 0;
    case TKind::Dangling:
        return ::symlink((Base + "/targets/nothing").c_str(), name.c_str()) == 0;
    case TKind::Loop:
        return ::symlink(name.c_str(), name.c_str()) == 0;
    case TKind::HardLink:
        return ::link((Base + "/targets/file").c_str(), name.c_str()) == 0;
    }
    return false;
}

void EmptyWorkFolder()
{
    DIR* dir = ::opendir(".");
    FuzzCheck(dir != nullptr, "the work folder can be listed");
    std::vector<std::string> names;
    while (const dirent* e = ::readdir(dir)) {
        const std::string name = e->d_name;
        if (name != "." && name != "..")
            names.push_back(name);
    }
    ::closedir(dir);
    for (const std::string& name : names) {
        if (::unlink(name.c_str()) != 0)
            FuzzCheck(::rmdir(name.c_str()) == 0, "an entry of the work folder can go");
    }
}

// The pattern "*.htm" as the user knows it: the name ends in ".htm" or ".html", any case.
bool LooksLikeAPage(const std::string& name)
{
    std::string lower = name;
    for (char& c : lower)
        c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    auto endsWith = [&](const std::string& tail) {
        return lower.size() >= tail.size() &&
               lower.compare(lower.size() - tail.size(), tail.size(), tail) == 0;
    };
    return endsWith(".htm") || endsWith(".html");
}

// What the window lists, found without the directory search: every page-like name whose entry
// is a regular file, or a folder that is hidden or read-only, in byte order.
std::vector<std::pair<std::string, std::uint32_t>> Expected()
{
    std::vector<std::pair<std::string, std::uint32_t>> listed;
    DIR* dir = ::opendir(".");
    while (const dirent* e = ::readdir(dir)) {
        const std::string name = e->d_name;
        if (!LooksLikeAPage(name))
            continue;
        struct stat st;
        std::uint32_t attr = name[0] == '.' ? faHidden : 0;
        if (::stat(name.c_str(), &st) != 0) {
            attr |= faSysFile;
        } else {
            attr |= S_ISDIR(st.st_mode) ? faDirectory : S_ISREG(st.st_mode) ? faArchive : faSysFile;
            if (::access(name.c_str(), W_OK) != 0)
                attr |= faReadOnly;
        }
        const bool admitted =
            (attr & (faHidden | faSysFile | faDirectory)) == 0 || (attr & faDirectory) != 0;
        if (admitted && attr != faDirectory)
            listed.emplace_back(name, attr);
    }
    ::closedir(dir);
    std::sort(listed.begin(), listed.end());
    return listed;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/wordmill-fuzz-XXXXXX";
    FuzzCheck(::mkdtemp(pattern.data()) != nullptr, "a temp folder");
    Base = pattern;
    FuzzCheck(::mkdir((Base + "/targets").c_str(), 0755) == 0, "the link targets' folder");
    FuzzCheck(::mkdir((Base + "/targets/folder").c_str(), 0755) == 0, "a folder to link to");
    FuzzCheck(::mkfifo((Base + "/targets/fifo").c_str(), 0644) == 0, "a FIFO to link to");
    const int fd = ::open((Base + "/targets/file").c_str(), O_WRONLY | O_CREAT, 0644);
    FuzzCheck(fd >= 0, "a file to link to");
    ::close(fd);
    FuzzCheck(::mkdir((Base + "/work").c_str(), 0755) == 0, "the work folder");
    FuzzCheck(::chdir((Base + "/work").c_str()) == 0, "into the work folder");
    // A failed check aborts and leaves the folder for a look; a run that ends well removes it.
    std::atexit([] {
        std::error_code ec;
        std::filesystem::remove_all(Base, ec);
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const char* const endings[] = {"", ".htm", ".html", ".HTM", ".hTmL", ".htmx", ".ht"};
    std::map<std::string, TKind> made;
    std::size_t at = 0;
    auto byte = [&]() -> std::uint8_t { return at < size ? data[at++] : 0; };
    while (at < size && made.size() < 32) {
        const std::uint8_t kindByte = byte();
        const auto kind = static_cast<TKind>(kindByte % KindCount);
        const bool hidden = (kindByte & 0x80) != 0;
        const std::size_t length = byte() % 40;
        std::string name = hidden ? "." : "";
        for (std::size_t i = 0; i < length && at < size; ++i) {
            char c = static_cast<char>(byte());
            if (c == '/')
                c = '\\';
            if (c == '\0')
                c = '\x01';
            name += c;
        }
        name += endings[byte() % 7];
        if (name.empty() || name == "." || name == ".." || name.size() > 255 || made.count(name))
            continue;
        if (Make(kind, name))
            made[name] = kind;
    }

    std::vector<std::pair<std::string, std::uint32_t>> listed;
    TDirectorySearch search("*.htm", faDirectory);
    TSearchRec entry;
    while (search.Next(entry)) {
        if (entry.Attr == faDirectory)
            continue;
        listed.emplace_back(entry.Name, entry.Attr);
        if (listed.size() == 500)
            break;
    }

    for (std::size_t i = 0; i < listed.size(); ++i) {
        const std::string& name = listed[i].first;
        FuzzCheck(i == 0 || listed[i - 1].first < name, "names in ascending byte order");
        FuzzCheck(MatchesPattern(name, "*.htm"), "each name matches the pattern");
        FuzzCheck(LooksLikeAPage(name), "each name ends in .htm or .html");
        const auto it = made.find(name);
        FuzzCheck(it != made.end(), "each name is one this input made");
        FuzzCheck(!IsSpecial(it->second), "no FIFO, socket or link to nothing is listed");
    }
    const auto expected = Expected();
    if (listed != expected) {
        for (const auto& [name, attr] : listed)
            std::fprintf(stderr, "listed   %s attr %u\n", name.c_str(), attr);
        for (const auto& [name, attr] : expected)
            std::fprintf(stderr, "expected %s attr %u\n", name.c_str(), attr);
    }
    FuzzCheck(listed == expected, "the scan lists what a look at the folder finds");
    EmptyWorkFolder();
    return 0;
}
