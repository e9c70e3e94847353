// The day's own files as a crash or a careless copy may leave them: the day status file
// (statuses and the record of closes) and urs.dat, read by a start on the same day, the
// rebuild from the journal and a tick.
#include <QTemporaryDir>
#include <cstddef>
#include <cstdint>

#include "core/signin.h"
#include "core/workstation.h"
#include "fuzz_support.h"

using namespace tallyra;

namespace {
class FixedClock final : public Clock {
public:
    QDateTime now() const override { return {QDate(2026, 12, 8), QTime(8, 1)}; }
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static QTemporaryDir dir;
    const DataFolder folder(dir.path());
    static bool prepared = false;
    if (!prepared) {
        RosterFile file;
        (void)file.open(folder);
        for (int i = 1; i <= 20; ++i) {
            PersonRecord p;
            p.name = QStringLiteral("P%1").arg(i);
            p.cardNumber = qint64(1000 + i) * 10000;
            (void)file.write(i, p);
        }
        for (int w = 0; w < 6; ++w) {
            (void)WriteCellTimes(folder, TimeTable::Cell(w, 3), qint16(400 + 20 * w),
                                 qint16(410 + 20 * w));
            (void)WriteCellFlag(folder, TimeTable::Cell(w, 3), true);
        }
        prepared = true;
    }
    const QList<QByteArray> files = SplitFiles(data, size, 3);
    ReplaceFile(folder.dayStatus(), files[0]);
    ReplaceFile(folder.lastRun(), files[1]);
    ReplaceFile(folder.yearLog(2026), files[2]);
    FixedClock clock;
    SilentNotifier notifier;
    SilentCuePlayer cues;
    Workstation station(folder, clock, notifier);
    if (station.start() == Workstation::StartResult::Ready) {
        SignIn signIn(station, cues);
        signIn.RecoverDay();
        (void)signIn.OnTimer1();
        (void)signIn.ProcessSwipe(QStringLiteral("1001"), Panel::SignIn);
    }
    station.shutDown();
    return 0;
}
