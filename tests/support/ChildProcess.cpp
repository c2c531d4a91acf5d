#include "ChildProcess.h"

#include <fcntl.h>
#include <sys/file.h>

TLockingChild::TLockingChild(const std::string& path)
{
    int ready[2];
    if (pipe(ready) != 0)
        throw std::runtime_error("pipe failed");
    FPid = fork();
    if (FPid < 0)
        throw std::runtime_error("fork failed");
    if (FPid == 0) {
        close(ready[0]);
        const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK);
        const char ok = (fd >= 0 && flock(fd, LOCK_EX) == 0) ? 'y' : 'n';
        if (write(ready[1], &ok, 1) != 1)
            _exit(1);
        pause();
        _exit(0);
    }
    close(ready[1]);
    char ok = 'n';
    const ssize_t got = read(ready[0], &ok, 1);
    close(ready[0]);
    if (got != 1 || ok != 'y')
        throw std::runtime_error("the locking child could not lock " + path);
}

TLockingChild::~TLockingChild()
{
    if (FPid > 0) {
        kill(FPid, SIGKILL);
        int status;
        waitpid(FPid, &status, 0);
    }
}
