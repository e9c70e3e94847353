// A whole data folder of damaged files: the folder check reads every one, and the roster
// load fills both grids from Rw.dat.
#include <QTemporaryDir>
#include <cstddef>
#include <cstdint>

#include "core/format/datacheck.h"
#include "core/format/schema.h"
#include "core/roster.h"
#include "fuzz_support.h"
#include "models/textgridmodel.h"

using namespace tallyra;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static QTemporaryDir dir;
    const DataFolder folder(dir.path());
    static const bool made = QDir().mkpath(folder.yearLogFolder());
    (void)made;
    const QList<QByteArray> files = SplitFiles(data, size, 7);
    const QString paths[] = {folder.roster(),      folder.settings(),  folder.schema(),
                             folder.timeWindows(), folder.dayStatus(), folder.choiceList(9),
                             folder.yearLog(2026)};
    for (int i = 0; i < 7; ++i) ReplaceFile(paths[i], files[i]);
    (void)CheckDataFolder(folder);
    Schema schema;
    LoadSchema(folder, schema);
    Roster roster;
    TextGridModel board(4, 9), grid(2, 26);
    LoadRoster(folder, roster, RosterDisplay{&schema, {2, 1}, QDate(2026, 12, 8)},
               RosterLoadTargets{&board, &grid});
    return 0;
}
