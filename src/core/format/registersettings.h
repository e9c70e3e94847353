#pragma once

#include <QString>

#include "core/format/datafolder.h"

namespace tallyra {

// What the monthly register remembers: the choice field it groups by and the school's name
// over the printed page. register.txt in the data folder, a text file of our own (UTF-8,
// `field=` and `school=` lines), so the system's files keep their layouts.
struct RegisterSettings {
    int field = 0;  // 9-11; 0 groups nobody
    QString school;
    bool operator==(const RegisterSettings&) const = default;
};

// A missing or unreadable file gives no grouping and no name.
RegisterSettings LoadRegisterSettings(const DataFolder& folder);
// False when the file could not be written; it then holds what it held before.
[[nodiscard]] bool SaveRegisterSettings(const DataFolder& folder, const RegisterSettings& settings);

}  // namespace tallyra
