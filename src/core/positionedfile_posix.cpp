#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "common/gbk.h"
#include "common/text.h"
#include "core/positionedfile.h"

namespace tallyra {

PositionedFile::~PositionedFile() { close(); }

PositionedFile::PositionedFile(PositionedFile&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), path_(std::move(other.path_)) {}

PositionedFile& PositionedFile::operator=(PositionedFile&& other) noexcept {
    if (this != &other) {
        close();
        fd_ = std::exchange(other.fd_, -1);
        path_ = std::move(other.path_);
    }
    return *this;
}

bool PositionedFile::open(const QString& path, Mode mode) {
    close();
    const QByteArray native = path.toLocal8Bit();
    const int flags =
        mode == Mode::ReadWrite ? (O_RDWR | O_CREAT | O_CLOEXEC) : (O_RDONLY | O_CLOEXEC);
    int fd;
    do {
        fd = ::open(native.constData(), flags, 0644);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return false;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return false;
    }
    fd_ = fd;
    path_ = path;
    return true;
}

void PositionedFile::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

qint64 PositionedFile::size() const {
    struct stat st;
    if (fd_ < 0 || ::fstat(fd_, &st) != 0) return 0;
    return st.st_size;
}

qint64 PositionedFile::readInto(qint64 position, char* out, qint64 length) const {
    if (length <= 0) return 0;
    std::memset(out, 0, static_cast<size_t>(length));
    if (fd_ < 0 || position < 1) return 0;
    qint64 done = 0;
    while (done < length) {
        const ssize_t got = ::pread(fd_, out + done, static_cast<size_t>(length - done),
                                    static_cast<off_t>(position - 1 + done));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        done += got;
    }
    return done;
}

QByteArray PositionedFile::read(qint64 position, qint64 length) const {
    QByteArray bytes(length > 0 ? length : 0, '\0');
    readInto(position, bytes.data(), bytes.size());
    return bytes;
}

bool PositionedFile::write(qint64 position, QByteArrayView bytes) {
    if (fd_ < 0 || position < 1) return false;
    qint64 done = 0;
    while (done < bytes.size()) {
        const ssize_t put =
            ::pwrite(fd_, bytes.data() + done, static_cast<size_t>(bytes.size() - done),
                     static_cast<off_t>(position - 1 + done));
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return false;
        done += put;
    }
    return true;
}

QString DecodeFixedText(QByteArrayView bytes) {
    const qsizetype zero = bytes.indexOf('\0');
    return TrimBlanks(DecodeGbk(zero < 0 ? bytes : bytes.first(zero)));
}

QString PositionedFile::readFixedText(qint64 position, qint64 width) const {
    return DecodeFixedText(read(position, width));
}

bool PositionedFile::writeFixedText(qint64 position, qint64 width, const QString& text) {
    QByteArray bytes = EncodeGbkFitting(text, width);
    bytes.append(width - bytes.size(), ' ');
    return write(position, bytes);
}

}  // namespace tallyra
