// The whole start-up of the window on a full 5000-person roster, offscreen: rollover,
// files, grids, roster load, board counts, window built and shown. Also reports the
// resident memory once the window is up.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>

#include "app/mainwindow.h"
#include "app/session.h"
#include "bench_support.h"
#include "core/format/settings.h"
#include "core/roster.h"
#include "core/timewindows.h"
#include "gui/dialogs.h"
#include "must.h"
#include "quietwindow.h"

using namespace tallyra;
using tallyra::bench::NoCapture;
using tallyra::bench::QuietDialogs;
using tallyra::test::Must;

namespace {

double ResidentMegabytes() {
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly)) return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toDouble() * double(sysconf(_SC_PAGESIZE)) / 1048576.0 : 0;
}

void WriteFolder(const DataFolder& folder) {
    RosterFile file;
    file.open(folder);
    for (int i = 1; i <= kRosterSize; ++i) {
        PersonRecord p;
        p.name = QStringLiteral("学生%1").arg(i);
        p.cardNumber = qint64(3000000000LL + i * 7) * 10000;
        p.texts = {QStringLiteral("人民路%1号").arg(i), QStringLiteral("初二(3)班"), QString()};
        Must(file.write(i, p));
    }
    for (int w = 0; w < 6; ++w) {
        const int k = TimeTable::Cell(w, 3);
        Must(WriteCellTimes(folder, k, qint16(420 + 120 * w), qint16(450 + 120 * w)));
        Must(WriteCellFlag(folder, k, true));
    }
    Must(SaveSignInColumnWidths(folder, {0, 1500, 1400, 1000, 1000, 1000, 1000, 1000, 1000}));
}

void BM_StartUpAndShow(benchmark::State& state) {
    QTemporaryDir dir;
    WriteFolder(DataFolder(dir.path()));
    bench::FixedClock clock(QDateTime(QDate(2026, 12, 8), QTime(9, 30)));
    QuietDialogs dialogs;
    SilentCuePlayer cues;
    double rss = 0;
    for (auto _ : state) {
        Session session({dir.path(), &clock, &dialogs, &cues,
                         [](KeyCapture::KeyDown) { return std::make_unique<NoCapture>(); }, false});
        if (!session.StartUp()) state.SkipWithError("start-up failed");
        session.window().show();
        QCoreApplication::processEvents();
        rss = std::max(rss, ResidentMegabytes());
        state.PauseTiming();
        session.ShutDown();
        state.ResumeTiming();
    }
    state.counters["rss_MB"] = rss;
}
BENCHMARK(BM_StartUpAndShow)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    return tallyra::bench::RunBenchmarks<QApplication>(argc, argv);
}
