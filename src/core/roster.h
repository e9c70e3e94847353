#pragma once

#include <QDate>
#include <QString>
#include <array>
#include <functional>
#include <vector>

#include "core/format/rosterfile.h"
#include "models/grids.h"

namespace tallyra {

class DayStatusFile;
class Notifier;
class TextGridModel;
struct Schema;

// What the roster grid needs besides the record to show a person.
struct RosterDisplay {
    const Schema* schema = nullptr;
    std::array<int, 2> yearsPrecision{-1, -1};  // fields 3 and 5
    QDate today;
};

// Column f (1-25) of the roster grid for this person.
QString RosterCellText(const PersonRecord& person, int field, const RosterDisplay& display);
// Columns 0-25 of a roster grid row.
QStringList RosterRowTexts(int index, const PersonRecord& person, const RosterDisplay& display);

[[nodiscard]] WriteResult WritePersonRecord(RosterFile& file, const Roster& roster, int index);

struct RosterLoadTargets {
    TextGridModel* board = nullptr;            // sign-in grid, person rows from 4
    TextGridModel* roster = nullptr;           // roster grid, person rows from 2
    const DayStatusFile* dayStatus = nullptr;  // none: every window reads as nothing yet
    Notifier* notifier = nullptr;
    std::function<void()> yield = {};  // lets the window breathe during the load
};

struct RosterLoadResult {
    int boardRows = 0;
    int rosterRows = 0;
    std::vector<int> damagedSlots;
    FileError error;  // Rw.dat exists but could not be read: every slot loaded empty
};

RosterLoadResult LoadRoster(const DataFolder& folder, Roster& roster, const RosterDisplay& display,
                            const RosterLoadTargets& targets);

}  // namespace tallyra
