// calendar.dat, leave.dat and an iCalendar file: the calendar and the leave book read back,
// asked what they would be asked by a day's sign-in and a statistics query, and the calendar
// written out as iCalendar and read in again.
#include <QTemporaryDir>
#include <cstddef>
#include <cstdint>

#include "common/datetime.h"
#include "core/calendarstore.h"
#include "core/ics.h"
#include "fuzz_support.h"

using namespace tallyra;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static QTemporaryDir dir;
    const DataFolder folder(dir.path());
    const QList<QByteArray> files = SplitFiles(data, size, 3);
    ReplaceFile(folder.calendar(), files[0]);
    ReplaceFile(folder.leave(), files[1]);
    CalendarStore calendar(folder);
    LeaveStore leave(folder);
    (void)calendar.load();
    (void)leave.load();
    TimeTable table;
    for (int k = 0; k < kCellCount; ++k) {
        table.set[size_t(k)] = k % 3 != 0;
        table.starts[size_t(k)] = qint16(400 + k);
        table.ends[size_t(k)] = qint16(430 + k);
    }
    const AttendanceCalendar days{&table, &calendar.get(), &leave.get()};
    for (const auto& [day, d] : calendar.get().days()) {
        if (const std::optional<QDate> date = OleToDate(day)) (void)days.heldWindows(*date);
        for (int i : {1, 2, 5000})
            (void)leave.get().excuseAny(i, day, WindowsOfRecord(table, d.weekday, 431, 9999));
    }
    for (const LeaveEntry& e : leave.get().entries())
        for (int w = -1; w <= 6; ++w) (void)e.covers(e.fromDay, w);
    // The calendar as iCalendar and back; then the fuzzer's own iCalendar bytes.
    const IcsRead again = ReadIcs(WriteIcs(calendar.get(), QDateTime(QDate(2026, 1, 1), {})));
    if (!again.failure.isEmpty() && !calendar.get().days().empty()) __builtin_trap();
    const IcsRead read = ReadIcs(files[2]);
    if (!read.failure.isEmpty() && !read.changes.empty()) __builtin_trap();
    if (int(read.changes.size()) > kMostIcsDays) __builtin_trap();
    return 0;
}
