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

StoreTimes StoreTimeWindow(const DataFolder& folder, TimeTable& table, int k,
                           const std::array<QString, 4>& boxes, bool allWeekdays) {
    if (!ValidCell(k)) return StoreTimes::WriteFailed;
    // Hours 00-23 and minutes 00-59, nothing else: "25:70" would store a minute of no day.
    for (int i = 0; i < 4; ++i) {
        bool number = false;
        const double v = boxes[size_t(i)].trimmed().toDouble(&number);
        if (!number || v != std::floor(v) || v < 0 || v > (i % 2 == 0 ? 23 : 59))
            return StoreTimes::StartNotBeforeEnd;
    }
    const QString s = TimeBoxCaption(boxes);
    const qint16 t1 = ClockTextToMinutes(s.left(5));
    const qint16 t2 = ClockTextToMinutes(s.right(5));
    if (t1 >= t2) return StoreTimes::StartNotBeforeEnd;
    const auto [first, last] = StoredCells(k, allWeekdays);
    if (!WriteCellsTimes(folder, first, last, t1, t2)) return StoreTimes::WriteFailed;
    for (int v = first; v <= last; ++v) {
        table.starts[size_t(v)] = t1;
        table.ends[size_t(v)] = t2;
    }
    return StoreTimes::Stored;
}

bool SetCellFlag(const DataFolder& folder, TimeTable& table, int k, bool set) {
    if (!ValidCell(k) || !WriteCellFlag(folder, k, set)) return false;
    table.set[size_t(k)] = set;
    return true;
}

std::optional<QString> RenameWindow(const DataFolder& folder, TimeTable& table, int window,
                                    const QString& answer) {
    if (window < 0 || window >= kWindowCount) return {};
    // What the 12-byte field can hold is what is kept, and shown.
    const QString name = DecodeGbk(EncodeGbkFitting(answer.left(12), kNameBytes));
    if (!WriteWindowName(folder, window, name)) return std::nullopt;
    table.names[size_t(window)] = TrimBlanks(name);
    return table.displayName(window);
}

}  // namespace tallyra
