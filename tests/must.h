#pragma once

#include <QtGlobal>

#include "core/format/daystatus.h"
#include "core/format/settings.h"
#include "core/roster.h"
#include "core/storeresult.h"

namespace tallyra::test {

// Fixtures are written through the program's own writers; one that could not be written
// would make every check after it meaningless.
inline void Must(bool ok) {
    if (!ok) qFatal("a fixture file could not be written");
}
inline void Must(SettingsWrite w) { Must(w == SettingsWrite::Written); }
inline void Must(WriteResult w) { Must(w == WriteResult::Written); }
inline void Must(StoreResult r) { Must(r == StoreResult::Stored); }

// A status written into shuju.dat beside a running station, as a kill after the write
// would leave it.
inline void WriteStatus(const DataFolder& folder, int index, int window, qint16 status) {
    PositionedFile f;
    Must(f.open(folder.dayStatus()) &&
         f.writeNumber<qint16>(DayStatusFile::Position(index, window), status));
}

}  // namespace tallyra::test
