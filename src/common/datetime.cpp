#include "common/datetime.h"

#include <cmath>

#include "common/text.h"

namespace tallyra {

namespace {
const QDate kOleEpoch(1899, 12, 30);
// 0100-01-01 and 9999-12-31 as OLE day numbers.
constexpr double kOleMin = -657434.0;
constexpr double kOleMax = 2958465.0;
}  // namespace

std::optional<QDate> OleToDate(double ole) {
    if (!std::isfinite(ole)) return std::nullopt;
    const double day = std::trunc(ole);
    if (day < kOleMin || day > kOleMax) return std::nullopt;
    return kOleEpoch.addDays(static_cast<qint64>(day));
}

double DateToOle(const QDate& date) { return static_cast<double>(kOleEpoch.daysTo(date)); }

qint16 ClockTextToMinutes(const QString& text) {
    const double h = NumericValue(text.left(2));
    const double m = NumericValue(text.mid(3, 2));
    return static_cast<qint16>(static_cast<int>(h) * 60 + static_cast<int>(m));
}

QString MinutesToClockText(qint16 minutes) {
    // The common case directly: statistics exports write a million of these.
    if (minutes >= 0 && minutes < 6000) {
        const int h = minutes / 60, m = minutes % 60;
        const char16_t text[5] = {char16_t(u'0' + h / 10), char16_t(u'0' + h % 10), u':',
                                  char16_t(u'0' + m / 10), char16_t(u'0' + m % 10)};
        return QString(reinterpret_cast<const QChar*>(text), 5);
    }
    return ZeroPadded(minutes / 60, 2) + u':' + ZeroPadded(minutes % 60, 2);
}

QString WeekdayName(int weekday) {
    static const char16_t* const names[] = {u"日", u"一", u"二", u"三", u"四", u"五", u"六"};
    if (weekday < 1 || weekday > 7) return {};
    return QString::fromUtf16(names[weekday - 1]);
}

int WeekdayOf(const QDate& date) { return date.dayOfWeek() % 7 + 1; }

float YearsSince(double ole, int precision, const QDate& today) {
    if (!OleToDate(ole)) return 0.0f;
    const float v = static_cast<float>((DateToOle(today) - ole) / 365.25);
    switch (precision) {
        case 1:
        case 2:
        case 3: {
            // Formatting to the decimals and reading back, as the display does, rounds half
            // away from zero.
            const double scale = std::pow(10.0, precision);
            return static_cast<float>(std::round(static_cast<double>(v) * scale) / scale);
        }
        case 0:
        case -1:
            return std::floor(v);
        default:
            return 0.0f;
    }
}

QString YearsText(float years) {
    // Years come rounded to at most three decimals; writing those digits directly is the
    // same text as the general float formatting and many times cheaper at roster load.
    if (std::isfinite(years) && std::fabs(years) < 1e6f) {
        for (int decimals = 0, scale = 1; decimals <= 3; ++decimals, scale *= 10) {
            const double scaled = std::round(static_cast<double>(years) * scale);
            if (static_cast<float>(scaled / scale) != years) continue;
            const qint64 units = static_cast<qint64>(scaled);
            const qint64 magnitude = units < 0 ? -units : units;
            QString text = QString::number(magnitude / scale);
            if (decimals > 0) text += u'.' + ZeroPadded(magnitude % scale, decimals);
            return units < 0 ? u'-' + text : text;
        }
    }
    return QString::number(static_cast<double>(years), 'g', 7);
}

QString ChineseDateText(const QDate& date) {
    return ZeroPadded(date.year(), 4) + QStringLiteral("年") + ZeroPadded(date.month(), 2) +
           QStringLiteral("月") + ZeroPadded(date.day(), 2) + QStringLiteral("日");
}

QString IsoDateText(const QDate& date) { return date.toString(QStringLiteral("yyyy-MM-dd")); }

double DateTimeToOle(const QDateTime& moment) {
    return DateToOle(moment.date()) + double(moment.time().msecsSinceStartOfDay()) / 86400000.0;
}

QDateTime OleToDateTime(double ole) {
    const std::optional<QDate> date = OleToDate(std::floor(ole));
    if (!date) return {};
    const double fraction = ole - std::floor(ole);
    return QDateTime(
        *date, QTime::fromMSecsSinceStartOfDay(int(std::lround(fraction * 86400000.0)) % 86400000));
}

}  // namespace tallyra
