#include "core/rollover.h"

#include "common/datetime.h"
#include "common/text.h"
#include "core/daystatus.h"
#include "core/notifier.h"
#include "core/positionedfile.h"

namespace tallyra {

namespace {
constexpr qint16 kDateTag = 7;
constexpr qint64 kStoredDateBytes = 10;
}  // namespace

DayCaptions DescribeDay(const QDate& day) {
    DayCaptions c;
    c.day = day;
    c.weekday = WeekdayOf(day);
    c.dateCaption = ChineseDateText(day);
    c.weekdayCaption = QStringLiteral("星期") + WeekdayName(c.weekday);
    c.currentYear = int(NumericValue(c.dateCaption.left(4)));
    return c;
}

QDate ReadLastStart(const DataFolder& folder, FileError* error) {
    PositionedFile file;
    if (OpenForReading(file, folder.lastRun()) == ReadOpen::Failed && error)
        *error = file.lastError();
    // A cut record holds no date: zeros past the end would read as 1899-12-30.
    if (file.size() < kStoredDateBytes || file.readNumber<qint16>(1) != kDateTag) return {};
    const auto date = OleToDate(file.readNumber<double>(3));
    return date ? *date : QDate();
}

FileError WriteLastStart(const DataFolder& folder, const QDate& day) {
    PositionedFile file;
    char raw[kStoredDateBytes];
    PositionedFile::ToLittle(kDateTag, raw);
    PositionedFile::ToLittle(DateToOle(day), raw + 2);
    if (file.open(folder.lastRun()) && file.write(1, QByteArrayView(raw, kStoredDateBytes)))
        return {};
    return file.lastError();
}

RolloverResult RollOverDay(const DataFolder& folder, const QDate& today, DayStatusFile& status,
                           Notifier& notifier) {
    RolloverResult r;
    static_cast<DayCaptions&>(r) = DescribeDay(today);
    const QDate last = ReadLastStart(folder, &r.error);
    if (r.error.failed()) return r;
    if (last == today) {
        (void)WriteLastStart(folder, today);  // the same bytes: a failure changes nothing
        return r;
    }
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
