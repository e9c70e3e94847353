// The monthly register at full size: 5000 people in 50 classes of 100, six windows every
// day of 2025 (10.95 million records, 175 MB, every sign-in logged: on time mostly, some
// late, some absent), in the page cache. Set beside the floor, a plain read() of the whole
// year's file in 1 MiB blocks testing each record's index and minutes late (x_floor). A
// month looked at first (the file's order checked), a month again (the order remembered),
// the whole year of twelve, a month of a file a clock set back wrote out of order; the
// memory a month takes above what the process held; the PDF and the workbook of all 5000;
// the month changed on the panel up to the grid painted.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>

#include "app/mainwindow.h"
#include "app/session.h"
#include "bench_support.h"
#include "common/datetime.h"
#include "core/format/registersettings.h"
#include "core/format/schema.h"
#include "core/format/yearlog.h"
#include "core/register.h"
#include "core/timewindows.h"
#include "gui/dialogs.h"
#include "gui/registerpanel.h"
#include "gui/registerprint.h"
#include "gui/statisticspanel.h"
#include "must.h"
#include "quietwindow.h"
#include "sheets/registerxlsx.h"

using namespace tallyra;
using tallyra::bench::NoCapture;
using tallyra::bench::QuietDialogs;
using tallyra::bench::ReadLogFloor;
using tallyra::bench::RestartPeak;
using tallyra::bench::Seconds;
using tallyra::bench::StatusMegabytes;
using tallyra::test::Must;

namespace {

constexpr int kPeople = 5000, kClasses = 50;
constexpr qint16 kStarts[6] = {430, 470, 710, 830, 1020, 1130};
constexpr qint16 kEnds[6] = {460, 495, 740, 855, 1050, 1155};

struct Year {
    QTemporaryDir dir;
    DataFolder folder{dir.path()};
    Roster roster;
    Schema schema = Schema::Defaults();
    TimeTable table;
    SchoolCalendar calendar;
    LeaveBook leave;
    qint64 records = 0;
    double floorSeconds = 0;

    Year() {
        schema.titles[9] = QStringLiteral("班级");
        schema.enabled[9] = 1;
        schema.choiceCounts[1] = kClasses;
        for (int e = 0; e < kClasses; ++e)
            schema.choiceElements[1][size_t(e)] =
                QStringLiteral("%1年%2班").arg(1 + e / 10).arg(1 + e % 10);
        Must(SaveSchema(folder, schema));
        for (int f = 9; f <= 11; ++f) Must(SaveChoiceList(folder, schema, f));
        RosterFile file;
        Must(file.open(folder));
        for (int i = 1; i <= kPeople; ++i) {
            PersonRecord& p = roster.at(i);
            p.name = QStringLiteral("学生%1").arg(i);
            p.cardNumber = qint64(3000000 + i) * 10000;
            p.choices[1] = qint16((i - 1) / (kPeople / kClasses));
            Must(file.write(i, p));
        }
        for (int w = 0; w < 6; ++w) {
            for (int d = 1; d <= 7; ++d) {
                const int k = TimeTable::Cell(w, d);
                Must(WriteCellTimes(folder, k, kStarts[w], kEnds[w]));
                Must(WriteCellFlag(folder, k, true));
            }
        }
        table = LoadTimeWindows(folder);
        QDir().mkpath(folder.yearLogFolder());
        QFile f(folder.yearLog(2025));
        f.open(QIODevice::WriteOnly);
        const double first = DateToOle(QDate(2025, 1, 1));
        QByteArray block;
        for (int d = 0; d < 365; ++d) {
            block.resize(0);
            for (int w = 0; w < 6; ++w) {
                for (int i = 1; i <= kPeople; ++i) {
                    const int roll = (i * 7919 + d * 104729 + w * 1299709) % 1000;
                    const qint16 late = roll < 20 ? 9999 : roll < 80 ? qint16(1 + roll % 40) : 0;
                    const qint16 minute = late == 9999 ? qint16(kEnds[w] + 1)
                                          : late > 0   ? qint16(kEnds[w] + late)
                                                       : qint16(kStarts[w] + roll % 25);
                    char slot[kLogSlotSize];
                    EncodeYearLogRecord({qint16(i), first + d, minute, late}, slot);
                    block.append(slot, kLogSlotSize);
                    ++records;
                }
            }
            f.write(block);
        }
        f.close();
        floorSeconds = 1e9;
        for (int run = 0; run < 5; ++run)
            floorSeconds =
                std::min(floorSeconds, Seconds([&] { benchmark::DoNotOptimize(Floor()); }));
    }

    qint64 Floor() const { return ReadLogFloor(folder.yearLog(2025)); }

    RegisterBuild build(int month, LogOrderMemo* memo, const QString& log = {},
                        RegisterGroup group = {}) const {
        RegisterSources s{log.isEmpty() ? folder : DataFolder(log),
                          &roster,
                          {&table, &calendar, &leave},
                          QDate(2026, 1, 1),
                          0,
                          -1,
                          memo};
        return BuildRegister(s, RegisterRequest{QDate(2025, month, 1), group, 0});
    }

    static Year& Get() {
        static Year y;
        return y;
    }
};

void ReportFloor(benchmark::State& state, const Year& y, double seconds) {
    state.counters["x_floor"] = seconds / double(state.iterations()) / y.floorSeconds;
}

void BM_ReadFloor(benchmark::State& state) {
    Year& y = Year::Get();
    double seconds = 0;
    for (auto _ : state) seconds += Seconds([&] { benchmark::DoNotOptimize(y.Floor()); });
    state.counters["records"] = double(y.records);
    ReportFloor(state, y, seconds);
}
BENCHMARK(BM_ReadFloor)->Unit(benchmark::kMillisecond)->Iterations(5);

// remembered 0: the first look at the file, its order checked in full; 1: a later look, the
// order remembered, only the month's part read.
void BM_RegisterMonth(benchmark::State& state) {
    Year& y = Year::Get();
    const bool remembered = state.range(0) != 0;
    LogOrderMemo memo;
    if (remembered) y.build(11, &memo);
    double seconds = 0;
    RegisterBuild b;
    for (auto _ : state) {
        if (!remembered) memo.forget();
        seconds += Seconds([&] { b = y.build(11, &memo); });
    }
    state.counters["people"] = b.sheet.rowCount();
    state.counters["slots_read"] = double(b.scan.slotsRead);
    ReportFloor(state, y, seconds);
}
BENCHMARK(BM_RegisterMonth)
    ->ArgName("remembered")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);

// The twelve months one after the other, as a year of registers is printed: the order
// checked once.
void BM_RegisterYear(benchmark::State& state) {
    Year& y = Year::Get();
    double seconds = 0;
    for (auto _ : state) {
        LogOrderMemo memo;
        seconds += Seconds([&] {
            for (int m = 1; m <= 12; ++m)
                benchmark::DoNotOptimize(y.build(m, &memo).sheet.rowCount());
        });
    }
    ReportFloor(state, y, seconds);
}
BENCHMARK(BM_RegisterYear)->Unit(benchmark::kMillisecond)->Iterations(3);

// The same year with a day of November written again at its end, as a clock set back
// leaves it: every month read in full.
void BM_RegisterMonthOutOfOrder(benchmark::State& state) {
    Year& y = Year::Get();
    static QTemporaryDir copy;
    static const bool made = [&] {
        const DataFolder to(copy.path());
        QDir().mkpath(to.yearLogFolder());
        QFile::copy(y.folder.yearLog(2025), to.yearLog(2025));
        YearLog log;
        if (!log.open(to, 2025)) return false;
        for (int i = 1; i <= kPeople; ++i)
            if (!log.append({qint16(i), DateToOle(QDate(2025, 11, 3)), kEnds[0] + 1, 9999}))
                return false;
        return true;
    }();
    if (!made) state.SkipWithError("the copy could not be written");
    double seconds = 0;
    RegisterBuild b;
    for (auto _ : state) {
        LogOrderMemo memo;
        seconds += Seconds([&] { b = y.build(11, &memo, copy.path()); });
    }
    if (b.scan.ordered) state.SkipWithError("the copy reads as in order");
    ReportFloor(state, y, seconds);
}
BENCHMARK(BM_RegisterMonthOutOfOrder)->Unit(benchmark::kMillisecond)->Iterations(5);

// What a month costs in memory above what the process held before it.
void BM_RegisterMemory(benchmark::State& state) {
    Year& y = Year::Get();
    double above = 0;
    for (auto _ : state) {
        LogOrderMemo memo;
        const double before = StatusMegabytes("VmRSS:");
        RestartPeak();
        {
            const RegisterBuild b = y.build(11, &memo);
            const RegisterPicture p = PictureOf(b.sheet, b.sheet.allRows());
            benchmark::DoNotOptimize(p.totals.held);
        }
        above = std::max(above, StatusMegabytes("VmHWM:") - before);
    }
    state.counters["peak_MB_above"] = above;
}
BENCHMARK(BM_RegisterMemory)->Unit(benchmark::kMillisecond)->Iterations(3);

// All 5000 as one run of pages (143 of rows and one of the picture), and by class (50 runs
// of 100: three pages of rows and one of the picture each).
void BM_RegisterPdf(benchmark::State& state) {
    Year& y = Year::Get();
    const bool byClass = state.range(0) != 0;
    LogOrderMemo memo;
    const RegisterGroup g{byClass ? 10 : 0, -1};
    const RegisterBuild b = y.build(11, &memo, {}, g);
    const RegisterPrint print{&b.sheet, RegisterParts(b.sheet, y.schema, g),
                              QStringLiteral("青川市实验中学"), QDate(2025, 12, 1)};
    const QString path = y.dir.filePath("月报.pdf");
    double seconds = 0;
    for (auto _ : state)
        seconds += Seconds([&] {
            if (!WriteRegisterPdf(path, print)) state.SkipWithError("not written");
        });
    state.counters["pages"] = print.pageCount();
    state.counters["MB"] = double(QFileInfo(path).size()) / 1e6;
    state.counters["s"] = seconds / double(state.iterations());
}
BENCHMARK(BM_RegisterPdf)
    ->ArgName("by_class")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2);

void BM_RegisterWorkbook(benchmark::State& state) {
    Year& y = Year::Get();
    LogOrderMemo memo;
    const RegisterGroup g{10, -1};
    const RegisterBuild b = y.build(11, &memo, {}, g);
    const RegisterWorkbook book{&b.sheet, RegisterParts(b.sheet, y.schema, g), {}};
    const QString path = y.dir.filePath("月报.xlsx");
    for (auto _ : state)
        if (!ExportRegister(book, path).written) state.SkipWithError("not written");
    state.counters["MB"] = double(QFileInfo(path).size()) / 1e6;
}
BENCHMARK(BM_RegisterWorkbook)->Unit(benchmark::kMillisecond)->Iterations(3);

// The panel in the window, everyone shown: ◀ to the month before, up to the grid and the
// picture painted.
void BM_RegisterPanelMonth(benchmark::State& state) {
    Year& y = Year::Get();
    bench::FixedClock clock(QDateTime(QDate(2026, 1, 1), QTime(12, 0)));
    QuietDialogs dialogs;
    SilentCuePlayer cues;
    Session session({y.dir.path(), &clock, &dialogs, &cues,
                     [](KeyCapture::KeyDown) { return std::make_unique<NoCapture>(); }, false});
    if (!session.StartUp()) {
        state.SkipWithError("start-up failed");
        return;
    }
    MainWindow& w = session.window();
    w.resize(1280, 800);
    w.show();
    w.ShowPanel(3);
    w.findChild<QPushButton*>(QStringLiteral("RegisterButton"))->click();
    auto* page = w.findChild<RegisterPanel*>(QStringLiteral("RegisterPage"));
    page->setMonth(QDate(2025, 12, 1));
    QCoreApplication::processEvents();
    int month = 12;
    double seconds = 0;
    for (auto _ : state) {
        month = month == 1 ? 12 : month - 1;
        seconds += Seconds([&] {
            page->setMonth(QDate(2025, month, 1));
            page->grab();
        });
    }
    state.counters["rows"] = page->model().rowCount();
    ReportFloor(state, y, seconds);
    session.ShutDown();
}
BENCHMARK(BM_RegisterPanelMonth)->Unit(benchmark::kMillisecond)->Iterations(6);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    return tallyra::bench::RunBenchmarks<QApplication>(argc, argv);
}
