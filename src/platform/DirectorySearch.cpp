#include "DirectorySearch.h"

#include <algorithm>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

char Fold(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Iterative wildcard match with one back-tracking point per '*': linear in practice and never
// exponential, whatever the name.
bool WildcardMatch(std::string_view name, std::string_view pattern)
{
    std::size_t n = 0, p = 0;
    std::size_t starP = std::string_view::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (p < pattern.size() && (pattern[p] == '?' || Fold(pattern[p]) == Fold(name[n]))) {
            ++p;
            ++n;
        } else if (starP != std::string_view::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

bool EndsWithFolded(std::string_view s, std::string_view tail)
{
    if (s.size() < tail.size())
        return false;
    for (std::size_t i = 0; i < tail.size(); ++i)
        if (Fold(s[s.size() - tail.size() + i]) != Fold(tail[i]))
            return false;
    return true;
}

} // namespace

bool MatchesPattern(std::string_view name, std::string_view pattern)
{
    if (WildcardMatch(name, pattern))
        return true;
    return EndsWithFolded(pattern, ".htm") && EndsWithFolded(name, ".html") &&
           WildcardMatch(name.substr(0, name.size() - 1), pattern);
}

bool AdmittedByMask(std::uint32_t attr, std::uint32_t mask)
{
    const std::uint32_t special = faHidden | faSysFile | faDirectory;
    return (attr & special) == 0 || (attr & special & mask) != 0;
}

std::uint32_t AttributesOf(int folderFd, const AnsiString& name)
{
    std::uint32_t attr = 0;
    if (!name.empty() && name[0] == '.')
        attr |= faHidden;
    struct stat st;
    if (fstatat(folderFd, name.c_str(), &st, 0) != 0)
        return attr | faSysFile; // a dangling link, or gone since the listing
    if (S_ISDIR(st.st_mode))
        attr |= faDirectory;
    else if (S_ISREG(st.st_mode))
        attr |= faArchive;
    else
        attr |= faSysFile;
    if (faccessat(folderFd, name.c_str(), W_OK, AT_EACCESS) != 0)
        attr |= faReadOnly;
    return attr;
}

TDirectorySearch::TDirectorySearch(const AnsiString& pattern, std::uint32_t mask) : FMask(mask)
{
    const auto slash = pattern.rfind('/');
    FFolder = slash == AnsiString::npos ? AnsiString(".") : pattern.substr(0, slash);
    if (FFolder.empty())
        FFolder = "/";
    const std::string_view filePattern = slash == AnsiString::npos
                                             ? std::string_view(pattern)
                                             : std::string_view(pattern).substr(slash + 1);

    FFolderFd = ::open(FFolder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (FFolderFd < 0)
        return;
    const int listFd = ::dup(FFolderFd);
    DIR* dir = listFd >= 0 ? fdopendir(listFd) : nullptr;
    if (!dir) {
        if (listFd >= 0)
            ::close(listFd);
        return;
    }
    while (const dirent* e = readdir(dir)) {
        std::string_view name(e->d_name);
        if (MatchesPattern(name, filePattern))
            FNames.emplace_back(name);
    }
    closedir(dir);
    std::sort(FNames.begin(), FNames.end());
}

TDirectorySearch::~TDirectorySearch()
{
    if (FFolderFd >= 0)
        ::close(FFolderFd);
}

bool TDirectorySearch::Next(TSearchRec& entry)
{
    while (FNext < FNames.size()) {
        const AnsiString& name = FNames[FNext++];
        const std::uint32_t attr = AttributesOf(FFolderFd, name);
        if (AdmittedByMask(attr, FMask)) {
            entry.Attr = attr;
            entry.Name = name;
            return true;
        }
    }
    return false;
}
