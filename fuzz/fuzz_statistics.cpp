// The statistics query over a damaged year log, every filter the panel can set.
#include <QTemporaryDir>
#include <cstddef>
#include <cstdint>

#include "core/statistics.h"
#include "fuzz_support.h"
#include "models/headersort.h"
#include "models/statsgridmodel.h"

using namespace tallyra;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static QTemporaryDir dir;
    const DataFolder folder(dir.path());
    static Roster roster = [] {
        Roster r;
        for (int i = 1; i <= 50; ++i) r.at(i).name = QStringLiteral("李[%1]").arg(i);
        return r;
    }();
    static const bool made = QDir().mkpath(folder.yearLogFolder());
    (void)made;
    if (size < 2) return 0;
    ReplaceFile(folder.yearLog(2026), data + 2, size - 2);
    StatsFilter f;
    f.first = QDate(2026, 1, 1).addDays(data[0]);
    f.last = f.first.addDays(data[1]);
    f.lateMin = qint16(data[0] % 3 == 0 ? -5 : 0);
    f.weekdayFirst = 1 + data[1] % 7;
    f.namePattern = data[0] % 2 ? QStringLiteral("李*") : QStringLiteral("*");
    std::vector<StatsRow> rows;
    const StatsSummary s = RunStatisticsQuery(folder, roster, f, rows);
    if (s.rows != qint32(rows.size())) __builtin_trap();
    StatsGridModel grid(&roster);
    grid.setResults(std::move(rows));
    for (int c = 0; c < StatsGridModel::kColumns; ++c) grid.sortColumn(c, c % 2 ? 3 : 8);
    for (int r = 0; r < std::min(grid.gridRowCount(), 50); ++r)
        for (int c = 0; c < StatsGridModel::kColumns; ++c) (void)grid.text(r, c);
    return 0;
}
