#include "core/format/slotlog.h"

#include <cerrno>

namespace tallyra {

QByteArray ReadSlots(const QString& path, int slotBytes, qint64 maxBytes, FileError* error) {
    PositionedFile file;
    switch (OpenForReading(file, path)) {
        case ReadOpen::Missing:
            return {};
        case ReadOpen::Failed:
            if (error) *error = file.lastError();
            return {};
        case ReadOpen::Opened:
            break;
    }
    const qint64 size = file.size();
    if (size > maxBytes) {
        if (error) *error = FileError{path, EFBIG};
        return {};
    }
    return file.read(1, size / slotBytes * slotBytes);
}

qint64 AppendSlots(const QString& path, int slotBytes, QByteArrayView slots,
                   PositionedFile::Access access, FileError* error) {
    PositionedFile file;
    auto failed = [&] {
        if (error) *error = file.lastError();
        return qint64(0);
    };
    if (slots.isEmpty() || slots.size() % slotBytes != 0) return 0;
    if (!file.open(path, PositionedFile::Mode::ReadWrite, access)) return failed();
    const qint64 whole = file.size() / slotBytes;
    // A cut tail shorter than a slot is written over; a tail the new slots do not cover
    // would read as part of a slot, so it goes first.
    if (file.size() > whole * slotBytes + slots.size() && !file.truncate(whole * slotBytes))
        return failed();
    if (!file.write(whole * slotBytes + 1, slots)) return failed();
    // Slots that may not survive a power cut are not kept: the caller was told they failed.
    if (!file.sync()) {
        const FileError why = file.lastError();
        (void)file.truncate(whole * slotBytes);
        if (error) *error = why;
        return 0;
    }
    return whole + 1;
}

}  // namespace tallyra
