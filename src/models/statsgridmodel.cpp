#include "models/statsgridmodel.h"

#include <QCollator>
#include <QStringEncoder>
#include <algorithm>
#include <charconv>
#include <numeric>
#include <string>

#include "common/datetime.h"
#include "common/text.h"
#include "core/format/daystatus.h"
#include "models/textgridmodel.h"

namespace tallyra {

namespace {

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

StatsGridModel::StatsGridModel(const Roster* roster, QObject* parent)
    : QAbstractTableModel(parent), roster_(roster) {}

void StatsGridModel::refill(const std::function<void(StatsRowStore&)>& fill) {
    beginResetModel();
    rows_.recycle();
    labels_.clear();
    blank_ = 0;
    fill(rows_);
    endResetModel();
}

void StatsGridModel::setLabels(std::vector<QString> labels) {
    labels_ = std::move(labels);
    if (!rows_.size()) return;
    Q_EMIT dataChanged(index(0, 0), index(rowCount() - 1, kColumns - 1));
}

void StatsGridModel::setResults(std::vector<StatsRow> results) {
    beginResetModel();
    rows_.adopt(std::move(results));
    labels_.clear();
    blank_ = 0;
    endResetModel();
}

const StatsRow* StatsGridModel::resultAt(int gridRow) const {
    if (gridRow < 1 || gridRow >= gridRowCount()) return nullptr;
    const size_t k = size_t(gridRow - 1);
    if (k == blank_) return nullptr;
    return &rows_[k < blank_ ? k : k - 1];
}

QString StatsColumnTitle(int column) {
    static const char16_t* const heads[] = {u"姓名", u"日期",     u"时间",
                                            u"卡号", u"迟签时间", u"星期"};
    return column >= 0 && column < StatsGridModel::kColumns ? QString::fromUtf16(heads[column])
                                                            : QString();
}

QString StatsWhyText(const StatsRow& r, const std::vector<QString>* labels) {
    const size_t k = size_t(r.why < 0 ? -r.why : r.why);
    return labels && k >= 1 && k <= labels->size() ? (*labels)[k - 1] : QString();
}

QString StatsCellText(const StatsRow& r, int column, const Roster* roster,
                      const std::vector<QString>* labels) {
    if (r.index == 0) return {};
    const PersonRecord* p = roster && Roster::validIndex(r.index) ? &roster->at(r.index) : nullptr;
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
            if (r.why != 0)
                if (QString why = StatsWhyText(r, labels); !why.isEmpty()) return why;
            return QString::number(r.late);
        default:
            return WeekdayName(WeekdayOfOle(r.day));
    }
}

QString StatsGridModel::cellText(const StatsRow& r, int column) const {
    return StatsCellText(r, column, roster_, &labels_);
}

QString StatsGridModel::text(int gridRow, int column) const {
    if (column < 0 || column >= kColumns) return {};
    if (gridRow == 0) return StatsColumnTitle(column);
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
                return r.index == 0 ? blankKey : weekdayRank[size_t(WeekdayOfOle(r.day))];
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
    std::vector<QByteArray> labels;
    for (const QString& l : labels_) labels.push_back(utf8.encode(l));
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
                        WeekdayName(WeekdayOfOle(r->day)).toUtf8()};
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
            const size_t why = size_t(r->why < 0 ? -r->why : r->why);
            if (why >= 1 && why <= labels.size()) {
                add(labels[why - 1]);
            } else {
                char late[8];
                const auto end = std::to_chars(late, late + sizeof late, r->late).ptr;
                buffer.append(late, size_t(end - late));
            }
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

}  // namespace tallyra
