#pragma once

#include <QByteArray>
#include <QString>
#include <QtEndian>
#include <algorithm>
#include <cstring>
#include <type_traits>

namespace tallyra {

// Positioned access to the fixed-layout data files. Positions are 1-based byte positions,
// numbers little-endian, bytes past the end of the file read as zero, and every write goes
// to the operating system at once: nothing is buffered inside the program, so a crash
// right after a write loses nothing. A write covers exactly the bytes it is given.
class PositionedFile {
public:
    enum class Mode { ReadWrite, ReadOnly };

    PositionedFile() = default;
    ~PositionedFile();
    PositionedFile(const PositionedFile&) = delete;
    PositionedFile& operator=(const PositionedFile&) = delete;
    PositionedFile(PositionedFile&& other) noexcept;
    PositionedFile& operator=(PositionedFile&& other) noexcept;

    // ReadWrite creates a missing file empty. Opens with close-on-exec, so programs we start
    // never inherit a data file (or its lock).
    bool open(const QString& path, Mode mode = Mode::ReadWrite);
    void close();
    bool isOpen() const { return fd_ >= 0; }
    int handle() const { return fd_; }
    const QString& path() const { return path_; }
    qint64 size() const;

    QByteArray read(qint64 position, qint64 length) const;
    // Reads into `out`, zero-filling what lies past the end; returns the bytes the file had.
    qint64 readInto(qint64 position, char* out, qint64 length) const;
    bool write(qint64 position, QByteArrayView bytes);

    template <typename T>
    T readNumber(qint64 position) const {
        static_assert(std::is_arithmetic_v<T>);
        char raw[sizeof(T)];
        readInto(position, raw, sizeof(T));
        return FromLittle<T>(raw);
    }

    template <typename T>
    bool writeNumber(qint64 position, T value) {
        static_assert(std::is_arithmetic_v<T>);
        char raw[sizeof(T)];
        ToLittle(value, raw);
        return write(position, QByteArrayView(raw, sizeof(T)));
    }

    // A fixed-width text field: code page 936, cut at the first zero byte, blanks trimmed.
    QString readFixedText(qint64 position, qint64 width) const;
    // Blank-padded to `width` bytes; a longer text is cut at a character boundary.
    bool writeFixedText(qint64 position, qint64 width, const QString& text);

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
    int fd_ = -1;
    QString path_;
};

// Up to `length` bytes from `position` (0-based), clipped to the view.
inline QByteArrayView SliceBytes(QByteArrayView bytes, qsizetype position, qsizetype length) {
    if (position < 0 || position >= bytes.size() || length <= 0) return {};
    return bytes.sliced(position, std::min(length, bytes.size() - position));
}

// Fixed-width text from raw bytes, as PositionedFile::readFixedText reads it.
QString DecodeFixedText(QByteArrayView bytes);

}  // namespace tallyra
