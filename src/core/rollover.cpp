#include "core/rollover.h"

#include "common/datetime.h"
#include "common/text.h"
#include "core/format/daystatus.h"
#include "core/format/positionedfile.h"
#include "core/layout/urs.h"
#include "core/notifier.h"

namespace tallyra {

using namespace layout::urs;

DayCaptions DescribeDay(const QDate& day) {
    DayCaptions c;
    c.day = day;
    c.weekday = WeekdayOf(day);
    c.dateCaption = ChineseDateText(day);
    c.weekdayCaption = QStringLiteral("星期") + WeekdayName(c.weekday);
    c.currentYear = int(NumericValue(c.dateCaption.left(4)));
    return c;
}

RolloverResult RollOverDay(const DataFolder& folder, const QDate& today, DayStatusFile& status,
                           Notifier& notifier) {
    RolloverResult r;
    static_cast<DayCaptions&>(r) = DescribeDay(today);
    const QDate last = ReadLastStart(folder, &r.error);
    if (r.error.failed()) return r;
    if (last == today) return r;  // urs.dat already holds today
    r.newDay = true;
    // Emptied before the new day is stored: a failure in between leaves a day that the
    // next start resets again, never yesterday's statuses taken for today's.
    if (!status.reset()) {
        r.error = status.lastError();
        return r;
    }
    r.error = WriteLastStart(folder, today);
    if (r.error.failed()) return r;
    if (!last.isValid() || last.year() != r.currentYear) {
        r.newYear = true;
        notifier.ShowNotice(QStringLiteral("欢迎新一年"));
    }
    return r;
}

}  // namespace tallyra
