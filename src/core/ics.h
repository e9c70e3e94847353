#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <vector>

#include "core/calendar.h"

namespace tallyra {

// The iCalendar files school calendars are published in. Only the days count: each event's
// days are closed under its summary, or, when the summary says the day is worked
// ("补班", "上班", "按星期N", or our X-TALLYRA-WEEKDAY), made up running the weekday it names
// (Monday when it names none). Read tolerantly: what is not understood is passed over, and
// bounded, so a hostile file costs little.
struct IcsRead {
    std::vector<CalendarChange> changes;
    int events = 0;
    int skipped = 0;  // events without a usable start
    QString failure;  // not a calendar, or over its limits: nothing is taken
};

constexpr qsizetype kMostIcsBytes = qsizetype(4) << 20;
constexpr int kMostIcsEvents = 5000;
constexpr int kMostIcsDays = 20000;

IcsRead ReadIcs(QByteArrayView bytes);

// The calendar's closed days (a run of days under one name as one event) and make-up days
// as all-day events, stamped `stamp`.
QByteArray WriteIcs(const SchoolCalendar& calendar, const QDateTime& stamp);

}  // namespace tallyra
