#pragma once

#include <QStringList>

#include "core/format/datafolder.h"

namespace tallyra {

// Reads every data file of a folder, changing nothing, and lists each value that lies
// outside what the program writes ("Rw.dat record 7: choice 2 is 70, not 0-63").
QStringList CheckDataFolder(const DataFolder& folder);

}  // namespace tallyra
