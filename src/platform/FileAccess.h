#pragma once

#include "AnsiString.h"

#include <cstddef>
#include <cstdint>
#include <sys/types.h>
#include <vector>

// Whole-file access without sharing. Names are used exactly as passed (relative names from the
// working folder); error messages name them decoded for display.

// The identity of a file on disk, so that two paths can be told to reach the same bytes.
struct TFileIdentity {
    dev_t Device = 0;
    ino_t Inode = 0;
    friend bool operator==(const TFileIdentity&, const TFileIdentity&) = default;
};
using TFileIdentities = std::vector<TFileIdentity>;

// The identity of what a name reaches (links followed); false when it reaches nothing.
bool IdentityOf(const AnsiString& name, TFileIdentity& identity);

// An open file descriptor holding an exclusive lock; closed (and so unlocked) on destruction.
class TFileHandle {
public:
    TFileHandle() = default;
    explicit TFileHandle(int fd) noexcept : FFd(fd) {}
    ~TFileHandle();
    TFileHandle(TFileHandle&& other) noexcept : FFd(other.FFd) { other.FFd = -1; }
    TFileHandle& operator=(TFileHandle&& other) noexcept;
    TFileHandle(const TFileHandle&) = delete;
    TFileHandle& operator=(const TFileHandle&) = delete;

    int Fd() const noexcept { return FFd; }

private:
    int FFd = -1;
};

// Opens a source for reading. Only a regular file is opened, and only when no other process
// holds a lock on it; a directory, FIFO, socket or device fails at once without blocking.
// Raises EFOpenError ("ﾌｧｲﾙ %s は開けません") naming the file.
TFileHandle OpenSourceFile(const AnsiString& name);

// Creates an output file, or replaces one, for writing. A symbolic link in its place, anything
// that is not a regular file, a file locked by another process, and a file that is one of
// `keepUnchanged` (a source reached through a link) all fail before a byte is truncated.
// Raises EFCreateError ("ﾌｧｲﾙ %s を作成できません") naming the path as passed.
TFileHandle CreateOutputFile(const AnsiString& name, const TFileIdentities& keepUnchanged = {});

// The size of an open file in bytes.
std::uint64_t FileSize(const TFileHandle& file);

// Reads exactly `count` bytes from the start of the file. Raises EReadError
// ("ｽﾄﾘｰﾑからの読み込みｴﾗｰ") when the file ends early, fails, or turns out longer than `count`
// (it changed while being read).
void ReadWhole(const TFileHandle& file, char* buffer, std::size_t count);

// Writes all `count` bytes, repeating a write that stops short. Raises EWriteError
// ("ｽﾄﾘｰﾑへの書き込みｴﾗｰ") when not all of them reach the file.
void WriteWhole(const TFileHandle& file, const char* data, std::size_t count);

// Creates a folder; whether it worked is the caller's business.
bool CreateFolder(const AnsiString& name);
