#pragma once

#include <QString>
#include <vector>

#include "core/format/datafolder.h"
#include "core/format/positionedfile.h"

namespace tallyra {

// What a slot of calendar.dat says of one day.
struct CalendarChange {
    enum Kind : quint8 { Open = 0, Closed = 1, MakeUp = 2 };
    qint32 day = 0;  // OLE day
    Kind kind = Open;
    quint8 weekday = 0;  // MakeUp: the weekday whose windows the day runs, 1 = Sunday
    QString name;        // Closed: what the day is called (国庆节, 寒假)
    bool operator==(const CalendarChange&) const = default;
};

constexpr int kCalendarNameBytes = 24;

// Every change in file order. A slot whose kind or weekday is out of range is left out (and
// counted in `damaged`); a missing file has none.
std::vector<CalendarChange> ReadCalendarChanges(const DataFolder& folder,
                                                FileError* error = nullptr, int* damaged = nullptr);
// The changes appended in one write and on the disk; false (the file as it was) when not.
[[nodiscard]] bool AppendCalendarChanges(const DataFolder& folder,
                                         const std::vector<CalendarChange>& changes);
QByteArray EncodeCalendarChange(const CalendarChange& change);  // one slot

}  // namespace tallyra
