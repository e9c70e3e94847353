#pragma once

#include <QByteArray>
#include <QString>

#include "core/format/positionedfile.h"

namespace tallyra {

// Files of fixed-size slots that are only ever appended to (calendar.dat, leave.dat): what
// was written stays as it was, so a change can always be read back, and a cut last slot (a
// write a power cut stopped) is not read and is written over by the next append.

// The whole slots of the file; a missing file has none. One that exists but cannot be read,
// or is larger than `maxBytes`, has none either, and `error` says why.
QByteArray ReadSlots(const QString& path, int slotBytes, qint64 maxBytes, FileError* error);

// Appends `slots` (whole slots) after the last whole slot, on the disk before it returns.
// The number (from 1) of the first slot written, or 0 when they could not be stored: the file
// then keeps the slots it had.
qint64 AppendSlots(const QString& path, int slotBytes, QByteArrayView slots,
                   PositionedFile::Access access, FileError* error = nullptr);

}  // namespace tallyra
