#include "core/settingsstore.h"

namespace tallyra {

FileError SettingsStore::load() {
    FileError error;
    settings_ = LoadSettings(folder_, &error);
    return error;
}

template <typename Write, typename Keep>
StoreResult SettingsStore::change(Write&& write, Keep&& keep) {
    switch (write()) {
        case SettingsWrite::Written:
            keep(settings_);
            return StoreResult::Stored;
        case SettingsWrite::TooLong:
            return StoreResult::TooLong;
        case SettingsWrite::Failed:
            break;
    }
    return StoreResult::Failed;
}

StoreResult SettingsStore::setOption(int k, bool ticked) {
    return change([&] { return SaveOptionBox(folder_, k, ticked); },
                  [&](Settings& s) { s.options[size_t(k)] = ticked ? 1 : 0; });
}

StoreResult SettingsStore::setPrecision(int k, int listIndex) {
    return change([&] { return SavePrecision(folder_, k, listIndex); },
                  [&](Settings& s) { s.yearsPrecision[size_t(k)] = listIndex; });
}

StoreResult SettingsStore::setGridFont(const FontChoice& font) {
    return change([&] { return SaveGridFont(folder_, font); },
                  [&](Settings& s) { s.gridFont = font; });
}

StoreResult SettingsStore::setPopupFont(const FontChoice& font) {
    return change([&] { return SavePopupFont(folder_, font); },
                  [&](Settings& s) { s.popupFont = font; });
}

StoreResult SettingsStore::setPopupColour(quint32 colour) {
    return change([&] { return SavePopupColour(folder_, colour); },
                  [&](Settings& s) { s.popupColour = colour; });
}

StoreResult SettingsStore::setAdminPassword(const QString& password) {
    return change([&] { return SaveAdminPassword(folder_, password); },
                  [&](Settings& s) { s.adminPassword = password; });
}

StoreResult SettingsStore::setRosterWidths(const std::array<qint16, 26>& widths) {
    return change([&] { return SaveRosterColumnWidths(folder_, widths); },
                  [&](Settings& s) { s.rosterWidths = widths; });
}

StoreResult SettingsStore::setBoardWidths(const std::array<qint16, 9>& widths) {
    return change([&] { return SaveSignInColumnWidths(folder_, widths); },
                  [&](Settings& s) { s.boardWidths = widths; });
}

}  // namespace tallyra
