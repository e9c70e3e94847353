// The statistics panel at full size: a year of 5000 people x 6 windows x 365 days
// (about 11 million records, 175 MB), its query beside a plain scan of the same file,
// sorting and exporting a million rows, importing a 5000-row workbook of each format, and
// the hostile workbooks' time and peak memory, each read in a process of its own.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>
#include <cstring>

#include "bench_support.h"
#include "common/datetime.h"
#include "core/rosterimport.h"
#include "core/statistics.h"
#include "core/yearlog.h"
#include "sheets/spreadsheet.h"

using namespace tallyra;

namespace {

struct Year {
    QTemporaryDir dir;
    DataFolder folder{dir.path()};
    Roster roster;
    qint64 records = 0;
    Year() {
        for (int i = 1; i <= kRosterSize; ++i) {
            roster.at(i).name = QStringLiteral("学生%1").arg(i);
            roster.at(i).cardNumber = qint64(3000000 + i) * 10000;
        }
        QDir().mkpath(folder.yearLogFolder());
        QFile f(folder.yearLog(2025));
        f.open(QIODevice::WriteOnly);
        const double first = DateToOle(QDate(2025, 1, 1));
        QByteArray block;
        for (int d = 0; d < 365; ++d) {
            block.resize(0);
            for (int w = 0; w < 6; ++w)
                for (int i = 1; i <= kRosterSize; ++i) {
                    char slot[kLogSlotSize];
                    const qint16 late = qint16((i * 7 + d + w) % 23 == 0 ? 9999 : (i + d) % 11);
                    EncodeYearLogRecord({qint16(i), first + d, qint16(420 + 120 * w), late}, slot);
                    block.append(slot, kLogSlotSize);
                    ++records;
                }
            f.write(block);
        }
    }
    static Year& get() {
        static Year y;
        return y;
    }
    StatsFilter all() const {
        StatsFilter f;
        f.first = QDate(2025, 1, 1);
        f.last = QDate(2025, 12, 31);
        return f;
    }
};

// The floor: every record read and decoded, nothing else.
void BM_PlainScanOfTheYear(benchmark::State& state) {
    Year& y = Year::get();
    for (auto _ : state) {
        qint64 sum = 0;
        ReadYearLog(y.folder.yearLog(2025), [&](const YearLogRecord* r, size_t n) {
            for (size_t k = 0; k < n; ++k) sum += r[k].minutesLate;
            return true;
        });
        benchmark::DoNotOptimize(sum);
    }
    state.counters["records"] = double(y.records);
}
BENCHMARK(BM_PlainScanOfTheYear)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_FullYearQuery(benchmark::State& state) {
    Year& y = Year::get();
    size_t rows = 0, bytes = 0;
    for (auto _ : state) {
        std::vector<StatsRow> out;
        const StatsSummary s = RunStatisticsQuery(y.folder, y.roster, y.all(), out);
        benchmark::DoNotOptimize(s);
        rows = out.size();
        bytes = out.capacity() * sizeof(StatsRow);
    }
    state.counters["rows"] = double(rows);
    state.counters["bytes_per_row"] = double(bytes) / double(std::max<size_t>(rows, 1));
}
BENCHMARK(BM_FullYearQuery)->Unit(benchmark::kMillisecond)->Iterations(3);

std::vector<StatsRow> Million() {
    std::vector<StatsRow> rows;
    rows.reserve(1000000);
    for (int k = 0; k < 1000000; ++k)
        rows.push_back({qint32(45658 + k % 365), qint16(1 + (qint64(k) * 7919) % kRosterSize),
                        qint16(420 + k % 600), qint16(k % 37)});
    return rows;
}

void BM_SortMillionRows(benchmark::State& state) {
    Year& y = Year::get();
    StatsGridModel grid(&y.roster);
    const int column = int(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        grid.setResults(Million());
        state.ResumeTiming();
        grid.sortColumn(column, column == 3 || column == 4 ? 4 : 8);
    }
}
BENCHMARK(BM_SortMillionRows)->Arg(0)->Arg(3)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_ExportMillionRows(benchmark::State& state) {
    Year& y = Year::get();
    StatsGridModel grid(&y.roster);
    grid.setResults(Million());
    QTemporaryDir dir;
    const QString templatePath = QStringLiteral(TALLYRA_TEMPLATE);
    qint64 bytes = 0;
    for (auto _ : state) {
        const ExportResult r =
            ExportStatisticsGrid(grid, templatePath, dir.filePath("out.xlsx"), {});
        if (!r.written) state.SkipWithError("export failed");
        bytes = QFileInfo(dir.filePath("out.xlsx")).size();
    }
    state.counters["file_MB"] = double(bytes) / (1 << 20);
}
BENCHMARK(BM_ExportMillionRows)->Unit(benchmark::kMillisecond)->Iterations(3);

// What the export spends on making the cells' texts, without writing them.
void BM_FormatMillionRows(benchmark::State& state) {
    Year& y = Year::get();
    StatsGridModel grid(&y.roster);
    grid.setResults(Million());
    for (auto _ : state) {
        qsizetype n = 0;
        for (int r = 0; r < grid.gridRowCount(); ++r)
            for (int c = 0; c < 6; ++c) n += grid.text(r, c).toUtf8().size();
        benchmark::DoNotOptimize(n);
    }
}
BENCHMARK(BM_FormatMillionRows)->Unit(benchmark::kMillisecond)->Iterations(1);

const char* const kFormats[] = {"xlsx", "xls", "ods", "csv"};

bool MakeSheet(const QString& kind, const QString& path) {
    QProcess p;
    p.start(QStringLiteral("/usr/bin/python3"),
            {QStringLiteral(TALLYRA_FIXTURES "/make_sheets.py"), kind, path});
    return p.waitForFinished(600000) && p.exitCode() == 0;
}

// The import of a school's roster as it keeps it: 5000 rows of card, name, age, sex and
// address, read from the file and stored.
void BM_Import5000Rows(benchmark::State& state) {
    const QString format = QString::fromLatin1(kFormats[state.range(0)]);
    state.SetLabel(format.toStdString());
    QTemporaryDir dir;
    const QString path = dir.filePath("roster." + format);
    if (!MakeSheet("roster-" + format, path)) return state.SkipWithError("no fixture");
    Schema schema = Schema::Defaults();
    for (int f : {1, 2, 3, 4, 6}) schema.enabled[size_t(f - 1)] = 1;
    for (auto _ : state) {
        state.PauseTiming();
        QTemporaryDir data;
        Roster roster;
        RosterFile file;
        file.open(DataFolder(data.path()));
        TextGridModel grid(2, 26);
        SilentNotifier notifier;
        state.ResumeTiming();
        ImportTargets t{&roster, &file, &grid, &schema, &notifier, {}, QDate(2026, 12, 8)};
        const ImportResult r = ImportRosterFile(path, t);
        if (r.imported != 4998) state.SkipWithError("import stopped early");
    }
}
BENCHMARK(BM_Import5000Rows)->DenseRange(0, 3)->Unit(benchmark::kMillisecond)->Iterations(3);

// A hostile workbook through the import, in a fresh process: its wall time and the most
// memory it held.
const char* const kHostile[] = {"bomb-huge",   "shared-part", "many-cells", "many-strings",
                                "xls-strings", "zip-entries", "csv-cell",   "refused-rows"};

void BM_HostileWorkbook(benchmark::State& state) {
    const QString kind = QString::fromLatin1(kHostile[state.range(0)]);
    state.SetLabel(kind.toStdString());
    QTemporaryDir dir;
    const QString path = dir.filePath("hostile");
    if (!MakeSheet(kind, path)) return state.SkipWithError("no fixture");
    double seconds = 0, peak = 0;
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        // The child reports its own high-water mark: the rusage of a child counts the
        // memory of the process it was started from too.
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(), {"--import-file", path});
        const bool done = child.waitForFinished(60000);
        seconds = double(clock.nsecsElapsed()) / 1e9;
        peak = child.readAllStandardOutput().trimmed().toDouble() / 1024.0;
        if (!done || child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0)
            state.SkipWithError("import crashed");
    }
    state.counters["seconds"] = seconds;
    state.counters["peak_MB"] = peak;
}
BENCHMARK(BM_HostileWorkbook)->DenseRange(0, 7)->Unit(benchmark::kMillisecond)->Iterations(1);

// The child of BM_HostileWorkbook: one import into an empty roster.
int ImportOnly(const QString& path) {
    QTemporaryDir data;
    Roster roster;
    RosterFile file;
    file.open(DataFolder(data.path()));
    TextGridModel grid(2, 26);
    SilentNotifier notifier;
    Schema schema = Schema::Defaults();
    for (int f : {1, 2, 3, 4, 6}) schema.enabled[size_t(f - 1)] = 1;
    ImportTargets t{&roster, &file, &grid, &schema, &notifier, {}, QDate(2026, 12, 8)};
    ImportRosterFile(path, t);
    // VmHWM: the most memory this process held, in kB.
    QFile status(QStringLiteral("/proc/self/status"));
    status.open(QIODevice::ReadOnly);
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            std::printf("%s\n", line.mid(6).trimmed().split(' ')[0].constData());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--import-file") == 0) {
        QCoreApplication app(argc, argv);
        return ImportOnly(QString::fromLocal8Bit(argv[2]));
    }
    return tallyra::bench::RunBenchmarks<QCoreApplication>(argc, argv);
}
