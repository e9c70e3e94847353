#pragma once

#include "core/format/datafolder.h"
#include "core/format/positionedfile.h"
#include "core/format/settings.h"

namespace tallyra {

// What a new station starts from: the field table's titles and use, window names "一" …
// "六", and settings at which every shown column can be read.
Settings DefaultSettings();

// The width in twips at which a column shows its title: wide characters count twice.
qint16 TitleWidth(const QString& title);

// Writes each definitions, element, settings and time-window file that does not exist yet,
// or holds nothing (what a first start wrote until now), with those defaults. A file that
// holds anything, even a short one, is left as it is. The error of the first one that
// could not be written.
[[nodiscard]] FileError WriteMissingDefaults(const DataFolder& folder);

}  // namespace tallyra
