#pragma once

#include <QDate>
#include <QString>
#include <functional>

#include "core/notifier.h"
#include "core/roster.h"
#include "core/schema.h"
#include "core/textgridmodel.h"
#include "core/workbook.h"

namespace tallyra {

struct ImportTargets {
    Roster* roster = nullptr;
    RosterFile* file = nullptr;
    TextGridModel* grid = nullptr;  // MSRW
    const Schema* schema = nullptr;
    Notifier* notifier = nullptr;
    // The critical message box for the grid's row limit.
    std::function<void(const QString&)> criticalMessage;
    QDate today;
};

struct ImportResult {
    bool headerFound = false;
    int headerSheet = 0, headerRow = 0;
    int imported = 0;
    bool notStored = false;  // a record could not be written: the import stopped there
};

// Fills free roster entries from the rows under the best header row of sheets 1-3 (rows
// 1-5, columns 1-29), one person per row until a row whose cells are all empty. A null
// workbook (the file could not be read) ends in the failure notice, as a workbook without
// any matching title does.
ImportResult ImportRosterSpreadsheet(const Workbook* workbook, const ImportTargets& targets);

}  // namespace tallyra
