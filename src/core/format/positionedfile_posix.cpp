#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <utility>

#include "common/gbk.h"
#include "common/text.h"
#include "core/format/positionedfile.h"

namespace tallyra {

namespace faults {
namespace {
std::atomic<int> armedKind{int(Kind::None)};
std::atomic<int> armedAt{0};
std::atomic<int> armedCode{0};
std::atomic<int> counted{0};
}  // namespace

void Arm(Kind kind, int nth, int code) {
    counted = 0;
    armedAt = nth;
    armedCode = code;
    armedKind = int(kind);
}

void Disarm() { Arm(Kind::None, 0, 0); }

int WritesSoFar() { return counted; }

// What the seam does to this write: nothing, or the fault it was armed with.
Kind Next(int& code) {
    const int n = ++counted;
    const auto kind = Kind(armedKind.load());
    if (kind == Kind::None || n != armedAt) return Kind::None;
    if (kind == Kind::Exit) ::_exit(77);
    code = armedCode;
    return kind;
}
}  // namespace faults

QString FileError::reason() const {
    switch (code) {
        case 0:
            return {};
        case kNotRegularFile:
        case EISDIR:
        case ENXIO:
            return QStringLiteral("不是普通文件");
        case ENOENT:
        case ENOTDIR:
            return QStringLiteral("不存在");
        case ENOSPC:
        case EDQUOT:
            return QStringLiteral("磁盘已满");
        case EROFS:
        case EACCES:
        case EPERM:
            return QStringLiteral("只读或没有权限");
        default:
            return QString::fromLocal8Bit(std::strerror(code));
    }
}

QString NotSavedText(const QString& what) {
    return what + QStringLiteral("未能保存：磁盘已满或文件只读，请通知管理员");
}

PositionedFile::~PositionedFile() { close(); }

PositionedFile::PositionedFile(PositionedFile&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), path_(std::move(other.path_)), error_(other.error_) {}

PositionedFile& PositionedFile::operator=(PositionedFile&& other) noexcept {
    if (this != &other) {
        close();
        fd_ = std::exchange(other.fd_, -1);
        path_ = std::move(other.path_);
        error_ = other.error_;
    }
    return *this;
}

bool PositionedFile::fail(int code) {
    error_ = code;
    return false;
}

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
    if (fd < 0) return fail(errno);
    struct stat st;
    const int code = ::fstat(fd, &st) != 0 ? errno : S_ISREG(st.st_mode) ? 0 : kNotRegularFile;
    if (code != 0) {
        ::close(fd);
        return fail(code);
    }
    fd_ = fd;
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
    qint64 done = 0;
    while (fd_ >= 0 && position >= 1 && done < length) {
        const ssize_t got = ::pread(fd_, out + done, static_cast<size_t>(length - done),
                                    static_cast<off_t>(position - 1 + done));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        done += got;
    }
    // Only what the file did not have: scans read a mebibyte at a time.
    std::memset(out + done, 0, static_cast<size_t>(length - done));
    return done;
}

QByteArray PositionedFile::read(qint64 position, qint64 length) const {
    QByteArray bytes(length > 0 ? length : 0, '\0');
    readInto(position, bytes.data(), bytes.size());
    return bytes;
}

bool PositionedFile::write(qint64 position, QByteArrayView bytes) {
    if (fd_ < 0) return fail(error_ ? error_ : EBADF);
    if (position < 1) return fail(EINVAL);
    if (bytes.isEmpty()) return true;
    int injected = 0;
    const faults::Kind fault = faults::Next(injected);
    if (fault == faults::Kind::Fail) return fail(injected);
    // What the write covers now, so that a write the disk cannot complete is undone: a
    // status read back half old and half new would be a value nobody wrote.
    const qint64 oldSize = size();
    const qint64 offset = position - 1;
    const QByteArray before = read(position, std::clamp<qint64>(oldSize - offset, 0, bytes.size()));
    const qint64 wanted = fault == faults::Kind::Short ? bytes.size() / 2 : bytes.size();
    qint64 done = 0;
    int code = 0;
    while (done < wanted) {
        const ssize_t put = ::pwrite(fd_, bytes.data() + done, static_cast<size_t>(wanted - done),
                                     static_cast<off_t>(offset + done));
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) {
            code = put < 0 ? errno : ENOSPC;
            break;
        }
        done += put;
    }
    if (fault == faults::Kind::Short) code = injected;
    if (code == 0) return true;
    // Overwriting bytes the file already holds needs no new space; cutting what the write
    // added gives back the space it took.
    for (qint64 put = 0; put < before.size();) {
        const ssize_t n = ::pwrite(fd_, before.constData() + put, size_t(before.size() - put),
                                   static_cast<off_t>(offset + put));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        put += n;
    }
    if (size() > oldSize) {
        int r;
        do {
            r = ::ftruncate(fd_, static_cast<off_t>(oldSize));
        } while (r != 0 && errno == EINTR);
    }
    return fail(code);
}

bool PositionedFile::sync() {
    if (fd_ < 0) return fail(error_ ? error_ : EBADF);
    int injected = 0;
    if (faults::Next(injected) != faults::Kind::None) return fail(injected);
    int r;
    do {
        r = ::fdatasync(fd_);
    } while (r != 0 && errno == EINTR);
    return r == 0 || fail(errno);
}

bool PositionedFile::truncate(qint64 length) {
    if (fd_ < 0) return fail(error_ ? error_ : EBADF);
    int injected = 0;
    if (faults::Next(injected) != faults::Kind::None) return fail(injected);
    int r;
    do {
        r = ::ftruncate(fd_, static_cast<off_t>(std::max<qint64>(length, 0)));
    } while (r != 0 && errno == EINTR);
    return r == 0 || fail(errno);
}

ReadOpen OpenForReading(PositionedFile& file, const QString& path) {
    if (file.open(path, PositionedFile::Mode::ReadOnly)) return ReadOpen::Opened;
    return file.error() == ENOENT ? ReadOpen::Missing : ReadOpen::Failed;
}

QByteArray ReadDataFile(const QString& path, qint64 length, FileError* error) {
    PositionedFile file;
    if (OpenForReading(file, path) == ReadOpen::Failed && error) *error = file.lastError();
    return file.read(1, length);
}

bool ReadRegularFile(const QString& path, qint64 maxBytes, QByteArray& out, FileError* error) {
    PositionedFile file;
    auto refuse = [&](int code) {
        if (error) *error = FileError{path, code};
        return false;
    };
    if (!file.open(path, PositionedFile::Mode::ReadOnly)) return refuse(file.error());
    const qint64 size = file.size();
    if (size > maxBytes) return refuse(EFBIG);
    out = file.read(1, size);
    return true;
}

QString DecodeFixedText(QByteArrayView bytes) {
    const qsizetype zero = bytes.indexOf('\0');
    return TrimBlanks(DecodeGbk(zero < 0 ? bytes : bytes.first(zero)));
}

QString PositionedFile::readFixedText(qint64 position, qint64 width) const {
    return DecodeFixedText(read(position, width));
}

namespace {
QByteArray FixedField(qint64 width, const QString& text) {
    QByteArray bytes = EncodeGbkFitting(text, width);
    bytes.append(width - bytes.size(), ' ');
    return bytes;
}
}  // namespace

bool PositionedFile::writeFixedText(qint64 position, qint64 width, const QString& text) {
    return write(position, FixedField(width, text));
}

void FileImage::fixedText(qint64 position, qint64 width, const QString& text) {
    place(position, FixedField(width, text));
}

}  // namespace tallyra
