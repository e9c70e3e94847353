#pragma once

#include <QString>
#include <optional>

#include "core/rosterstore.h"
#include "models/textgridmodel.h"

namespace tallyra {

constexpr int kMaxGridRows = 32000;

// Deletes the people on roster grid rows r1..r2 (either order): each one's name is emptied
// and the record stored; the rows stay as blank rows. Stops at the first record that
// cannot be stored (that person and the rest stay); false then.
[[nodiscard]] bool DeleteRosterRows(RosterStore& roster, TextGridModel& grid, int r1, int r2);

// The add-rows prompt's answer as a row count, or nothing when the prompt must ask again:
// more than 5 characters, below 1 after rounding, or more rows than the grid can take.
std::optional<int> ParseAddRowsCount(const QString& answer, int currentRows);

struct AddedRows {
    int added = 0;
    bool rosterFull = false;  // stopped early: every slot was taken
    bool notStored = false;   // stopped early: a record could not be written
};
// Appends up to n rows, each taking the next free roster slot: index in column 0, "[NEW]"
// as the name of an otherwise empty record and in column 2. A slot is taken only once its
// record is stored.
AddedRows AddRosterRows(RosterStore& roster, TextGridModel& grid, int n);

}  // namespace tallyra
