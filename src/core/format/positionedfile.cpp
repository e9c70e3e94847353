// What the data files' positioned access means on every system: the fault seam, the undo
// of a write that cannot finish, zeros past the end, fixed-width texts. The system calls
// themselves are in positionedfile_posix.cpp and positionedfile_win.cpp.
#include "core/format/positionedfile.h"

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "common/gbk.h"
#include "common/text.h"

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
    if (kind == Kind::Exit) std::_Exit(77);
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
            return QStringLiteral("磁盘已满");
        case EROFS:
        case EACCES:
        case EPERM:
            return QStringLiteral("只读或没有权限");
        case EBUSY:
            return QStringLiteral("被其他程序占用");
        default:
            return QString::fromLocal8Bit(std::strerror(code));
    }
}

QString NotSavedText(const QString& what) {
    return what + QStringLiteral("未能保存：磁盘已满或文件只读，请通知管理员");
}

PositionedFile::~PositionedFile() { close(); }

PositionedFile::PositionedFile(PositionedFile&& other) noexcept
    : handle_(std::exchange(other.handle_, kNoHandle)),
      path_(std::move(other.path_)),
      error_(other.error_) {}

PositionedFile& PositionedFile::operator=(PositionedFile&& other) noexcept {
    if (this != &other) {
        close();
        handle_ = std::exchange(other.handle_, kNoHandle);
        path_ = std::move(other.path_);
        error_ = other.error_;
    }
    return *this;
}

bool PositionedFile::fail(int code) {
    error_ = code;
    return false;
}

qint64 PositionedFile::readInto(qint64 position, char* out, qint64 length) const {
    if (length <= 0) return 0;
    const qint64 done = isOpen() && position >= 1 ? systemRead(position - 1, out, length) : 0;
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
    if (!isOpen()) return fail(error_ ? error_ : EBADF);
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
    int code = 0;
    systemWrite(offset, bytes.data(), wanted, code);
    if (fault == faults::Kind::Short) code = injected;
    if (code == 0) return true;
    // Overwriting bytes the file already holds needs no new space; cutting what the write
    // added gives back the space it took.
    int ignored = 0;
    systemWrite(offset, before.constData(), before.size(), ignored);
    if (size() > oldSize) systemTruncate(oldSize, ignored);
    return fail(code);
}

bool PositionedFile::sync() {
    if (!isOpen()) return fail(error_ ? error_ : EBADF);
    int injected = 0;
    if (faults::Next(injected) != faults::Kind::None) return fail(injected);
    int code = 0;
    return systemSync(code) || fail(code);
}

bool PositionedFile::truncate(qint64 length) {
    if (!isOpen()) return fail(error_ ? error_ : EBADF);
    int injected = 0;
    if (faults::Next(injected) != faults::Kind::None) return fail(injected);
    int code = 0;
    return systemTruncate(std::max<qint64>(length, 0), code) || fail(code);
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

QByteArray EncodeFixedText(const QString& text, qint64 width) {
    QByteArray bytes = EncodeGbkFitting(text, width);
    bytes.append(width - bytes.size(), ' ');
    return bytes;
}

bool PositionedFile::writeFixedText(qint64 position, qint64 width, const QString& text) {
    return write(position, EncodeFixedText(text, width));
}

void FileImage::fixedText(qint64 position, qint64 width, const QString& text) {
    place(position, EncodeFixedText(text, width));
}

}  // namespace tallyra
