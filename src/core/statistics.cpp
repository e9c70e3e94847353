#include "core/statistics.h"

#include <QCollator>
#include <QFileInfo>
#include <QStringEncoder>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <numeric>
#include <string>

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

// What a record must pass, by value, so that the loop keeps it in registers.
struct RecordTest {
    const char* listed;  // by roster index as an unsigned 16-bit number: no range test
    double first, last;
    qint16 lo;
    quint16 width;  // hi - lo, so one unsigned comparison tests both bounds
    int weekdayFirst, weekdayLast;
};

struct Counts {
    qint64 rows = 0, onTime = 0, missed = 0, minutes = 0;  // minutes of every row, 9999s too
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
            const int weekday = WeekdayOfDay(day);
            if (weekday < t.weekdayFirst || weekday > t.weekdayLast) continue;
        }
        if (at == limit) {
            out.commit(at);
            at = out.room(size_t(end - s) / kLogSlotSize, limit);
        }
        *at++ = StatsRow{day, index, SlotMinute(s), minutesLate};
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
}

template <typename Out>
StatsSummary Scan(const DataFolder& folder, const Roster& roster, const StatsFilter& filter,
                  Out& out) {
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
                          filter.weekdayLast};
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
    summary.missed = qint32(counts.missed);
    summary.late = qint32(counts.rows - counts.onTime - counts.missed);
    summary.lateMinutes = counts.minutes - qint64(kStatusAbsent) * counts.missed;
    summary.rows = qint32(counts.rows);
    return summary;
}

template <typename Out>
StatsSummary Query(const DataFolder& folder, const Roster& roster, const StatsFilter& filter,
                   Out out) {
    const StatsSummary summary = Scan(folder, roster, filter, out);
    out.finish();
    return summary;
}

// Stable sort of the rows by raw(row), a value from lo to hi, with the blank row standing
// after `blank` rows and sorting as blankKey. Returns the blank row's new place.
template <typename Raw>
size_t SortRows(StatsRowStore& rows, size_t blank, Raw raw, qint64 lo, qint64 hi, bool descending,
                qint64 blankKey) {
    const auto dense = [=](qint64 v) { return quint32(descending ? hi - v : v - lo); };
    const quint32 blankDense = dense(blankKey);
    // The blank row goes after every row that sorts before it and after the equal rows
    // that stood before it.
    size_t before = 0;
    for (size_t k = 0; k < rows.size(); ++k) {
        const quint32 d = dense(raw(rows[k]));
        before += d < blankDense || (d == blankDense && k < blank);
    }
    rows.stableSort([&](const StatsRow& r) { return dense(raw(r)); }, quint32(hi - lo));
    return before;
}

}  // namespace

StatsSummary RunStatisticsQuery(const DataFolder& folder, const Roster& roster,
                                const StatsFilter& filter, std::vector<StatsRow>& rows) {
    return Query(folder, roster, filter, IntoVector{rows});
}

StatsSummary RunStatistics(const DataFolder& folder, const Roster& roster,
                           const StatsFilter& filter, StatsGridModel& grid) {
    // The grid's own query drops the old rows before the new ones take memory.
    grid.setRoster(&roster);
    return grid.runQuery(folder, filter);
}

StatsGridModel::StatsGridModel(const Roster* roster, QObject* parent)
    : QAbstractTableModel(parent), roster_(roster) {}

void StatsGridModel::setResults(std::vector<StatsRow> results) {
    beginResetModel();
    rows_.adopt(std::move(results));
    blank_ = 0;
    endResetModel();
}

StatsSummary StatsGridModel::runQuery(const DataFolder& folder, const StatsFilter& filter) {
    beginResetModel();
    rows_.recycle();
    blank_ = 0;
    const StatsSummary s =
        roster_ ? Query(folder, *roster_, filter, IntoStore{rows_}) : StatsSummary{};
    endResetModel();
    return s;
}

const StatsRow* StatsGridModel::resultAt(int gridRow) const {
    if (gridRow < 1 || gridRow >= gridRowCount()) return nullptr;
    const size_t k = size_t(gridRow - 1);
    if (k == blank_) return nullptr;
    return &rows_[k < blank_ ? k : k - 1];
}

QString StatsGridModel::cellText(const StatsRow& r, int column) const {
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

QString StatsGridModel::text(int gridRow, int column) const {
    if (column < 0 || column >= kColumns) return {};
    if (gridRow == 0) {
        static const char16_t* const heads[] = {u"姓名", u"日期",     u"时间",
                                                u"卡号", u"迟签时间", u"星期"};
        return QString::fromUtf16(heads[column]);
    }
    const StatsRow* r = resultAt(gridRow);
    return r ? cellText(*r, column) : QString();
}

int StatsGridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 1 + int(rows_.size());  // header + rows - blank
}

int StatsGridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumns;
}

QVariant StatsGridModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid()) return {};
    // View row 0 is the header; the blank row is left out of the view.
    if (index.row() == 0) return text(0, index.column());
    if (index.column() < 0 || index.column() >= kColumns || size_t(index.row()) > rows_.size())
        return {};
    return cellText(rows_[size_t(index.row() - 1)], index.column());
}

void StatsGridModel::sortColumn(int column, int code) {
    if (column < 0 || column >= kColumns || rows_.size() == 0) return;
    const bool numeric = code == 3 || code == 4;
    const bool descending = code == 4 || code == 8;
    if (!numeric && code != 7 && code != 8) return;
    beginResetModel();
    // Integer keys that order as the shown texts do: names by their collation rank,
    // dates and times by their value (their texts are fixed-width digits), weekdays by
    // the collation of their one character. The blank row is empty text, value 0, and so
    // is a row without a person.
    const qint64 blankKey = numeric ? 0 : -1;
    std::vector<qint64> byPerson(size_t(kRosterSize) + 1, 0);
    const auto person = [&](const StatsRow& r) {
        return r.index == 0                  ? blankKey
               : Roster::validIndex(r.index) ? byPerson[size_t(r.index)]
                                             : 0;
    };
    size_t blank = blank_;
    if (column == 0) {
        if (roster_) {
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
                byPerson[size_t(i)] = roster_->at(i).name.isEmpty() ? 0 : r + 1;
            }
        }
        blank = SortRows(rows_, blank_, person, -1, kRosterSize, descending, blankKey);
    } else if (column == 3) {
        // As a number the card text is its whole part; ranks of the cards in use keep the
        // key to one or two bytes.
        std::vector<qint64> values{0, blankKey};
        for (int i = 1; i <= kRosterSize; ++i)
            if (roster_) values.push_back(roster_->at(i).cardNumber / 10000);
        std::sort(values.begin(), values.end());
        values.erase(std::unique(values.begin(), values.end()), values.end());
        const auto rank = [&](qint64 v) {
            return qint64(std::lower_bound(values.begin(), values.end(), v) - values.begin());
        };
        for (int i = 1; i <= kRosterSize; ++i)
            byPerson[size_t(i)] = rank(roster_ ? roster_->at(i).cardNumber / 10000 : 0);
        const qint64 blankRank = rank(blankKey), noPerson = rank(0);
        blank = SortRows(
            rows_, blank_,
            [&](const StatsRow& r) {
                return r.index == 0                  ? blankRank
                       : Roster::validIndex(r.index) ? byPerson[size_t(r.index)]
                                                     : noPerson;
            },
            0, qint64(values.size()) - 1, descending, blankRank);
    } else if (column == 1) {
        qint64 lo = blankKey, hi = blankKey;
        for (size_t k = 0; k < rows_.size(); ++k) {
            const qint64 d = rows_[k].index == 0 ? blankKey : rows_[k].day;
            lo = std::min(lo, d);
            hi = std::max(hi, d);
        }
        blank = SortRows(
            rows_, blank_,
            [&](const StatsRow& r) { return r.index == 0 ? blankKey : qint64(r.day); }, lo, hi,
            descending, blankKey);
    } else if (column == 2 || column == 4) {
        const auto value = [&](const StatsRow& r) {
            return r.index == 0 ? blankKey : qint64(column == 2 ? r.minute : r.late);
        };
        blank = SortRows(rows_, blank_, value, std::numeric_limits<qint16>::min(),
                         std::numeric_limits<qint16>::max(), descending, blankKey);
    } else {
        std::array<int, 7> days{1, 2, 3, 4, 5, 6, 7};
        const QCollator& c = TextGridModel::TextCollator();
        std::stable_sort(days.begin(), days.end(), [&](int a, int b) {
            return c.compare(WeekdayName(a), WeekdayName(b)) < 0;
        });
        std::array<qint64, 8> weekdayRank{};
        for (int k = 0; k < 7; ++k) weekdayRank[size_t(days[size_t(k)])] = k + 1;
        blank = SortRows(
            rows_, blank_,
            [&](const StatsRow& r) {
                return r.index == 0 ? blankKey : weekdayRank[size_t(WeekdayOfDay(r.day))];
            },
            -1, 7, descending, blankKey);
    }
    blank_ = blank;
    endResetModel();
}

bool StatsGridModel::writeLines(int fromGridRow,
                                const std::function<bool(QByteArrayView)>& write) const {
    // The texts rows share are made once: a person's name and card, a day's date and
    // weekday, a minute's clock text. Each in the encoding the command-line tool's stream
    // writes.
    QStringEncoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    std::vector<QByteArray> names(size_t(kRosterSize) + 1), cards(size_t(kRosterSize) + 1);
    if (roster_) {
        for (int i = 1; i <= kRosterSize; ++i) {
            names[size_t(i)] = utf8.encode(roster_->at(i).name);
            cards[size_t(i)] = CardText(roster_->at(i).cardNumber).toLatin1();
        }
    }
    struct Day {
        qint32 day = 0;
        bool made = false;
        QByteArray text;
        QByteArray weekday;
    };
    std::vector<Day> days(1024);
    struct Minute {
        qint16 minute = 0;
        bool made = false;
        QByteArray text;
    };
    std::vector<Minute> minutes(2048);
    std::string buffer;
    constexpr size_t kBlock = size_t(1) << 20;
    buffer.reserve(kBlock + 4096);
    const auto add = [&buffer](QByteArrayView bytes) {
        buffer.append(bytes.data(), size_t(bytes.size()));
    };
    for (int g = std::max(fromGridRow, 1); g < gridRowCount(); ++g) {
        const StatsRow* r = resultAt(g);
        if (!r || r->index == 0) {
            buffer.append("\t\t\t\t\t\n");
        } else {
            const bool person = roster_ && Roster::validIndex(r->index);
            Day& d = days[size_t(r->day) % days.size()];
            if (!d.made || d.day != r->day) {
                d = Day{r->day, true, DayText(r->day).toUtf8(),
                        WeekdayName(WeekdayOfDay(r->day)).toUtf8()};
            }
            Minute& m = minutes[size_t(quint16(r->minute)) % minutes.size()];
            if (!m.made || m.minute != r->minute)
                m = Minute{r->minute, true, MinutesToClockText(r->minute).toUtf8()};
            if (person) add(names[size_t(r->index)]);
            buffer += '\t';
            add(d.text);
            buffer += '\t';
            add(m.text);
            buffer += '\t';
            if (person) add(cards[size_t(r->index)]);
            buffer += '\t';
            char late[8];
            const auto end = std::to_chars(late, late + sizeof late, r->late).ptr;
            buffer.append(late, size_t(end - late));
            buffer += '\t';
            add(d.weekday);
            buffer += '\n';
        }
        if (buffer.size() >= kBlock) {
            if (!write(QByteArrayView(buffer.data(), qsizetype(buffer.size())))) return false;
            buffer.clear();
        }
    }
    return buffer.empty() || write(QByteArrayView(buffer.data(), qsizetype(buffer.size())));
}

int HeaderSort::next(int column) {
    if (column < 0 || size_t(column) >= codes_.size()) return 0;
    descending_[size_t(column)] = !descending_[size_t(column)];
    return codes_[size_t(column)] + (descending_[size_t(column)] ? 1 : 0);
}

}  // namespace tallyra
