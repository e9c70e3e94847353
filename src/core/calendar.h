#pragma once

#include <QDate>
#include <QHash>
#include <QString>
#include <vector>

#include "core/format/calendarfile.h"
#include "core/format/leavefile.h"
#include "core/format/timetable.h"

namespace tallyra {

// The school calendar: the days no window is held (closed, with their name) and the
// make-up days that run another weekday's windows. Every other day runs its own weekday.
class SchoolCalendar {
public:
    struct Day {
        CalendarChange::Kind kind = CalendarChange::Open;
        int weekday = 0;
        QString name;
    };

    // The changes in the order they were made; the last one of a day counts.
    void apply(const CalendarChange& change);
    const Day* day(qint32 oleDay) const;
    // Whose windows a date runs: a make-up day's named weekday, or its own.
    int tableWeekday(const QDate& date) const;
    // The name of a closed day (empty when it has none), or nothing when it is held.
    const QString* closedName(const QDate& date) const;
    // The closed and make-up days, earliest first.
    std::vector<std::pair<qint32, Day>> days() const;

private:
    QHash<qint32, Day> days_;
};

// An excused absence: a person, a span from a day's window to a day's window, its kind and
// reason, who entered it and when; cancelled entries stay, marked.
struct LeaveEntry {
    qint32 id = 0;
    int index = 0;
    qint32 fromDay = 0, toDay = 0;
    int fromWindow = -1, toWindow = -1;  // -1: the day's first, the day's last
    QString kind, reason, by;
    double at = 0.0;
    bool cancelled = false;
    QString cancelledBy;
    double cancelledAt = 0.0;

    // Window w (0-5) of the day lies in the span.
    bool covers(qint32 day, int window) const;
    bool touches(qint32 firstDay, qint32 lastDay) const {
        return fromDay <= lastDay && toDay >= firstDay;
    }
};

// Every excused absence, with a lookup by person.
class LeaveBook {
public:
    void apply(const LeaveRecord& record);
    // The first entry in force that excuses the person at the day's window, or null.
    const LeaveEntry* excuse(int index, qint32 day, int window) const;
    // The same for any of the windows in `windows` (bit w for window w).
    const LeaveEntry* excuseAny(int index, qint32 day, quint8 windows) const;
    const LeaveEntry* entry(qint32 id) const;
    const std::vector<LeaveEntry>& entries() const { return entries_; }

private:
    std::vector<LeaveEntry> entries_;
    QHash<qint32, size_t> byId_;
    QHash<int, std::vector<size_t>> byPerson_;
};

// What the days of a range look like, for the sign-in, the statistics and the register.
struct AttendanceCalendar {
    const TimeTable* table = nullptr;
    const SchoolCalendar* calendar = nullptr;
    const LeaveBook* leave = nullptr;

    int tableWeekday(const QDate& date) const;
    const QString* closedName(const QDate& date) const;
    // The windows held on a date, bit w for window w: those the table sets for the weekday
    // the date runs, none on a closed day.
    quint8 heldWindows(const QDate& date) const;
};

// Today by the calendar: closed (no window is held) or running which weekday's windows.
struct DayPlan {
    bool closed = false;
    QString closedName;
    int tableWeekday = 1;
};

// The windows a year-log record can have been written for on a day that runs `weekday`'s
// windows, bit w for window w: an absence at a window's closing minute, a late sign-in from
// the window that ended `minutesLate` before it, an on-time one in the window it fell in.
quint8 WindowsOfRecord(const TimeTable& table, int weekday, qint16 minute, qint16 minutesLate);

}  // namespace tallyra
