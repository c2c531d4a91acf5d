#pragma once

#include "AnsiString.h"

#include <cstdint>
#include <string_view>
#include <vector>

// The attribute bits a directory search reports for an entry.
enum : std::uint32_t {
    faReadOnly = 1,
    faHidden = 2,
    faSysFile = 4,
    faVolumeId = 8,
    faDirectory = 16,
    faArchive = 32,
};

struct TSearchRec {
    std::uint32_t Attr = 0;
    AnsiString Name;
};

// Whether a name matches a wildcard pattern: '*' any run of bytes, '?' any one byte, ASCII
// letters without regard to case. A pattern ending in ".htm" also takes names ending in ".html",
// as the pattern does on drives that keep short names.
bool MatchesPattern(std::string_view name, std::string_view pattern);

// The filter of the search: an entry with none of hidden, system and directory is returned,
// and so is one that shares one of those three bits with the mask.
bool AdmittedByMask(std::uint32_t attr, std::uint32_t mask);

// A directory search over one folder: "pattern" may carry a folder part ("./NewFile/*").
// Entries come in ascending byte order of their names, so every run lists the same way. A
// folder that cannot be listed gives no entry; the search raises nothing.
class TDirectorySearch {
public:
    TDirectorySearch(const AnsiString& pattern, std::uint32_t mask);
    ~TDirectorySearch();
    TDirectorySearch(const TDirectorySearch&) = delete;
    TDirectorySearch& operator=(const TDirectorySearch&) = delete;

    // The next admitted entry; false at the end.
    bool Next(TSearchRec& entry);

private:
    AnsiString FFolder;
    std::uint32_t FMask;
    std::vector<AnsiString> FNames;
    std::size_t FNext = 0;
    int FFolderFd = -1;
};

// The attribute word of one entry of an open folder, as the search reports it:
// directory 16 (links followed), hidden 2 for a name beginning with ".", read-only 1 when the
// process may not write it, archive 32 on regular files, system 4 on anything that is neither a
// regular file nor a directory (FIFO, socket, device, dangling link).
std::uint32_t AttributesOf(int folderFd, const AnsiString& name);
