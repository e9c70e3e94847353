#pragma once

#include <QString>
#include <functional>

#include "core/notifier.h"
#include "core/rosterstore.h"
#include "core/workbook.h"
#include "models/textgridmodel.h"

namespace tallyra {

// Where the import stores what it takes. The definitions the header row is matched against
// and the day years are counted back from are the roster's display.
struct ImportTargets {
    RosterStore* roster = nullptr;  // its write handle open
    TextGridModel* grid = nullptr;  // MSRW
    Notifier* notifier = nullptr;
    // The critical message box for the grid's row limit.
    std::function<void(const QString&)> criticalMessage;
};

struct ImportResult {
    bool headerFound = false;
    int headerSheet = 0, headerRow = 0;
    int imported = 0;
    bool notStored = false;   // a record could not be written: the import stopped there
    bool unreadable = false;  // the workbook could not be read: nothing was imported
    bool cancelled = false;   // stopped through the progress callback
};

// Fills free roster entries from the rows under the best header row of sheets 1-3 (rows
// 1-5, columns 1-29), one person per row until a row whose cells are all empty. The rows
// are all read before the first is stored, so a workbook that turns out damaged or too
// large on the way leaves the roster as it was. A null workbook (the file could not be
// read; `unreadable` says why) or one that fails on the way ends in a failure notice that
// says so; one without any matching title in the import's own failure notice. `progress`
// hears of the rows stored and may stop the import; the rows stored until then stay.
ImportResult ImportRosterSpreadsheet(const Workbook* workbook, const ImportTargets& targets,
                                     const Progress& progress = {}, const QString& unreadable = {});

}  // namespace tallyra
