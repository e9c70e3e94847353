// A swipe and the closing of a window on a full 5000-person board, sound off.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QTemporaryDir>

#include "bench_support.h"
#include "core/format/settings.h"
#include "core/roster.h"
#include "core/signin.h"
#include "core/timewindows.h"
#include "core/workstation.h"
#include "must.h"

using namespace tallyra;
using tallyra::bench::FixedClock;
using tallyra::test::Must;

namespace {

// Tuesday 2026-12-08, window 0 07:30-08:00, everybody signing in.
struct FullBoard {
    // The disk the data folder sits on decides what the sync costs: the system's temporary
    // folder is on the machine's disk, /dev/shm is memory.
    explicit FullBoard(bool inMemory = false)
        : dir(inMemory ? QStringLiteral("/dev/shm/tallyra-bench-XXXXXX") : QString()) {
        init();
    }
    QTemporaryDir dir;
    DataFolder folder{dir.path()};
    FixedClock clock;
    SilentNotifier notifier;
    SilentCuePlayer cues;
    std::unique_ptr<Workstation> station;
    std::unique_ptr<SignIn> signIn;

    void init() {
        RosterFile file;
        Must(file.open(folder));
        for (int i = 1; i <= kRosterSize; ++i) {
            PersonRecord p;
            p.name = QStringLiteral("学生%1").arg(i);
            p.cardNumber = qint64(3000000000LL + i * 7) * 10000;
            Must(file.write(i, p));
        }
        const int k = TimeTable::Cell(0, 3);
        Must(WriteCellTimes(folder, k, 450, 480));
        Must(WriteCellFlag(folder, k, true));
        Must(SaveOptionBox(folder, Settings::RecordOnTime, true));
        Must(SaveSignInColumnWidths(folder, {0, 1500, 1400, 1000, 1000, 1000, 1000, 1000, 1000}));
        clock.at = QDateTime(QDate(2026, 12, 8), QTime(7, 45));
        start();
    }
    void start() {
        if (station) station->shutDown();
        signIn.reset();
        station = std::make_unique<Workstation>(folder, clock, notifier);
        station->start();
        signIn = std::make_unique<SignIn>(*station, cues);
    }
    // A new day: an empty status file and an empty board.
    void restart() {
        station->shutDown();
        QFile::remove(folder.dayStatus());
        QFile::remove(folder.yearLog(2026));
        start();
    }
};

void BM_ProcessSwipe(benchmark::State& state) {
    FullBoard board(state.range(0) == 1);
    QStringList cards;
    for (int i = 1; i <= kRosterSize; ++i) cards << QString::number(3000000000LL + i * 7);
    // Everyone once, in an order that visits the whole board: each swipe is an on-time
    // sign-in with its status write, log record and recount.
    int n = 0;
    for (auto _ : state) {
        if (n == kRosterSize) {
            state.PauseTiming();
            board.restart();
            n = 0;
            state.ResumeTiming();
        }
        const int i = (n * 2749) % kRosterSize;
        benchmark::DoNotOptimize(board.signIn->ProcessSwipe(cards[i], Panel::SignIn));
        ++n;
    }
}
// Arg 0: the data on this machine's disk, each swipe synced to it before its notice; arg 1:
// the same on /dev/shm, where the sync costs nothing, to show what the sync adds.
BENCHMARK(BM_ProcessSwipe)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

void BM_CloseWindowWith5000Absent(benchmark::State& state) {
    FullBoard board(state.range(0) == 1);
    for (auto _ : state) {
        state.PauseTiming();
        board.restart();
        state.ResumeTiming();
        benchmark::DoNotOptimize(board.signIn->CloseWindow(0, 481));
    }
}
BENCHMARK(BM_CloseWindowWith5000Absent)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

}  // namespace

int main(int argc, char** argv) {
    return tallyra::bench::RunBenchmarks<QCoreApplication>(argc, argv);
}
