#include "core/rosterrows.h"

#include <cmath>

#include "common/text.h"

namespace tallyra {

bool DeleteRosterRows(RosterStore& roster, TextGridModel& grid, int r1, int r2) {
    if (r2 < r1) std::swap(r1, r2);
    r1 = std::max(r1, 0);
    r2 = std::min(r2, grid.rows() - 1);
    bool ok = true;
    grid.beginBulkUpdate();
    for (int r = r1; r <= r2 && ok; ++r) {
        const double n = NumericValue(grid.text(r, 0));
        const int index = int(n);
        if (n > 0 && Roster::validIndex(index)) {
            PersonRecord gone = roster.person(index);
            gone.name.clear();
            if (roster.store(index, gone) != StoreResult::Stored) {
                ok = false;
                break;
            }
        }
        grid.setRowTexts(r, QStringList(grid.columns(), QString()));
    }
    grid.endBulkUpdate();
    return ok;
}

std::optional<int> ParseAddRowsCount(const QString& answer, int currentRows) {
    if (answer.size() > 5) return std::nullopt;
    const double rounded = std::nearbyint(NumericValue(answer));  // halves to even
    if (!(rounded >= 1)) return std::nullopt;
    if (double(currentRows) + rounded > kMaxGridRows) return std::nullopt;
    return int(rounded);
}

AddedRows AddRosterRows(RosterStore& roster, TextGridModel& grid, int n) {
    AddedRows result;
    int s = 1;
    const QString fresh = QStringLiteral("[NEW]");
    grid.beginBulkUpdate();
    for (int i = 0; i < n; ++i) {
        while (s <= kRosterSize && roster.person(s).inUse()) ++s;
        if (s > kRosterSize) {
            result.rosterFull = true;
            break;
        }
        // A freed slot still holds the deleted person's card and the rest: a new person
        // starts from nothing.
        PersonRecord added;
        added.name = fresh;
        if (roster.store(s, added) != StoreResult::Stored) {
            result.notStored = true;
            break;
        }
        const int r = grid.rows();
        grid.setRows(r + 1);
        grid.setText(r, 0, QString::number(s));
        grid.setText(r, 2, fresh);
        ++result.added;
    }
    grid.endBulkUpdate();
    return result;
}

}  // namespace tallyra
