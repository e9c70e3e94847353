#pragma once

#include <QDate>
#include <QString>

#include "core/datafolder.h"

namespace tallyra {

class Notifier;

struct RolloverResult {
    int weekday = 1;         // 1 = Sunday ... 7 = Saturday
    QString dateCaption;     // "2014年03月18日"
    QString weekdayCaption;  // "星期二"
    int currentYear = 0;
    bool newDay = false;
    bool newYear = false;
    // A new day found yesterday's status file held by a running copy and left it alone.
    bool statusFileInUse = false;
};

// Compares today with the last start stored in urs.dat: a new day throws the day status
// away (unless a running copy holds it), a new year is greeted; today is stored always.
RolloverResult RollOverDay(const DataFolder& folder, const QDate& today, Notifier& notifier);

// The last start stored in urs.dat, or an invalid date when none is.
QDate ReadLastStart(const DataFolder& folder);

}  // namespace tallyra
