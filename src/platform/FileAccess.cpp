#include "FileAccess.h"

#include "CodePage.h"
#include "Exceptions.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool LockExclusive(int fd)
{
    int rc;
    do {
        rc = flock(fd, LOCK_EX | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    return rc == 0;
}

[[noreturn]] void RaiseOpenError(const AnsiString& name)
{
    throw EFOpenError(FormatFileMessage(Messages::FOpenError, name));
}

[[noreturn]] void RaiseCreateError(const AnsiString& name)
{
    throw EFCreateError(FormatFileMessage(Messages::FCreateError, name));
}

bool IsOneOf(const struct stat& st, const TFileIdentities& identities)
{
    for (const auto& id : identities)
        if (id.Device == st.st_dev && id.Inode == st.st_ino)
            return true;
    return false;
}

} // namespace

bool IdentityOf(const AnsiString& name, TFileIdentity& identity)
{
    struct stat st;
    if (stat(name.c_str(), &st) != 0)
        return false;
    identity = {st.st_dev, st.st_ino};
    return true;
}

TFileHandle::~TFileHandle()
{
    if (FFd >= 0)
        ::close(FFd);
}

TFileHandle& TFileHandle::operator=(TFileHandle&& other) noexcept
{
    if (this != &other) {
        if (FFd >= 0)
            ::close(FFd);
        FFd = other.FFd;
        other.FFd = -1;
    }
    return *this;
}

TFileHandle OpenSourceFile(const AnsiString& name)
{
    if (name.find('\0') != AnsiString::npos)
        RaiseOpenError(name);
    // Opening a device can have effects of its own, and a FIFO could stall the open, so only
    // what is a regular file already is opened, without blocking, and checked again once open.
    struct stat before;
    if (stat(name.c_str(), &before) != 0 || !S_ISREG(before.st_mode))
        RaiseOpenError(name);
    TFileHandle file(::open(name.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (file.Fd() < 0)
        RaiseOpenError(name);
    struct stat st;
    if (fstat(file.Fd(), &st) != 0 || !S_ISREG(st.st_mode))
        RaiseOpenError(name);
    if (!LockExclusive(file.Fd()))
        RaiseOpenError(name);
    return file;
}

TFileHandle CreateOutputFile(const AnsiString& name, const TFileIdentities& keepUnchanged)
{
    if (name.find('\0') != AnsiString::npos)
        RaiseCreateError(name);
    // Opening a device or FIFO can have effects of its own, so look before opening.
    struct stat before;
    if (lstat(name.c_str(), &before) == 0 && !S_ISREG(before.st_mode))
        RaiseCreateError(name);
    // No O_TRUNC: the bytes may only go once the lock is held and the file is known not to be
    // a source.
    TFileHandle file(::open(
        name.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, 0666));
    if (file.Fd() < 0)
        RaiseCreateError(name);
    struct stat st;
    if (fstat(file.Fd(), &st) != 0 || !S_ISREG(st.st_mode))
        RaiseCreateError(name);
    if (!LockExclusive(file.Fd()))
        RaiseCreateError(name);
    if (IsOneOf(st, keepUnchanged))
        RaiseCreateError(name);
    // An empty file needs no truncation, and on ext4 truncating one would still make its close
    // start writing back at once.
    if (st.st_size == 0)
        return file;
    int rc;
    do {
        rc = ftruncate(file.Fd(), 0);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0)
        RaiseCreateError(name);
    return file;
}

std::uint64_t FileSize(const TFileHandle& file)
{
    struct stat st;
    if (fstat(file.Fd(), &st) != 0)
        throw EReadError(Messages::ReadError);
    return static_cast<std::uint64_t>(st.st_size);
}

void ReadWhole(const TFileHandle& file, char* buffer, std::size_t count)
{
    std::size_t done = 0;
    while (done < count) {
        const ssize_t got = ::read(file.Fd(), buffer + done, count - done);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            throw EReadError(Messages::ReadError);
        done += static_cast<std::size_t>(got);
    }
    // A file that grew while it was read would lose its tail without a word; say so instead.
    char probe;
    ssize_t more;
    do {
        more = ::read(file.Fd(), &probe, 1);
    } while (more < 0 && errno == EINTR);
    if (more != 0)
        throw EReadError(Messages::ReadError);
}

void WriteWhole(const TFileHandle& file, const char* data, std::size_t count)
{
    std::size_t done = 0;
    while (done < count) {
        const ssize_t put = ::write(file.Fd(), data + done, count - done);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            throw EWriteError(Messages::WriteError);
        done += static_cast<std::size_t>(put);
    }
}

bool CreateFolder(const AnsiString& name)
{
    return ::mkdir(name.c_str(), 0777) == 0;
}
