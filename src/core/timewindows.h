#pragma once

#include <QString>
#include <array>
#include <optional>

#include "core/format/timetable.h"

namespace tallyra {

// Today's starts in entries 0-5 and ends in entries 6-11.
struct TodayWindows {
    std::array<qint16, 12> minutes{};
    qint16 start(int w) const { return minutes[size_t(w)]; }
    qint16 end(int w) const { return minutes[size_t(w + 6)]; }
};

// Taken once at start-up; later edits of the table reach swipes only after a restart.
TodayWindows ComputeTodayWindows(const TimeTable& table, int weekday);

// The editor's operations: each changes the table in memory and writes only its own bytes.

// A time box's text as the "00" pattern gives it: a number padded to two digits (rounded),
// any other text unchanged.
QString TwoDigitText(const QString& boxText);
// The caption the four time boxes make ("07:30~08:00").
QString TimeBoxCaption(const std::array<QString, 4>& boxes);
// The cells a store covers: k alone, or the seven weekdays of k's window.
std::pair<int, int> StoredCells(int k, bool allWeekdays);
// StartNotBeforeEnd also stands for a box that is not an hour 00-23 or a minute 00-59: both
// are "时间输入错误".
enum class StoreTimes { Stored, StartNotBeforeEnd, WriteFailed };
// Stores the boxes' times into cell k, or into all seven weekdays of k's window. The
// set/not-set flags stay as they are.
[[nodiscard]] StoreTimes StoreTimeWindow(const DataFolder& folder, TimeTable& table, int k,
                                         const std::array<QString, 4>& boxes, bool allWeekdays);
[[nodiscard]] bool SetCellFlag(const DataFolder& folder, TimeTable& table, int k, bool set);
// The answer of the rename prompt: its first 12 characters are stored; returns the name
// users see from now on, or nothing when it could not be stored (the old name stays).
[[nodiscard]] std::optional<QString> RenameWindow(const DataFolder& folder, TimeTable& table,
                                                  int window, const QString& answer);

}  // namespace tallyra
