// The statistics at full size: a year of 5000 people x 6 windows x 365 days (10.95 million
// records, 175 MB) and five such years, in the page cache. Every figure is set beside the
// floor, a plain read() of the same files in 1 MiB blocks testing each record's roster index
// and minutes late (counter x_floor). Also: the query in the window up to its first page
// painted and a header sort there, the command-line tool printing the year, sorting and
// exporting a million rows, importing a 5000-row workbook of each format, and the hostile
// workbooks' time and peak memory, each read in a process of its own.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>
#include <cstring>

#include "app/mainwindow.h"
#include "app/session.h"
#include "bench_support.h"
#include "common/datetime.h"
#include "core/calendar.h"
#include "core/format/schema.h"
#include "core/format/settings.h"
#include "core/format/yearlog.h"
#include "core/rosterimport.h"
#include "core/statistics.h"
#include "core/timewindows.h"
#include "gui/dialogs.h"
#include "gui/gridview.h"
#include "models/headersort.h"
#include "models/statsgridmodel.h"
#include "must.h"
#include "quietwindow.h"
#include "sheets/spreadsheet.h"

extern char** environ;

using namespace tallyra;
using tallyra::bench::NoCapture;
using tallyra::bench::QuietDialogs;
using tallyra::bench::ReadLogFloor;
using tallyra::bench::RestartPeak;
using tallyra::bench::Seconds;
using tallyra::bench::StatusMegabytes;
using tallyra::test::Must;

namespace {

double ResidentMegabytes() { return StatusMegabytes("VmRSS:"); }
double PeakMegabytes() { return StatusMegabytes("VmHWM:"); }

// A data folder with the full roster, the day's time windows and `years` full years of log
// ending with 2025, every person signing in at each of the six windows every day.
struct Logs {
    QTemporaryDir dir;
    DataFolder folder{dir.path()};
    Roster roster;
    int firstYear;
    qint64 records = 0;
    double floorSeconds = 0;

    explicit Logs(int years) : firstYear(2026 - years) {
        RosterFile file;
        file.open(folder);
        for (int i = 1; i <= kRosterSize; ++i) {
            PersonRecord& p = roster.at(i);
            p.name = QStringLiteral("学生%1").arg(i);
            p.cardNumber = qint64(3000000 + i) * 10000;
            Must(file.write(i, p));
        }
        for (int w = 0; w < 6; ++w) {
            for (int d = 1; d <= 7; ++d) {
                const int k = TimeTable::Cell(w, d);
                Must(WriteCellTimes(folder, k, qint16(420 + 120 * w), qint16(450 + 120 * w)));
                Must(WriteCellFlag(folder, k, true));
            }
        }
        QDir().mkpath(folder.yearLogFolder());
        for (int year = firstYear; year <= 2025; ++year) {
            QFile f(folder.yearLog(year));
            f.open(QIODevice::WriteOnly);
            const double first = DateToOle(QDate(year, 1, 1));
            QByteArray block;
            for (int d = 0; d < 365; ++d) {
                block.resize(0);
                for (int w = 0; w < 6; ++w)
                    for (int i = 1; i <= kRosterSize; ++i) {
                        char slot[kLogSlotSize];
                        const qint16 late = qint16((i * 7 + d + w) % 23 == 0 ? 9999 : (i + d) % 11);
                        EncodeYearLogRecord({qint16(i), first + d, qint16(420 + 120 * w), late},
                                            slot);
                        block.append(slot, kLogSlotSize);
                        ++records;
                    }
                f.write(block);
            }
        }
        floorSeconds = 1e9;
        for (int run = 0; run < 5; ++run)
            floorSeconds =
                std::min(floorSeconds, Seconds([&] { benchmark::DoNotOptimize(Floor()); }));
    }

    qint64 Floor() const {
        qint64 hits = 0;
        for (int year = firstYear; year <= 2025; ++year) hits += ReadLogFloor(folder.yearLog(year));
        return hits;
    }

    StatsFilter all() const {
        StatsFilter f;
        f.first = QDate(firstYear, 1, 1);
        f.last = QDate(2025, 12, 31);
        return f;
    }

    static Logs& Year() {
        static Logs y(1);
        return y;
    }
    static Logs& FiveYears() {
        static Logs y(5);
        return y;
    }
};

void ReportFloor(benchmark::State& state, const Logs& logs, double seconds) {
    state.counters["x_floor"] = seconds / double(state.iterations()) / logs.floorSeconds;
}

void BM_ReadFloor(benchmark::State& state) {
    Logs& y = state.range(0) == 5 ? Logs::FiveYears() : Logs::Year();
    double seconds = 0;
    for (auto _ : state) seconds += Seconds([&] { benchmark::DoNotOptimize(y.Floor()); });
    state.counters["records"] = double(y.records);
    ReportFloor(state, y, seconds);
}
BENCHMARK(BM_ReadFloor)->Arg(1)->Arg(5)->Unit(benchmark::kMillisecond)->Iterations(5);

// Every record read and decoded, as the folder check and the recovery read the log.
void BM_DecodedScanOfTheYear(benchmark::State& state) {
    Logs& y = Logs::Year();
    double seconds = 0;
    for (auto _ : state) {
        qint64 sum = 0;
        seconds += Seconds([&] {
            ReadYearLog(y.folder.yearLog(2025), [&](const YearLogRecord* r, size_t n) {
                for (size_t k = 0; k < n; ++k) sum += r[k].minutesLate;
                return true;
            });
        });
        benchmark::DoNotOptimize(sum);
    }
    ReportFloor(state, y, seconds);
}
BENCHMARK(BM_DecodedScanOfTheYear)->Unit(benchmark::kMillisecond)->Iterations(3);

enum QueryKind { kAll, kName, kCard, kFiveYears };

// warm 0: into a new vector, whose memory the system must first clear; warm 1: into one
// that already holds the memory, as a second query into the grid is.
void BM_Query(benchmark::State& state) {
    const auto kind = QueryKind(state.range(0));
    const bool warm = state.range(1) != 0;
    Logs& y = kind == kFiveYears ? Logs::FiveYears() : Logs::Year();
    StatsFilter f = y.all();
    if (kind == kName) f.namePattern = QStringLiteral("学生12*");  // 111 people
    if (kind == kCard) f.card = qint64(3000000 + 4711) * 10000;
    size_t rows = 0, bytes = 0;
    double seconds = 0;
    std::vector<StatsRow> kept;
    for (auto _ : state) {
        std::vector<StatsRow> out;
        if (warm) {
            kept.clear();
            out = std::move(kept);
        }
        seconds += Seconds(
            [&] { benchmark::DoNotOptimize(RunStatisticsQuery(y.folder, y.roster, f, out)); });
        rows = out.size();
        bytes = out.capacity() * sizeof(StatsRow);
        if (warm) kept = std::move(out);
    }
    state.counters["rows"] = double(rows);
    state.counters["bytes_per_row"] = double(bytes) / double(std::max<size_t>(rows, 1));
    ReportFloor(state, y, seconds);
}
BENCHMARK(BM_Query)
    ->ArgNames({"all_name_card_five", "warm"})
    ->ArgsProduct({{kAll, kName, kCard, kFiveYears}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);

// The full year's query with a calendar and leave to ask about every absence: 10 days
// closed afterwards and 5 % of the year's absences excused by a day's leave each, against
// the same query without them (excused 0), into a warm vector.
void BM_QueryExcused(benchmark::State& state) {
    Logs& y = Logs::Year();
    static const auto days = [&y] {
        struct Days {
            TimeTable table;
            SchoolCalendar calendar;
            LeaveBook leave;
        };
        auto d = std::make_unique<Days>();
        d->table = LoadTimeWindows(y.folder);
        const qint32 first = qint32(DateToOle(QDate(2025, 1, 1)));
        for (int k = 0; k < 10; ++k)
            d->calendar.apply({first + 100 + k, CalendarChange::Closed, 0, QStringLiteral("假期")});
        qint32 id = 0;
        for (int day = 0; day < 365; ++day)
            for (int w = 0; w < 6; ++w)
                for (int i = 1; i <= kRosterSize; ++i)
                    if ((i * 7 + day + w) % 23 == 0 && (i + day) % 20 == 0) {
                        LeaveRecord r;
                        r.id = ++id;
                        r.index = qint16(i);
                        r.fromDay = r.toDay = first + day;
                        r.kind = QStringLiteral("病假");
                        d->leave.apply(r);
                    }
        return d;
    }();
    const bool excused = state.range(0) != 0;
    const AttendanceCalendar calendar{&days->table, &days->calendar, &days->leave};
    std::vector<StatsRow> out;
    std::vector<QString> labels;
    StatsSummary summary;
    double seconds = 0;
    for (auto _ : state) {
        out.clear();
        seconds += Seconds([&] {
            summary = RunStatisticsQuery(y.folder, y.roster, y.all(), out,
                                         excused ? &calendar : nullptr, &labels);
        });
    }
    state.counters["excused"] = summary.excused;
    state.counters["closed"] = summary.closed;
    state.counters["missed"] = summary.missed;
    ReportFloor(state, y, seconds);
}
BENCHMARK(BM_QueryExcused)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(5);

// A header sort of the whole year in the grid, each column, descending (the first click).
void BM_SortFullYear(benchmark::State& state) {
    Logs& y = Logs::Year();
    const int column = int(state.range(0));
    StatsGridModel grid(&y.roster);
    RunStatistics(y.folder, y.roster, y.all(), grid);
    double seconds = 0;
    for (auto _ : state)
        seconds += Seconds([&] { grid.sortColumn(column, column == 3 || column == 4 ? 4 : 8); });
    ReportFloor(state, y, seconds);
}
BENCHMARK(BM_SortFullYear)->DenseRange(0, 5)->Unit(benchmark::kMillisecond)->Iterations(3);

// The window as a user meets it: started on the year's folder on New Year's Day, so the
// statistics panel's range covers all of 2025; "开始查找" clicked, then the header "姓名".
// first_page_ms: from the click to the grid's first page painted; sort_ms: from the header
// click to the sorted page painted; peak_MB: the most resident memory through both;
// requery_ms and requery_peak_MB: a second click on "开始查找" after the sort.
void BM_WindowQueryAndSort(benchmark::State& state) {
    Logs& y = Logs::Year();
    bench::FixedClock clock(QDateTime(QDate(2026, 1, 1), QTime(12, 0)));
    QuietDialogs dialogs;
    SilentCuePlayer cues;
    double firstPage = 0, sort = 0, peak = 0, base = 0, after = 0, requery = 0, requeryPeak = 0;
    for (auto _ : state) {
        state.PauseTiming();
        Session session({y.dir.path(), &clock, &dialogs, &cues,
                         [](KeyCapture::KeyDown) { return std::make_unique<NoCapture>(); }, false});
        if (!session.StartUp()) state.SkipWithError("start-up failed");
        MainWindow& w = session.window();
        w.resize(1280, 800);
        w.show();
        w.ShowPanel(3);
        QCoreApplication::processEvents();
        auto* view = w.findChild<GridView*>(QStringLiteral("MSTJ"));
        auto* find = w.findChild<QPushButton*>(QStringLiteral("Command7_0"));
        base = ResidentMegabytes();
        RestartPeak();
        state.ResumeTiming();
        firstPage += Seconds([&] {
            find->click();
            view->grab();
        });
        if (view->model()->rowCount() == 0) state.SkipWithError("nothing listed");
        sort += Seconds([&] {
            Q_EMIT view->fixedCellClicked(0, 0);
            view->grab();
        });
        state.PauseTiming();
        peak = std::max(peak, PeakMegabytes());
        after = ResidentMegabytes();
        RestartPeak();
        requery += Seconds([&] {
            find->click();
            view->grab();
        });
        requeryPeak = std::max(requeryPeak, PeakMegabytes());
        session.ShutDown();
        state.ResumeTiming();
    }
    const double n = double(state.iterations());
    state.counters["first_page_ms"] = firstPage / n * 1e3;
    state.counters["sort_ms"] = sort / n * 1e3;
    state.counters["base_MB"] = base;
    state.counters["peak_MB"] = peak;
    state.counters["after_MB"] = after;
    state.counters["requery_ms"] = requery / n * 1e3;
    state.counters["requery_peak_MB"] = requeryPeak;
    state.counters["x_floor"] = firstPage / n / y.floorSeconds;
}
BENCHMARK(BM_WindowQueryAndSort)->Unit(benchmark::kMillisecond)->Iterations(2);

// The grid alone over repeated queries into it, each followed by a sort: the memory of one
// result at a time.
void BM_GridRequery(benchmark::State& state) {
    Logs& y = Logs::Year();
    StatsGridModel grid(&y.roster);
    GridView view;
    view.setFixedRows(1);
    view.setTable(&grid);
    view.resize(1000, 700);
    view.show();
    QCoreApplication::processEvents();
    const double base = ResidentMegabytes();
    RestartPeak();
    double seconds = 0;
    for (auto _ : state) {
        seconds += Seconds([&] {
            RunStatistics(y.folder, y.roster, y.all(), grid);
            view.grab();
        });
        grid.sortColumn(1, 8);
        view.grab();
    }
    state.counters["base_MB"] = base;
    state.counters["peak_MB"] = PeakMegabytes();
    ReportFloor(state, y, seconds);
}
BENCHMARK(BM_GridRequery)->Unit(benchmark::kMillisecond)->Iterations(3);

// tallyra-cli stats over the year, its output to a file: wall time and its peak memory.
void BM_CliPrintsTheYear(benchmark::State& state) {
    Logs& y = Logs::Year();
    const QByteArray cli = QByteArrayLiteral(TALLYRA_CLI);
    const QByteArray dir = QFile::encodeName(y.dir.path());
    const QByteArray outPath = dir + "/stats.txt";
    double seconds = 0, peak = 0;
    for (auto _ : state) {
        // The child starts on this process's memory and keeps its peak across the exec: start
        // that peak afresh, here well below what the tool itself needs.
        RestartPeak();
        seconds += Seconds([&] {
            posix_spawn_file_actions_t io;
            posix_spawn_file_actions_init(&io);
            posix_spawn_file_actions_addopen(&io, 1, outPath.constData(),
                                             O_WRONLY | O_CREAT | O_TRUNC, 0644);
            const char* argv[] = {cli.constData(), "--data-dir", dir.constData(),
                                  "--from",        "2025-01-01", "--to",
                                  "2025-12-31",    "stats",      nullptr};
            pid_t pid = 0;
            if (posix_spawn(&pid, argv[0], &io, nullptr, const_cast<char**>(argv), environ) != 0)
                state.SkipWithError("cannot start tallyra-cli");
            posix_spawn_file_actions_destroy(&io);
            int status = 0;
            rusage usage{};
            wait4(pid, &status, 0, &usage);
            peak = std::max(peak, double(usage.ru_maxrss) / 1024.0);
            if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) state.SkipWithError("failed");
        });
    }
    state.counters["out_MB"] = double(QFileInfo(QFile::decodeName(outPath)).size()) / 1048576.0;
    state.counters["peak_MB"] = peak;
    ReportFloor(state, y, seconds);
    QFile::remove(QFile::decodeName(outPath));
}
BENCHMARK(BM_CliPrintsTheYear)->Unit(benchmark::kMillisecond)->Iterations(2);

std::vector<StatsRow> Million() {
    std::vector<StatsRow> rows;
    rows.reserve(1000000);
    for (int k = 0; k < 1000000; ++k)
        rows.push_back({qint32(45658 + k % 365), qint16(1 + (qint64(k) * 7919) % kRosterSize),
                        qint16(420 + k % 600), qint16(k % 37), 0});
    return rows;
}

void BM_SortMillionRows(benchmark::State& state) {
    Logs& y = Logs::Year();
    StatsGridModel grid(&y.roster);
    const int column = int(state.range(0));
    double seconds = 0;
    for (auto _ : state) {
        state.PauseTiming();
        grid.setResults(Million());
        state.ResumeTiming();
        seconds += Seconds([&] { grid.sortColumn(column, column == 3 || column == 4 ? 4 : 8); });
    }
    ReportFloor(state, y, seconds);
}
BENCHMARK(BM_SortMillionRows)->Arg(0)->Arg(3)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_ExportMillionRows(benchmark::State& state) {
    Logs& y = Logs::Year();
    StatsGridModel grid(&y.roster);
    grid.setResults(Million());
    QTemporaryDir dir;
    const QString templatePath = QStringLiteral(TALLYRA_TEMPLATE);
    double seconds = 0;
    qint64 bytes = 0;
    for (auto _ : state) {
        seconds += Seconds([&] {
            const ExportResult r =
                ExportStatistics(grid.listing(), templatePath, dir.filePath("out.xlsx"), {});
            if (!r.written) state.SkipWithError("export failed");
        });
        bytes = QFileInfo(dir.filePath("out.xlsx")).size();
    }
    state.counters["file_MB"] = double(bytes) / (1 << 20);
    ReportFloor(state, y, seconds);
}
BENCHMARK(BM_ExportMillionRows)->Unit(benchmark::kMillisecond)->Iterations(3);

// What the export spends on making the cells' texts, without writing them.
void BM_FormatMillionRows(benchmark::State& state) {
    Logs& y = Logs::Year();
    StatsGridModel grid(&y.roster);
    grid.setResults(Million());
    double seconds = 0;
    for (auto _ : state) {
        qsizetype n = 0;
        seconds += Seconds([&] {
            for (int r = 0; r < grid.gridRowCount(); ++r)
                for (int c = 0; c < 6; ++c) n += grid.text(r, c).toUtf8().size();
        });
        benchmark::DoNotOptimize(n);
    }
    ReportFloor(state, y, seconds);
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
        RosterStore roster(DataFolder(data.path()), [&] {
            return RosterDisplay{&schema, {-1, -1}, QDate(2026, 12, 8)};
        });
        (void)roster.open();
        TextGridModel grid(2, 26);
        SilentNotifier notifier;
        state.ResumeTiming();
        ImportTargets t{&roster, &grid, &notifier, {}};
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
    Schema schema = Schema::Defaults();
    for (int f : {1, 2, 3, 4, 6}) schema.enabled[size_t(f - 1)] = 1;
    RosterStore roster(DataFolder(data.path()), [&] {
        return RosterDisplay{&schema, {-1, -1}, QDate(2026, 12, 8)};
    });
    (void)roster.open();
    TextGridModel grid(2, 26);
    SilentNotifier notifier;
    ImportTargets t{&roster, &grid, &notifier, {}};
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
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    return tallyra::bench::RunBenchmarks<QApplication>(argc, argv);
}
