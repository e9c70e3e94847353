#pragma once

#include <QDate>
#include <QString>

#include "core/format/datafolder.h"
#include "core/format/lastrun.h"
#include "core/format/positionedfile.h"

namespace tallyra {

class DayStatusFile;
class Notifier;

// What the sign-in panel shows of a day, and the year whose log it writes.
struct DayCaptions {
    QDate day;
    int weekday = 1;         // 1 = Sunday ... 7 = Saturday
    QString dateCaption;     // "2014年03月18日"
    QString weekdayCaption;  // "星期二"
    int currentYear = 0;
};
DayCaptions DescribeDay(const QDate& day);

struct RolloverResult : DayCaptions {
    bool newDay = false;
    bool newYear = false;
    FileError error;  // urs.dat could not be read, or a new day could not be stored
};

// Compares today with the last start stored in urs.dat: a new day empties the day status
// file, a new year is greeted, and today is stored. `status` must be open and locked by
// this copy, so no other copy can be resetting or writing the same day. On an error the
// start must not go on: a day that was not stored would be reset again at the next start.
RolloverResult RollOverDay(const DataFolder& folder, const QDate& today, DayStatusFile& status,
                           Notifier& notifier);

}  // namespace tallyra
