#pragma once

#include <QString>
#include <array>
#include <optional>
#include <utility>

#include "core/format/timetable.h"
#include "core/storeresult.h"

namespace tallyra {

// Today's starts in entries 0-5 and ends in entries 6-11.
struct TodayWindows {
    std::array<qint16, 12> minutes{};
    qint16 start(int w) const { return minutes[size_t(w)]; }
    qint16 end(int w) const { return minutes[size_t(w + 6)]; }
};

// Taken once at start-up; later edits of the table reach swipes only after a restart.
TodayWindows ComputeTodayWindows(const TimeTable& table, int weekday);

// What the time input panel's four boxes say.

// A time box's text as the "00" pattern gives it: a number padded to two digits (rounded),
// any other text unchanged.
QString TwoDigitText(const QString& boxText);
// The caption the four time boxes make ("07:30~08:00").
QString TimeBoxCaption(const std::array<QString, 4>& boxes);
// The start and end the boxes give, or nothing when a box is not an hour 00-23 or a minute
// 00-59, or the start is not before the end ("时间输入错误").
std::optional<std::pair<qint16, qint16>> TimesOfBoxes(const std::array<QString, 4>& boxes);
// The cells a store covers: k alone, or the seven weekdays of k's window.
std::pair<int, int> StoredCells(int k, bool allWeekdays);

// time.dat and the table loaded from it. Each change writes only its own bytes; the table
// follows the file. The swipes take today's windows from it at once.
class TimeTableStore {
public:
    explicit TimeTableStore(DataFolder folder) : folder_(std::move(folder)) {}

    FileError load();
    const TimeTable& get() const { return table_; }

    // Cell k, or all seven weekdays of k's window, in one write; the set/not-set flags stay.
    StoreResult setTimes(int k, qint16 start, qint16 end, bool allWeekdays);
    StoreResult setCellSet(int k, bool set);
    // The rename prompt's answer: its first 12 characters, as far as the 12-byte field
    // holds them.
    StoreResult rename(int window, const QString& answer);

private:
    DataFolder folder_;
    TimeTable table_;
};

}  // namespace tallyra
