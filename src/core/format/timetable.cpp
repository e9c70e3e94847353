#include "core/format/timetable.h"

#include "common/datetime.h"
#include "common/gbk.h"
#include "core/layout/time.h"

namespace tallyra {

using namespace layout::time;

namespace {

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

TimeTable LoadTimeWindows(const DataFolder& folder, FileError* error) {
    const QByteArray all = ReadDataFile(folder.timeWindows(), kFileBytes, error);
    TimeTable t;
    for (int k = 0; k < kCellCount; ++k) {
        t.starts[size_t(k)] = PositionedFile::FromLittle<qint16>(all.constData() + StartPos(k) - 1);
        t.ends[size_t(k)] = PositionedFile::FromLittle<qint16>(all.constData() + EndPos(k) - 1);
        t.set[size_t(k)] = all[FlagPos(k) - 1] != 0;
    }
    for (int w = 0; w < kWindowCount; ++w)
        t.names[size_t(w)] = DecodeFixedText(SliceBytes(all, NamePos(w) - 1, kNameBytes));
    return t;
}

bool WriteCellFlag(const DataFolder& folder, int k, bool set) {
    if (!ValidCell(k)) return false;
    PositionedFile file;
    return file.open(folder.timeWindows()) && file.writeNumber<quint8>(FlagPos(k), set ? 1 : 0);
}

// Starts and ends of cells first..last in one write: a cell never holds a new start with an
// old end, and "统一设定" sets all seven weekdays or none.
bool WriteCellsTimes(const DataFolder& folder, int first, int last, qint16 start, qint16 end) {
    if (!ValidCell(first) || !ValidCell(last) || first > last) return false;
    PositionedFile file;
    if (!file.open(folder.timeWindows())) return false;
    FileImage image(file, EndPos(last) + 1);
    for (int k = first; k <= last; ++k) {
        image.number<qint16>(StartPos(k), start);
        image.number<qint16>(EndPos(k), end);
    }
    return image.writeTo(file);
}

bool WriteCellTimes(const DataFolder& folder, int k, qint16 start, qint16 end) {
    return WriteCellsTimes(folder, k, k, start, end);
}

bool WriteWindowName(const DataFolder& folder, int window, const QString& name) {
    if (window < 0 || window >= kWindowCount) return false;
    PositionedFile file;
    return file.open(folder.timeWindows()) &&
           file.writeFixedText(NamePos(window), kNameBytes, name);
}

}  // namespace tallyra
