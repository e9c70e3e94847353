#pragma once

#include <QDate>
#include <QString>
#include <optional>
#include <vector>

#include "core/calendar.h"
#include "core/format/datafolder.h"
#include "core/format/logspan.h"
#include "core/format/schema.h"
#include "core/roster.h"
#include "models/registersheet.h"

namespace tallyra {

// Whom a register lists: everyone who signs in, or those holding one element of a choice
// field (a class).
struct RegisterGroup {
    int field = 0;     // choice field 9-11; 0 groups nobody
    int element = -1;  // the element; -1 every one, each a part of its own when printed
    bool operator==(const RegisterGroup&) const = default;
};

struct RegisterRequest {
    QDate month;  // any day of it
    RegisterGroup group;
    int index = 0;  // one person alone (the personal centre's own; -1 nobody); 0 the group
};

// What a register is made from.
struct RegisterSources {
    DataFolder folder;
    const Roster* roster = nullptr;
    AttendanceCalendar calendar;
    QDate today;                   // the station's day: later days have not come
    int minuteNow = 24 * 60;       // today's windows count once their closing minute has come,
    int todayClosed = -1;          // or, when not negative, those the station closed (bit w)
    LogOrderMemo* memo = nullptr;  // keeps the logs' order between registers
};

class Workstation;
// What a running station makes its registers from: its roster, calendar and leave as they
// are now, its day, and the clock's minute for the day's windows.
RegisterSources StationRegisterSources(const Workstation& station, LogOrderMemo* memo = nullptr);
// The minute of `today` that has come by `now`: all of it once the clock is past the day,
// none while the clock is behind it.
int RegisterMinuteNow(const QDate& today, const QDateTime& now);

struct RegisterBuild {
    RegisterSheet sheet;
    FileError error;  // the month's year log is there but could not be read
    LogSpanScan scan;
};

// The month from one pass over the month's part of its year's log (the log of the month's
// own year alone: a December never reads January's file). A window held on a past day
// without a record counts as on time, the way the station logs (on-time sign-ins only when
// asked to), unless the window's on-time sign-ins were logged and this person has none: then
// the person was not on the board yet and the window does not count.
RegisterBuild BuildRegister(const RegisterSources& sources, const RegisterRequest& request);

// The parts a register is printed and written in: the chosen element alone, every element
// of the field that has people (in element order), or everyone as one. `group` is the one
// the sheet was built for: the sheet knows each person's element of that field alone.
std::vector<RegisterPart> RegisterParts(const RegisterSheet& sheet, const Schema& schema,
                                        const RegisterGroup& group);
// "班级：三年二班", "职务：全部" or "全部人员".
QString RegisterGroupCaption(const Schema& schema, const RegisterGroup& group);

// The windows of a cell one by one, as a tooltip shows them.
QString RegisterDayDetail(const RegisterSheet& sheet, int row, int day,
                          const AttendanceCalendar& calendar);

// "2026-11" as the month's first day; nothing for a month that does not exist.
std::optional<QDate> ParseRegisterMonth(const QString& text);
// "FIELD=ELEMENT" (or "FIELD" for every element) by the title and element text the roster
// shows; nothing, with `error` saying which part is unknown, otherwise.
std::optional<RegisterGroup> ParseRegisterGroup(const QString& text, const Schema& schema,
                                                QString* error = nullptr);

}  // namespace tallyra
