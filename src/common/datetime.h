#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>
#include <optional>

namespace tallyra {

// OLE automation dates: days since 1899-12-30, the whole part is the day for either sign.
// Only days of years 100 to 9999 are dates; NaN, infinities and values beyond give nullopt.
std::optional<QDate> OleToDate(double ole);
double DateToOle(const QDate& date);
// A moment as an OLE date and time (the fraction is the time of day), and back; an OLE value
// outside the dates a QDate holds gives an invalid moment.
double DateTimeToOle(const QDateTime& moment);
QDateTime OleToDateTime(double ole);

// Minutes since midnight from "HH:MM[...]": numeric value of characters 1-2 times 60 plus
// the numeric value of characters 4-5 (23:59:10 gives 1439).
qint16 ClockTextToMinutes(const QString& text);

// m div 60 with at least two digits, ":", m mod 60 with two digits (450 gives "07:30").
QString MinutesToClockText(qint16 minutes);

// 1 = Sunday ... 7 = Saturday gives "日", "一" ... "六"; anything else the empty text.
QString WeekdayName(int weekday);

// 1 = Sunday ... 7 = Saturday.
int WeekdayOf(const QDate& date);
// The same of an OLE day number, without building a date: scans call it per record.
inline int WeekdayOfOle(qint32 day) { return int(((qint64(day) - 1) % 7 + 7) % 7) + 1; }

// Years from `ole` to `today` as single precision: precision 1-3 rounds to that many
// decimals, 0 and -1 give the whole years below, anything else 0. A date that is no date
// (NaN, out of range) gives 0.
float YearsSince(double ole, int precision, const QDate& today);

// The text a years value is shown with in the roster grid (19.3, 4, 1.25).
QString YearsText(float years);

// "YYYY年MM月DD日" and "YYYY-MM-DD".
QString ChineseDateText(const QDate& date);
QString IsoDateText(const QDate& date);

}  // namespace tallyra
