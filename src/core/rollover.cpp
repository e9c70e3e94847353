#include "core/rollover.h"

#include <QFile>

#include "common/datetime.h"
#include "common/text.h"
#include "core/daystatus.h"
#include "core/notifier.h"
#include "core/positionedfile.h"

namespace tallyra {

namespace {
constexpr qint16 kDateTag = 7;

constexpr qint64 kStoredDateBytes = 10;

QDate ReadStoredDate(const PositionedFile& file) {
    // A cut record holds no date: zeros past the end would read as 1899-12-30.
    if (file.size() < kStoredDateBytes || file.readNumber<qint16>(1) != kDateTag) return {};
    const auto date = OleToDate(file.readNumber<double>(3));
    return date ? *date : QDate();
}
}  // namespace

QDate ReadLastStart(const DataFolder& folder) {
    PositionedFile file;
    if (!file.open(folder.lastRun(), PositionedFile::Mode::ReadOnly)) return {};
    return ReadStoredDate(file);
}

RolloverResult RollOverDay(const DataFolder& folder, const QDate& today, Notifier& notifier) {
    RolloverResult r;
    r.weekday = WeekdayOf(today);
    r.dateCaption = ChineseDateText(today);
    r.weekdayCaption = QStringLiteral("星期") + WeekdayName(r.weekday);
    r.currentYear = int(NumericValue(r.dateCaption.left(4)));

    PositionedFile file;
    file.open(folder.lastRun());
    const QDate last = ReadStoredDate(file);
    if (last != today) {
        r.newDay = true;
        // A running copy may still hold yesterday's file; deleting it under that copy would
        // split the day between two files.
        if (IsFileInUse(folder.dayStatus()))
            r.statusFileInUse = true;
        else
            QFile::remove(folder.dayStatus());
        if (!last.isValid() || last.year() != r.currentYear) {
            r.newYear = true;
            notifier.ShowNotice(QStringLiteral("欢迎新一年"));
        }
    }
    file.writeNumber<qint16>(1, kDateTag);
    file.writeNumber<double>(3, DateToOle(today));
    return r;
}

}  // namespace tallyra
