#include "core/timewindows.h"

#include "common/datetime.h"
#include "core/positionedfile.h"

namespace tallyra {

namespace {
// 1-based positions of the file's items.
qint64 StartPos(int k) { return 1 + 2 * k; }
qint64 EndPos(int k) { return 101 + 2 * k; }
qint64 FlagPos(int k) { return 201 + k; }
qint64 NamePos(int w) { return 301 + 16 * w; }
constexpr qint64 kFileBytes = 392;

bool ValidCell(int k) { return k >= 0 && k < kCellCount; }
}  // namespace

QString TimeTable::cellCaption(int k) const {
    if (!ValidCell(k)) return {};
    return MinutesToClockText(starts[size_t(k)]) + u'~' + MinutesToClockText(ends[size_t(k)]);
}

QString TimeTable::displayName(int window) const {
    if (window < 0 || window >= kWindowCount) return {};
    const QString& n = names[size_t(window)];
    return n.isEmpty() ? QString::number(window) : n;
}

TimeTable LoadTimeWindows(const DataFolder& folder) {
    PositionedFile file;
    file.open(folder.timeWindows());  // a missing file is created and reads as zeros
    const QByteArray all = file.read(1, kFileBytes);
    TimeTable t;
    for (int k = 0; k < kCellCount; ++k) {
        t.starts[size_t(k)] = PositionedFile::FromLittle<qint16>(all.constData() + StartPos(k) - 1);
        t.ends[size_t(k)] = PositionedFile::FromLittle<qint16>(all.constData() + EndPos(k) - 1);
        t.set[size_t(k)] = all[FlagPos(k) - 1] != 0;
    }
    for (int w = 0; w < kWindowCount; ++w)
        t.names[size_t(w)] = DecodeFixedText(SliceBytes(all, NamePos(w) - 1, 12));
    return t;
}

TodayWindows ComputeTodayWindows(const TimeTable& table, int weekday) {
    TodayWindows today;
    if (weekday < 1 || weekday > 7) return today;
    for (int w = 0; w < kWindowCount; ++w) {
        const int k = TimeTable::Cell(w, weekday);
        today.minutes[size_t(w)] = table.starts[size_t(k)];
        today.minutes[size_t(w + 6)] = table.ends[size_t(k)];
    }
    return today;
}

bool WriteCellFlag(const DataFolder& folder, int k, bool set) {
    if (!ValidCell(k)) return false;
    PositionedFile file;
    return file.open(folder.timeWindows()) && file.writeNumber<quint8>(FlagPos(k), set ? 1 : 0);
}

bool WriteCellTimes(const DataFolder& folder, int k, qint16 start, qint16 end) {
    if (!ValidCell(k)) return false;
    PositionedFile file;
    return file.open(folder.timeWindows()) && file.writeNumber<qint16>(StartPos(k), start) &&
           file.writeNumber<qint16>(EndPos(k), end);
}

bool WriteWindowName(const DataFolder& folder, int window, const QString& name) {
    if (window < 0 || window >= kWindowCount) return false;
    PositionedFile file;
    return file.open(folder.timeWindows()) &&
           file.writeFixedText(NamePos(window), 12, name.left(12));
}

}  // namespace tallyra
