#include "core/statistics.h"

#include <QCollator>
#include <QFileInfo>
#include <algorithm>
#include <cmath>
#include <numeric>

#include "common/datetime.h"
#include "common/text.h"
#include "core/daystatus.h"
#include "core/fields.h"
#include "core/textgridmodel.h"
#include "core/yearlog.h"

namespace tallyra {

namespace {

// OLE day 1 (1899-12-31) was a Sunday.
int WeekdayOfDay(qint32 day) { return int(((qint64(day) - 1) % 7 + 7) % 7) + 1; }

// "YYYY-MM-DD" of an OLE day, without the general date formatter: exports format a
// million of these.
QString DayText(qint32 day) {
    const std::optional<QDate> date = OleToDate(day);
    if (!date || date->year() < 1000) return date ? IsoDateText(*date) : QString();
    int y = 0, m = 0, d = 0;
    date->getDate(&y, &m, &d);
    const char16_t text[10] = {char16_t(u'0' + y / 1000),
                               char16_t(u'0' + y / 100 % 10),
                               char16_t(u'0' + y / 10 % 10),
                               char16_t(u'0' + y % 10),
                               u'-',
                               char16_t(u'0' + m / 10),
                               char16_t(u'0' + m % 10),
                               u'-',
                               char16_t(u'0' + d / 10),
                               char16_t(u'0' + d % 10)};
    return QString(reinterpret_cast<const QChar*>(text), 10);
}

}  // namespace

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

std::vector<int> BoardSortCodes() {
    using C = TextGridModel::SortCode;
    return {C::NumericAscending, C::NumericAscending, C::TextAscending,
            C::TextAscending,    C::TextAscending,    C::TextAscending,
            C::TextAscending,    C::TextAscending,    C::TextAscending};
}

std::vector<int> StatsSortCodes() {
    using C = TextGridModel::SortCode;
    return {C::TextAscending,    C::TextAscending,    C::TextAscending,
            C::NumericAscending, C::NumericAscending, C::TextAscending};
}

StatsSummary RunStatisticsQuery(const DataFolder& folder, const Roster& roster,
                                const StatsFilter& filter, std::vector<StatsRow>& rows) {
    StatsSummary summary;
    if (!filter.first.isValid() || !filter.last.isValid()) return summary;
    const double first = DateToOle(filter.first), last = DateToOle(filter.last);
    // Who may appear is a question of the person alone: answer it once per roster entry,
    // not once per record.
    std::vector<char> listed(size_t(kRosterSize) + 1, 0);
    const QString pattern = filter.namePattern.isEmpty() ? QStringLiteral("*") : filter.namePattern;
    for (int i = 1; i <= kRosterSize; ++i) {
        const PersonRecord& p = roster.at(i);
        listed[size_t(i)] = filter.index > 0
                                ? i == filter.index && !p.name.isEmpty()
                                : !p.name.isEmpty() && WildcardMatch(p.name, pattern) &&
                                      (filter.card == 0 || p.cardNumber == filter.card);
    }
    // Room for every record of the range's files at once: growing a vector of millions of
    // rows step by step copies it again and again.
    qint64 records = 0;
    for (int year = filter.first.year(); year <= filter.last.year(); ++year)
        records += QFileInfo(folder.yearLog(year)).size() / kLogSlotSize;
    rows.reserve(rows.size() + size_t(std::clamp<qint64>(records, 0, 64'000'000)));
    const qint16 lo = filter.lateMin, hi = filter.lateMax;
    const int wFirst = filter.weekdayFirst, wLast = filter.weekdayLast;
    for (int year = filter.first.year(); year <= filter.last.year(); ++year) {
        ReadYearLog(folder.yearLog(year), [&](const YearLogRecord* r, size_t n) {
            for (size_t k = 0; k < n; ++k) {
                const YearLogRecord& rec = r[k];
                if (!(rec.date >= first && rec.date <= last)) continue;
                if (!rec.hasValidIndex() || !listed[size_t(rec.index)]) continue;
                if (rec.minutesLate < lo || rec.minutesLate > hi) continue;
                const qint32 day = qint32(std::floor(rec.date));
                const int weekday = WeekdayOfDay(day);
                if (weekday < wFirst || weekday > wLast) continue;
                rows.push_back(StatsRow{day, rec.index, rec.minute, rec.minutesLate});
                if (rec.minutesLate == kLoggedOnTime) {
                    ++summary.onTime;
                } else if (rec.minutesLate == kStatusAbsent) {
                    ++summary.missed;
                } else {
                    ++summary.late;
                    summary.lateMinutes += rec.minutesLate;
                }
                ++summary.rows;
            }
            return true;
        });
    }
    if (rows.size() < rows.capacity() / 2) rows.shrink_to_fit();  // a narrow filter keeps little
    return summary;
}

StatsSummary RunStatistics(const DataFolder& folder, const Roster& roster,
                           const StatsFilter& filter, StatsGridModel& grid) {
    std::vector<StatsRow> rows;
    const StatsSummary s = RunStatisticsQuery(folder, roster, filter, rows);
    grid.setResults(std::move(rows));
    return s;
}

StatsGridModel::StatsGridModel(const Roster* roster, QObject* parent)
    : QAbstractTableModel(parent), roster_(roster) {}

void StatsGridModel::setResults(std::vector<StatsRow> results) {
    beginResetModel();
    rows_.clear();
    rows_.reserve(results.size() + 1);
    rows_.push_back(StatsRow{});
    rows_.insert(rows_.end(), results.begin(), results.end());
    blank_ = 0;
    endResetModel();
}

QString StatsGridModel::text(int gridRow, int column) const {
    if (column < 0 || column >= kColumns) return {};
    if (gridRow == 0) {
        static const char16_t* const heads[] = {u"姓名", u"日期",     u"时间",
                                                u"卡号", u"迟签时间", u"星期"};
        return QString::fromUtf16(heads[column]);
    }
    if (gridRow < 1 || gridRow > int(rows_.size())) return {};
    const StatsRow& r = rows_[size_t(gridRow - 1)];
    if (r.index == 0) return {};
    const PersonRecord* p =
        roster_ && Roster::validIndex(r.index) ? &roster_->at(r.index) : nullptr;
    switch (column) {
        case 0:
            return p ? p->name : QString();
        case 1:
            return DayText(r.day);
        case 2:
            return MinutesToClockText(r.minute);
        case 3:
            return p ? CardText(p->cardNumber) : QString();
        case 4:
            return QString::number(r.late);
        default:
            return WeekdayName(WeekdayOfDay(r.day));
    }
}

int StatsGridModel::gridRowOfView(int viewRow) const {
    // View row 0 is the header; the blank row is left out of the view.
    if (viewRow == 0) return 0;
    return viewRow <= int(blank_) ? viewRow : viewRow + 1;
}

int StatsGridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(rows_.size());  // header + rows - blank
}

int StatsGridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumns;
}

QVariant StatsGridModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid()) return {};
    return text(gridRowOfView(index.row()), index.column());
}

void StatsGridModel::sortColumn(int column, int code) {
    if (column < 0 || column >= kColumns || rows_.size() < 2) return;
    const bool numeric = code == 3 || code == 4;
    const bool descending = code == 4 || code == 8;
    if (!numeric && code != 7 && code != 8) return;
    // Integer keys that order as the shown texts do: names by their collation rank,
    // dates and times by their value (their texts are fixed-width digits), weekdays by
    // the collation of their one character.
    std::vector<qint64> rank(size_t(kRosterSize) + 1, 0);
    if (column == 0 && roster_) {
        std::vector<int> order(kRosterSize);
        std::iota(order.begin(), order.end(), 1);
        const QCollator& c = TextGridModel::TextCollator();
        std::vector<QCollatorSortKey> keys;
        keys.reserve(kRosterSize);
        for (int i = 1; i <= kRosterSize; ++i) keys.push_back(c.sortKey(roster_->at(i).name));
        std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
            return keys[size_t(a - 1)].compare(keys[size_t(b - 1)]) < 0;
        });
        // Equal names share a rank; an empty name ranks 0, after the blank row's -1.
        qint64 r = 0;
        for (size_t k = 0; k < order.size(); ++k) {
            const int i = order[k];
            if (k > 0 && keys[size_t(i - 1)].compare(keys[size_t(order[k - 1] - 1)]) != 0) ++r;
            rank[size_t(i)] = roster_->at(i).name.isEmpty() ? 0 : r + 1;
        }
    }
    std::array<qint64, 8> weekdayRank{};
    if (column == 5) {
        const QCollator& c = TextGridModel::TextCollator();
        std::array<int, 7> days{1, 2, 3, 4, 5, 6, 7};
        std::stable_sort(days.begin(), days.end(), [&](int a, int b) {
            return c.compare(WeekdayName(a), WeekdayName(b)) < 0;
        });
        for (int k = 0; k < 7; ++k) weekdayRank[size_t(days[size_t(k)])] = k + 1;
    }
    auto key = [&](const StatsRow& r) -> qint64 {
        if (r.index == 0) return numeric ? 0 : -1;  // the blank row: empty text, value 0
        switch (column) {
            case 0:
                return rank[size_t(r.index)];
            case 1:
                return r.day;
            case 2:
                return r.minute;
            case 3:
                // As a number the card text is its whole part.
                return roster_ && Roster::validIndex(r.index)
                           ? roster_->at(r.index).cardNumber / kFixedPointScale
                           : 0;
            case 4:
                return r.late;
            default:
                return weekdayRank[size_t(WeekdayOfDay(r.day))];
        }
    };
    std::vector<std::pair<qint64, quint32>> keyed(rows_.size());
    for (size_t k = 0; k < rows_.size(); ++k) keyed[k] = {key(rows_[k]), quint32(k)};
    std::stable_sort(keyed.begin(), keyed.end(), [descending](const auto& a, const auto& b) {
        return descending ? a.first > b.first : a.first < b.first;
    });
    beginResetModel();
    std::vector<StatsRow> sorted(rows_.size());
    for (size_t k = 0; k < keyed.size(); ++k) {
        sorted[k] = rows_[keyed[k].second];
        if (sorted[k].index == 0) blank_ = k;
    }
    rows_ = std::move(sorted);
    endResetModel();
}

int HeaderSort::next(int column) {
    if (column < 0 || size_t(column) >= codes_.size()) return 0;
    descending_[size_t(column)] = !descending_[size_t(column)];
    return codes_[size_t(column)] + (descending_[size_t(column)] ? 1 : 0);
}

}  // namespace tallyra
