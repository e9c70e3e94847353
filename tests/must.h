#pragma once

#include <QtGlobal>

#include "core/format/settings.h"
#include "core/roster.h"

namespace tallyra::test {

// Fixtures are written through the program's own writers; one that could not be written
// would make every check after it meaningless.
inline void Must(bool ok) {
    if (!ok) qFatal("a fixture file could not be written");
}
inline void Must(SettingsWrite w) { Must(w == SettingsWrite::Written); }
inline void Must(WriteResult w) { Must(w == WriteResult::Written); }

}  // namespace tallyra::test
