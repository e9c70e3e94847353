#pragma once

#include <QAbstractTableModel>
#include <QDate>
#include <QString>
#include <functional>
#include <optional>
#include <vector>

#include "core/calendar.h"
#include "core/format/datafolder.h"
#include "core/roster.h"
#include "models/statsrowstore.h"

namespace tallyra {

struct StatsFilter {
    QDate first, last;  // inclusive
    QString namePattern = QStringLiteral("*");
    qint64 card = 0;                        // fixed point; 0 = every card
    qint16 lateMin = 0, lateMax = 9999;     // absent is 9999
    int weekdayFirst = 1, weekdayLast = 7;  // 1 = Sunday
    // One person by roster index (the personal centre's own attendance: a name may hold
    // wildcard characters); 0 = whoever the name and card filters let through.
    int index = 0;
    // Absences that leave or a closed day excuse are listed with their kind; false leaves
    // them out.
    bool excused = true;
};

struct StatsSummary {
    qint32 late = 0;
    qint64 lateMinutes = 0;
    qint32 missed = 0;   // absences nothing excuses
    qint32 excused = 0;  // absences on leave
    qint32 closed = 0;   // absences on a day closed afterwards
    qint32 onTime = 0;
    qint32 rows = 0;
    QString hoursText() const;  // late minutes / 60 as "0.0小时"
};

// The filter as the panel's boxes (or the command line's options) give it.
struct StatsQueryTexts {
    QString first, last;       // "YYYY-MM-DD"
    QString name;              // wildcard pattern; empty = everyone
    QString card;              // card number; empty or 0 = every card
    QString lateMin, lateMax;  // minutes; empty = 0 and 9999
    int weekdayFirst = 1, weekdayLast = 7;
};
// The filter those texts make, or nothing when a date is not a date (`error` then holds the
// notice the panel shows).
std::optional<StatsFilter> ParseStatsFilter(const StatsQueryTexts& texts, QString* error = nullptr);

// Reads the year logs of every year of the range, earlier first, in file order, and
// appends the events the filter lets through. Records whose index lies outside the roster
// or whose person has no name are skipped. With `days`, an absence on a closed day or one
// that leave covers gets its `why` (label n of `labels`, which the query fills).
StatsSummary RunStatisticsQuery(const DataFolder& folder, const Roster& roster,
                                const StatsFilter& filter, std::vector<StatsRow>& rows,
                                const AttendanceCalendar* days = nullptr,
                                std::vector<QString>* labels = nullptr);

// The same into a row store, emptied first.
StatsSummary RunStatisticsQuery(const DataFolder& folder, const Roster& roster,
                                const StatsFilter& filter, StatsRowStore& rows,
                                const AttendanceCalendar* days = nullptr,
                                std::vector<QString>* labels = nullptr);

class StatsGridModel;
// The query into the grid, as the panel and the command-line tool run it. The old rows go
// first, so a year of new rows never has to fit beside a year of old ones.
StatsSummary RunStatistics(const DataFolder& folder, const Roster& roster,
                           const StatsFilter& filter, StatsGridModel& grid,
                           const AttendanceCalendar* days = nullptr);

}  // namespace tallyra
