#pragma once

#include <QByteArray>
#include <QString>
#include <QtEndian>
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <type_traits>

namespace tallyra {

// Why a data file could not be opened, read or written, as the user is told it.
struct FileError {
    QString path;
    int code = 0;  // an errno value (the Windows build maps its errors to them), or kNotRegularFile
    bool failed() const { return code != 0; }
    QString reason() const;
};
// A folder, FIFO or device where a data file belongs.
constexpr int kNotRegularFile = -1;

// The one wording of a store that failed: what was not saved, and what the user can do.
QString NotSavedText(const QString& what);

// Positioned access to the fixed-layout data files. Positions are 1-based byte positions,
// numbers little-endian, bytes past the end of the file read as zero, and every write goes
// to the operating system at once: nothing is buffered inside the program, so a crash
// right after a write loses nothing. A write covers exactly the bytes it is given, and a
// write that cannot be completed is undone: the bytes it covers keep their old value and
// a file it would have grown keeps its old size.
class PositionedFile {
public:
    enum class Mode { ReadWrite, ReadOnly };
    // Files that hold passwords are created readable by their owner only.
    enum class Access { Shared, Private };

    PositionedFile() = default;
    ~PositionedFile();
    PositionedFile(const PositionedFile&) = delete;
    PositionedFile& operator=(const PositionedFile&) = delete;
    PositionedFile(PositionedFile&& other) noexcept;
    PositionedFile& operator=(PositionedFile&& other) noexcept;

    // ReadWrite creates a missing file empty. Programs we start never inherit the file (or
    // its lock), and the open never waits: a FIFO or device in place of the file is refused
    // (error() is kNotRegularFile).
    bool open(const QString& path, Mode mode = Mode::ReadWrite, Access access = Access::Shared);
    void close();
    bool isOpen() const { return handle_ != kNoHandle; }
    // The descriptor (Linux) or HANDLE (Windows) of the open file.
    std::intptr_t handle() const { return handle_; }
    const QString& path() const { return path_; }
    qint64 size() const;
    // The errno value of the last open, write, sync or truncate that failed.
    int error() const { return error_; }
    FileError lastError() const { return FileError{path_, error_}; }

    QByteArray read(qint64 position, qint64 length) const;
    // Reads into `out`, zero-filling what lies past the end; returns the bytes the file had.
    qint64 readInto(qint64 position, char* out, qint64 length) const;
    [[nodiscard]] bool write(qint64 position, QByteArrayView bytes);
    // The written data on the disk (fdatasync, FlushFileBuffers), for what must survive a
    // power cut.
    [[nodiscard]] bool sync();
    [[nodiscard]] bool truncate(qint64 size);

    template <typename T>
    T readNumber(qint64 position) const {
        static_assert(std::is_arithmetic_v<T>);
        char raw[sizeof(T)];
        readInto(position, raw, sizeof(T));
        return FromLittle<T>(raw);
    }

    template <typename T>
    [[nodiscard]] bool writeNumber(qint64 position, T value) {
        static_assert(std::is_arithmetic_v<T>);
        char raw[sizeof(T)];
        ToLittle(value, raw);
        return write(position, QByteArrayView(raw, sizeof(T)));
    }

    // A fixed-width text field: code page 936, cut at the first zero byte, blanks trimmed.
    QString readFixedText(qint64 position, qint64 width) const;
    // Blank-padded to `width` bytes; a longer text is cut at a character boundary.
    [[nodiscard]] bool writeFixedText(qint64 position, qint64 width, const QString& text);

    template <typename T>
    static T FromLittle(const char* raw) {
        if constexpr (std::is_floating_point_v<T>) {
            using U = std::conditional_t<sizeof(T) == 4, quint32, quint64>;
            const U bits = qFromLittleEndian<U>(raw);
            T v;
            std::memcpy(&v, &bits, sizeof v);
            return v;
        } else {
            return qFromLittleEndian<T>(raw);
        }
    }

    template <typename T>
    static void ToLittle(T value, char* raw) {
        if constexpr (std::is_floating_point_v<T>) {
            using U = std::conditional_t<sizeof(T) == 4, quint32, quint64>;
            U bits;
            std::memcpy(&bits, &value, sizeof bits);
            qToLittleEndian<U>(bits, raw);
        } else {
            qToLittleEndian<T>(value, raw);
        }
    }

private:
    static constexpr std::intptr_t kNoHandle = -1;  // INVALID_HANDLE_VALUE on Windows too
    bool fail(int code);
    // The system's calls, in positionedfile_posix.cpp or positionedfile_win.cpp. Each keeps
    // going until it is done or fails; `code` is the errno value of the failure.
    qint64 systemRead(qint64 offset, char* out, qint64 length) const;
    qint64 systemWrite(qint64 offset, const char* data, qint64 length, int& code);
    bool systemTruncate(qint64 size, int& code);
    bool systemSync(int& code);

    std::intptr_t handle_ = kNoHandle;
    QString path_;
    int error_ = 0;
};

// The first bytes of a file as they are, changed field by field in memory and written back
// in one write, so a save of many fields leaves either all of them or none.
class FileImage {
public:
    FileImage(const PositionedFile& file, qint64 length) : bytes_(file.read(1, length)) {}

    template <typename T>
    void number(qint64 position, T value) {
        char raw[sizeof(T)];
        PositionedFile::ToLittle(value, raw);
        place(position, QByteArrayView(raw, sizeof(T)));
    }
    void bytes(qint64 position, QByteArrayView raw) { place(position, raw); }
    // Blank-padded to `width` bytes, cut at a character boundary.
    void fixedText(qint64 position, qint64 width, const QString& text);
    [[nodiscard]] bool writeTo(PositionedFile& file) const { return file.write(1, bytes_); }

private:
    void place(qint64 position, QByteArrayView bytes) {
        if (!bytes.isEmpty() && position >= 1 && position - 1 + bytes.size() <= bytes_.size())
            std::memcpy(bytes_.data() + position - 1, bytes.data(), size_t(bytes.size()));
    }
    QByteArray bytes_;
};

// How a reader opens a data file: a missing file is no error (it reads as zeros), one that
// exists but cannot be read is.
enum class ReadOpen { Opened, Missing, Failed };
ReadOpen OpenForReading(PositionedFile& file, const QString& path);

// The first `length` bytes of a data file, read-only, zeros past its end; a missing file is
// all zeros. One that exists but cannot be read is all zeros too, and says so in `error`.
QByteArray ReadDataFile(const QString& path, qint64 length, FileError* error = nullptr);

// The whole of a regular file of at most `maxBytes`, without waiting on a FIFO or reading
// a device without end. False (with the reason) when it is not such a file.
bool ReadRegularFile(const QString& path, qint64 maxBytes, QByteArray& out, FileError* error);

// Test seam: makes the n-th write from now (counting every PositionedFile::write, sync and
// truncate of the process) fail as a full disk or a read-only file would, write only part
// of its bytes first, or end the process before it, as a kill or a power cut would.
namespace faults {
enum class Kind { None, Fail, Short, Exit };
void Arm(Kind kind, int nth, int code = 28 /* ENOSPC */);
void Disarm();
int WritesSoFar();  // counted since the last Arm or Disarm
}  // namespace faults

// Up to `length` bytes from `position` (0-based), clipped to the view.
inline QByteArrayView SliceBytes(QByteArrayView bytes, qsizetype position, qsizetype length) {
    if (position < 0 || position >= bytes.size() || length <= 0) return {};
    return bytes.sliced(position, std::min(length, bytes.size() - position));
}

// Fixed-width text from raw bytes, as PositionedFile::readFixedText reads it.
QString DecodeFixedText(QByteArrayView bytes);
// Text as PositionedFile::writeFixedText writes it: GBK cut to `width` bytes without
// splitting a character, filled out with spaces.
QByteArray EncodeFixedText(const QString& text, qint64 width);

}  // namespace tallyra
