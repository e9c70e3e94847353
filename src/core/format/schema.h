#pragma once

#include <QString>
#include <array>

#include "core/format/datafolder.h"
#include "core/format/fields.h"
#include "core/format/positionedfile.h"

namespace tallyra {

constexpr int kChoiceFields = 3;  // fields 9, 10, 11
constexpr int kChoiceSlots = 64;

// Titles, use and labels of the 25 roster fields, and the element lists of fields 9-11.
// Texts are held trimmed.
struct Schema {
    std::array<QString, kFieldCount> titles;
    std::array<quint8, kFieldCount> enabled{};
    std::array<qint16, kChoiceFields> choiceCounts{};
    // Entries 0-6: first labels of fields 19-25; entries 7-13: their second labels.
    std::array<QString, 14> twoValueLabels;
    std::array<std::array<QString, kChoiceSlots>, kChoiceFields> choiceElements;

    const QString& title(int field) const { return titles[field - 1]; }
    bool isEnabled(int field) const { return enabled[field - 1] != 0; }
    // The label a two-valued field 19-25 shows for a clear (false) or set (true) bit.
    const QString& twoValueLabel(int field, bool set) const {
        return twoValueLabels[set ? field - 12 : field - 19];
    }
    // The element text of choice field 9-11, or empty for an element number outside 0-63.
    QString choiceElement(int field, int element) const;

    // The titles and labels a new workstation starts from.
    static Schema Defaults();
};

// Readers never create or change a file; `error` says when one exists but cannot be read.
void LoadSchema(const DataFolder& folder, Schema& schema, FileError* error = nullptr);
[[nodiscard]] bool SaveSchema(const DataFolder& folder, const Schema& schema);
void LoadChoiceList(const DataFolder& folder, Schema& schema, int field,
                    FileError* error = nullptr);
[[nodiscard]] bool SaveChoiceList(const DataFolder& folder, const Schema& schema, int field);

}  // namespace tallyra
