#pragma once

#include <QString>
#include <array>

#include "core/format/datafolder.h"
#include "core/format/positionedfile.h"

namespace tallyra {

struct FontChoice {
    QString name;
    float size = 0.0f;  // points; 0 = none stored (a damaged size also loads as 0)
    bool bold = false;
    bool italic = false;
    bool operator==(const FontChoice&) const = default;
};

// aset.dat as loaded. Each writer below changes only its own bytes of the file.
struct Settings {
    enum Option { SystemPrompt = 0, RecordOnTime = 1, SoundCues = 2 };
    static constexpr int kOptionCount = 13;

    std::array<quint8, kOptionCount> options{};  // 0 unticked, 1 ticked
    // List index of the decimals boxes for fields 3 and 5: 0-3, or -1 for no choice.
    std::array<int, 2> yearsPrecision{-1, -1};
    FontChoice popupFont;
    quint32 popupColour = 0;  // 0x00BBGGRR
    QString adminPassword;
    std::array<qint16, 26> rosterWidths{};
    std::array<qint16, 9> boardWidths{};
    FontChoice gridFont;

    bool option(int k) const { return k >= 0 && k < kOptionCount && options[size_t(k)] == 1; }
};

// `error` says when the file exists but cannot be read (everything then loads as zeros).
Settings LoadSettings(const DataFolder& folder, FileError* error = nullptr);

enum class SettingsWrite { Written, Failed, TooLong };

// Every field of the settings in one write: a new station's file.
[[nodiscard]] SettingsWrite SaveSettings(const DataFolder& folder, const Settings& settings);
[[nodiscard]] SettingsWrite SaveOptionBox(const DataFolder& folder, int k, bool ticked);
[[nodiscard]] SettingsWrite SavePrecision(const DataFolder& folder, int k, int listIndex);
[[nodiscard]] SettingsWrite SaveRosterColumnWidths(const DataFolder& folder,
                                                   const std::array<qint16, 26>& widths);
[[nodiscard]] SettingsWrite SaveSignInColumnWidths(const DataFolder& folder,
                                                   const std::array<qint16, 9>& widths);
[[nodiscard]] SettingsWrite SaveGridFont(const DataFolder& folder, const FontChoice& font);
[[nodiscard]] SettingsWrite SavePopupFont(const DataFolder& folder, const FontChoice& font);
[[nodiscard]] SettingsWrite SavePopupColour(const DataFolder& folder, quint32 colour);
// The password field holds 24 bytes and the column widths follow it: a longer password is
// refused (TooLong) and nothing is written.
[[nodiscard]] SettingsWrite SaveAdminPassword(const DataFolder& folder, const QString& password);

// A font size that can be applied; NaN, 0 and absurd values are no size.
bool IsUsableFontSize(float points);

}  // namespace tallyra
