// Positioned access through the POSIX calls: pread/pwrite at offsets, fdatasync, ftruncate.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "core/format/positionedfile.h"

namespace tallyra {

namespace {
// A quota that is used up is a full disk to the user.
int ErrnoNow() { return errno == EDQUOT ? ENOSPC : errno; }
}  // namespace

bool PositionedFile::open(const QString& path, Mode mode, Access access) {
    close();
    path_ = path;
    error_ = 0;
    const QByteArray native = path.toLocal8Bit();
    // O_NONBLOCK so that a FIFO put where a data file belongs cannot stop the program; it is
    // refused below. Regular files ignore the flag.
    const int flags = O_CLOEXEC | O_NOCTTY | O_NONBLOCK |
                      (mode == Mode::ReadWrite ? (O_RDWR | O_CREAT) : O_RDONLY);
    const mode_t permissions = access == Access::Private ? 0600 : 0644;
    int fd;
    do {
        fd = ::open(native.constData(), flags, permissions);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return fail(ErrnoNow());
    struct stat st;
    const int code = ::fstat(fd, &st) != 0 ? errno : S_ISREG(st.st_mode) ? 0 : kNotRegularFile;
    if (code != 0) {
        ::close(fd);
        return fail(code);
    }
    handle_ = fd;
    return true;
}

void PositionedFile::close() {
    if (isOpen()) ::close(int(handle_));
    handle_ = kNoHandle;
}

qint64 PositionedFile::size() const {
    struct stat st;
    if (!isOpen() || ::fstat(int(handle_), &st) != 0) return 0;
    return st.st_size;
}

qint64 PositionedFile::systemRead(qint64 offset, char* out, qint64 length) const {
    qint64 done = 0;
    while (done < length) {
        const ssize_t got = ::pread(int(handle_), out + done, static_cast<size_t>(length - done),
                                    static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        done += got;
    }
    return done;
}

qint64 PositionedFile::systemWrite(qint64 offset, const char* data, qint64 length, int& code) {
    qint64 done = 0;
    while (done < length) {
        const ssize_t put = ::pwrite(int(handle_), data + done, static_cast<size_t>(length - done),
                                     static_cast<off_t>(offset + done));
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) {
            code = put < 0 ? ErrnoNow() : ENOSPC;
            break;
        }
        done += put;
    }
    return done;
}

bool PositionedFile::systemTruncate(qint64 size, int& code) {
    int r;
    do {
        r = ::ftruncate(int(handle_), static_cast<off_t>(size));
    } while (r != 0 && errno == EINTR);
    if (r != 0) code = ErrnoNow();
    return r == 0;
}

bool PositionedFile::systemSync(int& code) {
    int r;
    do {
        r = ::fdatasync(int(handle_));
    } while (r != 0 && errno == EINTR);
    if (r != 0) code = ErrnoNow();
    return r == 0;
}

}  // namespace tallyra
