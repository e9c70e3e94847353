#include "core/rollover.h"

#include "common/datetime.h"
#include "common/text.h"
#include "core/daystatus.h"
#include "core/layout/urs.h"
#include "core/notifier.h"
#include "core/positionedfile.h"

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

QDate ReadLastStart(const DataFolder& folder, FileError* error) {
    PositionedFile file;
    if (OpenForReading(file, folder.lastRun()) == ReadOpen::Failed && error)
        *error = file.lastError();
    // A cut record holds no date: zeros past the end would read as 1899-12-30.
    if (file.size() < kRecordBytes || file.readNumber<qint16>(kTagPos) != kDateTag) return {};
    const auto date = OleToDate(file.readNumber<double>(kDatePos));
    return date ? *date : QDate();
}

FileError WriteLastStart(const DataFolder& folder, const QDate& day) {
    PositionedFile file;
    char raw[kRecordBytes];
    PositionedFile::ToLittle(kDateTag, raw);
    PositionedFile::ToLittle(DateToOle(day), raw + kDatePos - kTagPos);
    if (file.open(folder.lastRun()) && file.write(kTagPos, QByteArrayView(raw, kRecordBytes)))
        return {};
    return file.lastError();
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
