#pragma once

#include <QDate>

#include "core/format/datafolder.h"
#include "core/format/positionedfile.h"

namespace tallyra {

// urs.dat: the day of the last start.
// The last start stored in urs.dat, or an invalid date when none is (or it cannot be read:
// then `error` says why).
QDate ReadLastStart(const DataFolder& folder, FileError* error = nullptr);
// Stores `day` as the last start; the error when it could not be.
[[nodiscard]] FileError WriteLastStart(const DataFolder& folder, const QDate& day);

}  // namespace tallyra
