#include "core/timewindows.h"

#include <cmath>

#include "common/datetime.h"
#include "common/gbk.h"
#include "common/text.h"
#include "core/layout/time.h"

namespace tallyra {

using namespace layout::time;

namespace {

bool ValidCell(int k) { return k >= 0 && k < kCellCount; }
}  // namespace

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

QString TwoDigitText(const QString& boxText) {
    bool number = false;
    const double v = boxText.trimmed().toDouble(&number);
    if (!number || !std::isfinite(v) || std::abs(v) > 1e9) return boxText;
    const long long whole = std::llround(std::nearbyint(v));  // halves to even
    return (whole < 0 ? QStringLiteral("-") : QString()) +
           QString::number(std::llabs(whole)).rightJustified(2, u'0');
}

QString TimeBoxCaption(const std::array<QString, 4>& boxes) {
    return TwoDigitText(boxes[0]) + u':' + TwoDigitText(boxes[1]) + u'~' + TwoDigitText(boxes[2]) +
           u':' + TwoDigitText(boxes[3]);
}

std::pair<int, int> StoredCells(int k, bool allWeekdays) {
    if (!allWeekdays) return {k, k};
    return {(k / 7) * 7, (k / 7) * 7 + 6};
}

std::optional<std::pair<qint16, qint16>> TimesOfBoxes(const std::array<QString, 4>& boxes) {
    // Hours 00-23 and minutes 00-59, nothing else: "25:70" would store a minute of no day.
    for (int i = 0; i < 4; ++i) {
        bool number = false;
        const double v = boxes[size_t(i)].trimmed().toDouble(&number);
        if (!number || v != std::floor(v) || v < 0 || v > (i % 2 == 0 ? 23 : 59))
            return std::nullopt;
    }
    const QString s = TimeBoxCaption(boxes);
    const qint16 t1 = ClockTextToMinutes(s.left(5));
    const qint16 t2 = ClockTextToMinutes(s.right(5));
    if (t1 >= t2) return std::nullopt;
    return std::pair{t1, t2};
}

FileError TimeTableStore::load() {
    FileError error;
    table_ = LoadTimeWindows(folder_, &error);
    return error;
}

StoreResult TimeTableStore::setTimes(int k, qint16 start, qint16 end, bool allWeekdays) {
    if (!ValidCell(k)) return StoreResult::Failed;
    const auto [first, last] = StoredCells(k, allWeekdays);
    if (!WriteCellsTimes(folder_, first, last, start, end)) return StoreResult::Failed;
    for (int v = first; v <= last; ++v) {
        table_.starts[size_t(v)] = start;
        table_.ends[size_t(v)] = end;
    }
    return StoreResult::Stored;
}

StoreResult TimeTableStore::setCellSet(int k, bool set) {
    if (!ValidCell(k) || !WriteCellFlag(folder_, k, set)) return StoreResult::Failed;
    table_.set[size_t(k)] = set;
    return StoreResult::Stored;
}

StoreResult TimeTableStore::rename(int window, const QString& answer) {
    if (window < 0 || window >= kWindowCount) return StoreResult::Failed;
    // What the 12-byte field can hold is what is kept, and shown.
    const QString name = DecodeGbk(EncodeGbkFitting(answer.left(12), kNameBytes));
    if (!WriteWindowName(folder_, window, name)) return StoreResult::Failed;
    table_.names[size_t(window)] = TrimBlanks(name);
    return StoreResult::Stored;
}

}  // namespace tallyra
