// A workbook from someone's desk through the real import: header search, the rows into
// free roster slots, their records written.
#include <QTemporaryDir>
#include <cstddef>
#include <cstdint>

#include "core/format/schema.h"
#include "core/rosterimport.h"
#include "fuzz_support.h"
#include "sheets/spreadsheet.h"

using namespace tallyra;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static QTemporaryDir dir;
    const DataFolder folder(dir.path());
    ReplaceFile(folder.roster(), QByteArray());
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const std::unique_ptr<Workbook> wb = OpenWorkbookBytes(bytes);
    TextGridModel grid(2, 26);
    Schema schema = Schema::Defaults();
    for (int f = 1; f <= kFieldCount; ++f) schema.enabled[size_t(f - 1)] = 1;
    schema.choiceElements[0][1] = QStringLiteral("学生");
    RosterStore roster(folder, [&] {
        return RosterDisplay{&schema, {-1, -1}, QDate(2026, 12, 8)};
    });
    (void)roster.open();
    SilentNotifier notifier;
    ImportTargets t{&roster, &grid, &notifier, {}};
    const ImportResult r = ImportRosterSpreadsheet(wb.get(), t);
    if (r.imported > kRosterSize) __builtin_trap();
    return 0;
}
