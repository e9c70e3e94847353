#pragma once

#include <array>

#include "core/format/datafolder.h"
#include "core/format/settings.h"
#include "core/storeresult.h"

namespace tallyra {

// aset.dat and the settings loaded from it. Each change writes only its own field.
class SettingsStore {
public:
    explicit SettingsStore(DataFolder folder) : folder_(std::move(folder)) {}

    // What the file holds; an error when it exists but cannot be read (everything is then
    // zeros, so nothing may be taken from it).
    FileError load();
    const Settings& get() const { return settings_; }
    bool option(int k) const { return settings_.option(k); }

    StoreResult setOption(int k, bool ticked);
    StoreResult setPrecision(int k, int listIndex);
    StoreResult setGridFont(const FontChoice& font);
    StoreResult setPopupFont(const FontChoice& font);
    StoreResult setPopupColour(quint32 colour);
    // TooLong for a password the 24-byte field cannot hold.
    StoreResult setAdminPassword(const QString& password);
    StoreResult setRosterWidths(const std::array<qint16, 26>& widths);
    StoreResult setBoardWidths(const std::array<qint16, 9>& widths);

private:
    template <typename Write, typename Keep>
    StoreResult change(Write&& write, Keep&& keep);

    DataFolder folder_;
    Settings settings_;
};

}  // namespace tallyra
