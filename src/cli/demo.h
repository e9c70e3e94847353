#pragma once

#include <QDate>
#include <QString>

#include "core/format/datafolder.h"

namespace tallyra {

// Fills an empty folder with a small school: about 40 people, six windows, field titles
// and settings, every file written through the program's own writers. Refuses a folder
// that already holds a roster; returns the error text or an empty string.
QString WriteDemoFolder(const DataFolder& folder, const QDate& today);

}  // namespace tallyra
