// Linux: flock, rename(2), pwrite, fsync, fchmod.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <cerrno>
#include <cstdio>

#include "common/nativefile.h"

namespace tallyra {

bool LockExclusive(std::intptr_t handle) {
    // flock belongs to the open file description, so even a second open in this process is
    // refused.
    int r;
    do {
        r = ::flock(int(handle), LOCK_EX | LOCK_NB);
    } while (r != 0 && errno == EINTR);
    return r == 0;
}

LockProbe ProbeLock(const QString& path, bool writable) {
    const int fd = ::open(QFile::encodeName(path).constData(),
                          (writable ? O_RDWR : O_RDONLY) | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return LockProbe::CannotOpen;
    const bool free = LockExclusive(fd);
    ::close(fd);
    return free ? LockProbe::Free : LockProbe::Locked;
}

bool ReplaceFileOver(const QString& from, const QString& to) {
    return std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
}

qint64 WriteAt(int descriptor, qint64 offset, const char* data, qint64 length) {
    qint64 done = 0;
    while (done < length) {
        const ssize_t n =
            ::pwrite(descriptor, data + done, size_t(length - done), off_t(offset + done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += n;
    }
    return done;
}

bool SyncDescriptor(int descriptor) { return ::fsync(descriptor) == 0; }

void TakePermissionsOf(int descriptor, const QString& replaced) {
    struct stat st;
    if (::stat(QFile::encodeName(replaced).constData(), &st) == 0)
        ::fchmod(descriptor, st.st_mode & 07777);
    else
        ::fchmod(descriptor, 0644);
}

int ErrnoFromSystemError(unsigned long code) { return int(code); }

}  // namespace tallyra
