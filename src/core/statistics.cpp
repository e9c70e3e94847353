#include "core/statistics.h"

#include <QCollator>
#include <QFileInfo>
#include <QHash>
#include <QStringEncoder>
#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <limits>
#include <numeric>
#include <optional>
#include <string>

#include "common/datetime.h"
#include "common/largepages.h"
#include "common/text.h"
#include "core/format/daystatus.h"
#include "core/format/fields.h"
#include "core/format/yearlog.h"
#include "core/signin.h"
#include "models/statsgridmodel.h"

namespace tallyra {

QString StatsSummary::hoursText() const {
    // Tenths of an hour from the whole minutes, halves up: 9 minutes are 0.2 hours, not the
    // 0.1 a binary 0.15 rounds to.
    const qint64 m = lateMinutes < 0 ? -lateMinutes : lateMinutes;
    const qint64 tenths = (m * 10 + 30) / 60;
    return (lateMinutes < 0 && tenths > 0 ? QStringLiteral("-") : QString()) +
           QString::number(tenths / 10) + u'.' + QString::number(tenths % 10) +
           QStringLiteral("小时");
}

std::optional<StatsFilter> ParseStatsFilter(const StatsQueryTexts& t, QString* error) {
    StatsFilter f;
    f.first = QDate::fromString(t.first.trimmed(), QStringLiteral("yyyy-MM-dd"));
    f.last = QDate::fromString(t.last.trimmed(), QStringLiteral("yyyy-MM-dd"));
    if (!f.first.isValid() || !f.last.isValid()) {
        if (error) *error = QStringLiteral("日期输入错误，请输入YYYY-MM-DD");
        return std::nullopt;
    }
    f.namePattern = t.name.isEmpty() ? QStringLiteral("*") : t.name;
    const double card = NumericValue(t.card);
    f.card = std::isfinite(card) && std::abs(card) < 9e14
                 ? qint64(std::llround(card * double(kFixedPointScale)))
                 : 0;
    auto bound = [](const QString& text, qint16 empty) {
        if (text.isEmpty()) return empty;
        return qint16(std::clamp(NumericValue(text), -32768.0, 32767.0));
    };
    f.lateMin = bound(t.lateMin, 0);
    f.lateMax = bound(t.lateMax, kStatusAbsent);
    f.weekdayFirst = t.weekdayFirst;
    f.weekdayLast = t.weekdayLast;
    return f;
}

namespace {

// Where a query's rows go: the caller's vector, or the grid's own store. Both hand out room
// for a run of rows that the scan fills through a plain pointer.
struct IntoVector {
    std::vector<StatsRow>& rows;
    void reserve(qint64 records) {
        const size_t old = rows.size();
        rows.reserve(old + size_t(records));
        AdviseLargePages(rows.data() + old, (rows.capacity() - old) * sizeof(StatsRow));
    }
    StatsRow* room(size_t most, StatsRow*& limit) {
        // A short run: the room is cleared before it is filled, and most of it goes unused
        // under a narrow filter.
        const size_t old = rows.size();
        rows.resize(old + std::min<size_t>(most, StatsRowStore::kChunkRows));
        limit = rows.data() + rows.size();
        return rows.data() + old;
    }
    void commit(StatsRow* end) { rows.resize(size_t(end - rows.data())); }
    void finish() {
        if (rows.size() < rows.capacity() / 2)
            rows.shrink_to_fit();  // a narrow filter keeps little
    }
};

struct IntoStore {
    StatsRowStore& rows;
    void reserve(qint64) {}
    StatsRow* room(size_t, StatsRow*& limit) { return rows.room(limit); }
    void commit(StatsRow* end) { rows.commit(end); }
    void finish() { rows.trim(); }
};

// Why an absence is excused: a day the calendar closes, or leave in force that covers the
// window the record was written for. Asked of every absence of a year, so everything it
// needs is laid out once as plain tables: the calendar's days, each person's leave as
// spans of (day, window) keys, and which windows close at each minute of each weekday.
class Excuses {
public:
    // `first`..`last`: the days a query reads, over which each day's people on leave are
    // laid out as bits, so an absence without leave is answered by one bit.
    Excuses(const AttendanceCalendar& days, bool keep, qint32 first, qint32 last) : keep_(keep) {
        if (days.calendar) {
            const auto all = days.calendar->days();
            if (!all.empty() && all.back().first - all.front().first < kLongestSpan) {
                firstDay_ = all.front().first;
                byDay_.assign(size_t(all.back().first - firstDay_ + 1), 0);
                for (const auto& [day, d] : all)
                    byDay_[size_t(day - firstDay_)] =
                        d.kind == CalendarChange::Closed
                            ? qint16(-label(d.name.isEmpty() ? QStringLiteral("休")
                                                             : QStringLiteral("休：") + d.name))
                            : qint16(d.weekday);
            }
        }
        if (days.leave && days.table) {
            for (const LeaveEntry& e : days.leave->entries()) {
                if (e.cancelled || e.index < 1 || e.index > kRosterSize) continue;
                if (spans_.empty()) spans_.resize(size_t(kRosterSize) + 1);
                spans_[size_t(e.index)].push_back(
                    {Key(e.fromDay, e.fromWindow < 0 ? 0 : e.fromWindow),
                     Key(e.toDay, e.toWindow < 0 ? 5 : e.toWindow), label(e.kind)});
            }
            layOutLeave(first, last);
            for (int weekday = 1; weekday <= 7; ++weekday)
                for (int w = 0; w < kWindowCount; ++w) {
                    if (!days.table->isSet(w, weekday)) continue;
                    const int end = days.table->ends[size_t(TimeTable::Cell(w, weekday))];
                    const int minute = CloseRecordMinute(end);
                    if (minute >= 0 && minute < 1440)
                        closing_[size_t(weekday)][size_t(minute)] |= quint8(1u << w);
                }
        }
    }
    // 0 none, n > 0 leave of label n, n < 0 the closed day of label -n.
    qint16 why(qint32 day, qint16 index, qint16 minute) const {
        const qint64 at = qint64(day) - firstDay_;
        const qint16 calendar = at >= 0 && at < qint64(byDay_.size()) ? byDay_[size_t(at)] : 0;
        if (calendar < 0) return calendar;
        if (spans_.empty() || index < 1 || index > kRosterSize) return 0;
        const qint64 bitDay = qint64(day) - bitsFirst_;
        if (bitDay >= 0 && bitDay < bitsDays_) {
            const quint64 word = bits_[size_t(bitDay * kWords + index / 64)];
            if (!((word >> (index % 64)) & 1)) return 0;
        }
        const std::vector<Span>& spans = spans_[size_t(index)];
        if (spans.empty()) return 0;
        const int weekday = calendar > 0 ? calendar : WeekdayOfOle(day);
        quint8 windows =
            minute >= 0 && minute < 1440 ? closing_[size_t(weekday)][size_t(minute)] : 0;
        // A record no window of the table explains is weighed against the whole day.
        if (windows == 0) windows = 0x3f;
        const qint64 dayFirst = Key(day, 0), dayLast = Key(day, kWindowCount - 1);
        for (const Span& s : spans) {
            if (s.to < dayFirst || s.from > dayLast) continue;  // another day's leave
            for (int w = 0; w < kWindowCount; ++w)
                if (((windows >> w) & 1) && s.from <= Key(day, w) && Key(day, w) <= s.to)
                    return s.label;
        }
        return 0;
    }
    bool keep() const { return keep_; }
    std::vector<QString> takeLabels() { return std::move(labels_); }

private:
    static constexpr qint64 kLongestSpan = 40000;  // days of calendar laid out, a century
    struct Span {
        qint64 from, to;
        qint16 label;
    };
    static qint64 Key(qint64 day, int window) { return day * 8 + window; }
    static constexpr qint64 kWords = (kRosterSize + 1 + 63) / 64;  // a day's bits
    static constexpr qint64 kMostBitDays = 4000;                   // 2.5 MB of bits

    void layOutLeave(qint32 first, qint32 last) {
        if (last < first || spans_.empty()) return;
        qint64 lo = last, hi = first;
        for (const auto& person : spans_)
            for (const Span& sp : person) {
                lo = std::min(lo, std::max<qint64>(first, sp.from / 8));
                hi = std::max(hi, std::min<qint64>(last, sp.to / 8));
            }
        if (hi < lo || hi - lo + 1 > kMostBitDays) return;
        bitsFirst_ = lo;
        bitsDays_ = hi - lo + 1;
        bits_.assign(size_t(bitsDays_ * kWords), 0);
        for (size_t i = 0; i < spans_.size(); ++i)
            for (const Span& sp : spans_[i])
                for (qint64 d = std::max(lo, sp.from / 8); d <= std::min(hi, sp.to / 8); ++d)
                    bits_[size_t((d - lo) * kWords + qint64(i) / 64)] |= quint64(1) << (i % 64);
    }

    qint16 label(const QString& text) {
        const auto it = ids_.constFind(text);
        if (it != ids_.cend()) return *it;
        if (labels_.size() >= 32000) return 1;  // more kinds than anyone enters: the first
        labels_.push_back(text);
        const qint16 id = qint16(labels_.size());
        ids_.insert(text, id);
        return id;
    }

    bool keep_;
    qint32 firstDay_ = 0;
    std::vector<qint16> byDay_;  // from firstDay_: < 0 closed (its label), > 0 make-up weekday
    std::vector<std::vector<Span>> spans_;               // by roster index
    std::array<std::array<quint8, 1440>, 8> closing_{};  // by weekday and minute
    qint64 bitsFirst_ = 0, bitsDays_ = 0;
    std::vector<quint64> bits_;  // by day from bitsFirst_: who is on leave that day
    QHash<QString, qint16> ids_;
    std::vector<QString> labels_;
};

// What a record must pass, by value, so that the loop keeps it in registers.
struct RecordTest {
    const char* listed;  // by roster index as an unsigned 16-bit number: no range test
    double first, last;
    qint16 lo;
    quint16 width;  // hi - lo, so one unsigned comparison tests both bounds
    int weekdayFirst, weekdayLast;
    const Excuses* excuses;  // null: no calendar or leave to ask
};

struct Counts {
    qint64 rows = 0, onTime = 0, missed = 0, minutes = 0;  // minutes of every row, 9999s too
    qint64 excused = 0, closed = 0;                        // of the absences, listed or not
    qint64 leftOut = 0;                                    // of those, not listed
};

// The listed records of one block of slots, read where they lie, cheapest test first: what
// a record fails on does not change whether it is listed. kFromZero: the range starts on or
// after day 0, where truncating a date is its floor.
template <bool kEveryDay, bool kFromZero, typename Out>
void ScanBlock(const char* slots, size_t n, const RecordTest t, Out& out, Counts& counts) {
    Counts c;
    StatsRow* limit = nullptr;
    StatsRow* at = out.room(n, limit);
    const char* const end = slots + n * kLogSlotSize;
    for (const char* s = slots; s != end; s += kLogSlotSize) {
        const qint16 index = SlotIndex(s);
        if (!t.listed[quint16(index)]) continue;
        const qint16 minutesLate = SlotMinutesLate(s);
        if (quint16(minutesLate - t.lo) > t.width) continue;
        const double date = SlotDate(s);
        if (!(date >= t.first && date <= t.last)) continue;
        qint32 day = qint32(date);
        if (!kFromZero) day -= double(day) > date;
        if (!kEveryDay) {
            const int weekday = WeekdayOfOle(day);
            if (weekday < t.weekdayFirst || weekday > t.weekdayLast) continue;
        }
        if (at == limit) {
            out.commit(at);
            at = out.room(size_t(end - s) / kLogSlotSize, limit);
        }
        const qint16 minute = SlotMinute(s);
        qint16 why = 0;
        if (minutesLate == kStatusAbsent && t.excuses) {
            why = t.excuses->why(day, index, minute);
            c.excused += why > 0;
            c.closed += why < 0;
            // Left out, but still counted as excused.
            if (why != 0 && !t.excuses->keep()) {
                c.leftOut += 1;
                continue;
            }
        }
        *at++ = StatsRow{day, index, minute, minutesLate, why};
        ++c.rows;
        c.onTime += minutesLate == 0;
        c.missed += minutesLate == kStatusAbsent;
        c.minutes += minutesLate;
    }
    out.commit(at);
    counts.rows += c.rows;
    counts.onTime += c.onTime;
    counts.missed += c.missed;
    counts.minutes += c.minutes;
    counts.excused += c.excused;
    counts.closed += c.closed;
    counts.leftOut += c.leftOut;
}

template <typename Out>
StatsSummary Scan(const DataFolder& folder, const Roster& roster, const StatsFilter& filter,
                  Out& out, const Excuses* excuses) {
    StatsSummary summary;
    if (!filter.first.isValid() || !filter.last.isValid()) return summary;
    // Days a 32-bit row can hold; no log holds others.
    constexpr double kFirstDay = std::numeric_limits<qint32>::min();
    constexpr double kLastDay = std::numeric_limits<qint32>::max();
    // Who may appear is a question of the person alone: answer it once per roster entry,
    // not once per record.
    std::vector<char> listed(size_t(std::numeric_limits<quint16>::max()) + 1, 0);
    const QString pattern = filter.namePattern.isEmpty() ? QStringLiteral("*") : filter.namePattern;
    for (int i = 1; i <= kRosterSize; ++i) {
        const PersonRecord& p = roster.at(i);
        listed[size_t(i)] = filter.index > 0
                                ? i == filter.index && !p.name.isEmpty()
                                : !p.name.isEmpty() && WildcardMatch(p.name, pattern) &&
                                      (filter.card == 0 || p.cardNumber == filter.card);
    }
    if (filter.lateMin > filter.lateMax) return summary;
    const RecordTest test{listed.data(),
                          std::max(DateToOle(filter.first), kFirstDay),
                          std::min(DateToOle(filter.last), kLastDay),
                          filter.lateMin,
                          quint16(filter.lateMax - filter.lateMin),
                          filter.weekdayFirst,
                          filter.weekdayLast,
                          excuses};
    const bool everyDay = test.weekdayFirst <= 1 && test.weekdayLast >= 7;
    const bool fromZero = test.first >= 0;
    // Room for every record of the range's files at once: growing a vector of millions of
    // rows step by step copies it again and again.
    qint64 records = 0;
    for (int year = filter.first.year(); year <= filter.last.year(); ++year)
        records += (QFileInfo(folder.yearLog(year)).size() + kLogSlotSize - 1) / kLogSlotSize;
    out.reserve(std::clamp<qint64>(records, 0, 64'000'000));
    Counts counts;
    for (int year = filter.first.year(); year <= filter.last.year(); ++year) {
        ScanYearLog(folder.yearLog(year), [&](const char* slots, size_t n) {
            if (everyDay && fromZero)
                ScanBlock<true, true>(slots, n, test, out, counts);
            else if (everyDay)
                ScanBlock<true, false>(slots, n, test, out, counts);
            else if (fromZero)
                ScanBlock<false, true>(slots, n, test, out, counts);
            else
                ScanBlock<false, false>(slots, n, test, out, counts);
            return true;
        });
    }
    summary.onTime = qint32(counts.onTime);
    summary.missed = qint32(counts.missed + counts.leftOut - counts.excused - counts.closed);
    summary.excused = qint32(counts.excused);
    summary.closed = qint32(counts.closed);
    summary.late = qint32(counts.rows - counts.onTime - counts.missed);
    summary.lateMinutes = counts.minutes - qint64(kStatusAbsent) * counts.missed;
    summary.rows = qint32(counts.rows);
    return summary;
}

template <typename Out>
StatsSummary Query(const DataFolder& folder, const Roster& roster, const StatsFilter& filter,
                   Out out, const AttendanceCalendar* days, std::vector<QString>* labels) {
    std::optional<Excuses> excuses;
    if (days)
        excuses.emplace(*days, filter.excused,
                        filter.first.isValid() ? qint32(DateToOle(filter.first)) : 0,
                        filter.last.isValid() ? qint32(DateToOle(filter.last)) : -1);
    const StatsSummary summary = Scan(folder, roster, filter, out, excuses ? &*excuses : nullptr);
    out.finish();
    if (labels) *labels = excuses ? excuses->takeLabels() : std::vector<QString>{};
    return summary;
}

}  // namespace

StatsSummary RunStatisticsQuery(const DataFolder& folder, const Roster& roster,
                                const StatsFilter& filter, std::vector<StatsRow>& rows,
                                const AttendanceCalendar* days, std::vector<QString>* labels) {
    return Query(folder, roster, filter, IntoVector{rows}, days, labels);
}

StatsSummary RunStatisticsQuery(const DataFolder& folder, const Roster& roster,
                                const StatsFilter& filter, StatsRowStore& rows,
                                const AttendanceCalendar* days, std::vector<QString>* labels) {
    rows.recycle();
    return Query(folder, roster, filter, IntoStore{rows}, days, labels);
}

StatsSummary RunStatistics(const DataFolder& folder, const Roster& roster,
                           const StatsFilter& filter, StatsGridModel& grid,
                           const AttendanceCalendar* days) {
    grid.setRoster(&roster);
    StatsSummary summary;
    std::vector<QString> labels;
    grid.refill([&](StatsRowStore& rows) {
        summary = Query(folder, roster, filter, IntoStore{rows}, days, &labels);
    });
    grid.setLabels(std::move(labels));
    return summary;
}

}  // namespace tallyra
