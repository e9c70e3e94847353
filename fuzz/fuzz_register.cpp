// The monthly register from a log in date order, its month found by binary search (and by
// what was remembered of the log before it grew), is the register a full read of the same
// records gives: the same log with one earlier record at its end is read whole.
#include <QTemporaryDir>
#include <cstddef>
#include <cstdint>

#include "common/datetime.h"
#include "core/format/daystatus.h"
#include "core/format/yearlog.h"
#include "core/register.h"
#include "fuzz_support.h"

using namespace tallyra;

namespace {

const TimeTable& Table() {
    static const TimeTable t = [] {
        TimeTable table;
        for (int d = 2; d <= 7; ++d) {
            for (int w = 0; w < 2; ++w) {
                const size_t k = size_t(TimeTable::Cell(w, d));
                table.starts[k] = qint16(w == 0 ? 450 : 720);
                table.ends[k] = qint16(w == 0 ? 480 : 750);
                table.set[k] = d < 7 || w == 0;
            }
        }
        return table;
    }();
    return t;
}

RegisterBuild Build(const QString& root, const Roster& roster, LogOrderMemo* memo) {
    static const SchoolCalendar calendar;
    static const LeaveBook leave;
    return BuildRegister(
        RegisterSources{DataFolder(root), &roster, AttendanceCalendar{&Table(), &calendar, &leave},
                        QDate(2027, 1, 1), 0, -1, memo},
        RegisterRequest{QDate(2026, 11, 1), {}, 0});
}

bool Same(const RegisterSheet& a, const RegisterSheet& b) {
    if (a.marks != b.marks || a.people.size() != b.people.size()) return false;
    for (size_t r = 0; r < a.people.size(); ++r)
        if (!(a.people[r].totals == b.people[r].totals)) return false;
    for (size_t k = 0; k < a.cells.size(); ++k)
        if (a.cells[k].mark != b.cells[k].mark || a.cells[k].late != b.cells[k].late) return false;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static QTemporaryDir dir;
    static const QString ordered = dir.filePath(QStringLiteral("ordered"));
    static const QString whole = dir.filePath(QStringLiteral("whole"));
    static const bool made = QDir().mkpath(DataFolder(ordered).yearLogFolder()) &&
                             QDir().mkpath(DataFolder(whole).yearLogFolder());
    (void)made;
    static const Roster roster = [] {
        Roster r;
        for (int i = 1; i <= 8; ++i) r.at(i).name = QStringLiteral("学生%1").arg(i);
        return r;
    }();

    // A first byte for the first day, near the month's start or near its end; then five
    // bytes a record, days never going back: who, whether the day moves on, and what kind of
    // record at which minute.
    if (size < 1) return 0;
    QByteArray log;
    double day = DateToOle(data[0] % 2 ? QDate(2026, 10, 29) : QDate(2026, 11, 27));
    for (size_t k = 1; k + 5 <= size; k += 5) {
        const uint8_t* b = data + k;
        day += b[1] % 3 == 0 ? 1 : 0;
        const int w = b[3] % 2;
        const int end = w == 0 ? 480 : 750;
        qint16 minute = 0, late = 0;
        switch (b[2] % 4) {
            case 0:
                minute = qint16(end - 30 + b[3] % 31);
                break;
            case 1:
                late = qint16(1 + b[4] % 90);
                minute = qint16(end + late);
                break;
            case 2:
                minute = qint16(end + 1);
                late = kStatusAbsent;
                break;
            default:
                minute = qint16(b[3] * 6);
                late = qint16(b[4] * 41 - 200);
        }
        char slot[kLogSlotSize];
        EncodeYearLogRecord({qint16(b[0] % 10), day, minute, late}, slot);
        log.append(slot, kLogSlotSize);
    }

    const QString orderedLog = DataFolder(ordered).yearLog(2026);
    const qsizetype half = log.size() / 2 / kLogSlotSize * kLogSlotSize;
    LogOrderMemo memo;
    ReplaceFile(orderedLog, log.left(half));
    (void)Build(ordered, roster, &memo);
    ReplaceFile(orderedLog, log);
    const RegisterBuild got = Build(ordered, roster, &memo);
    if (!got.scan.ordered) __builtin_trap();

    char early[kLogSlotSize];
    EncodeYearLogRecord({1, DateToOle(QDate(2026, 1, 5)), 481, kStatusAbsent}, early);
    ReplaceFile(DataFolder(whole).yearLog(2026), log + QByteArray(early, kLogSlotSize));
    const RegisterBuild want = Build(whole, roster, nullptr);
    if (!log.isEmpty() && want.scan.ordered) __builtin_trap();
    if (!Same(got.sheet, want.sheet)) __builtin_trap();
    return 0;
}
