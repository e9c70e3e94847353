#pragma once

#include <QAbstractTableModel>
#include <QDate>
#include <QString>
#include <functional>
#include <optional>
#include <vector>

#include "core/datafolder.h"
#include "core/roster.h"
#include "core/statsrowstore.h"

namespace tallyra {

struct StatsFilter {
    QDate first, last;  // inclusive
    QString namePattern = QStringLiteral("*");
    qint64 card = 0;                        // fixed point; 0 = every card
    qint16 lateMin = 0, lateMax = 9999;     // absent is 9999
    int weekdayFirst = 1, weekdayLast = 7;  // 1 = Sunday
    // One person by roster index (the personal centre's own attendance: a name may hold
    // wildcard characters); 0 = whoever the name and card filters let through.
    int index = 0;
};

struct StatsSummary {
    qint32 late = 0;
    qint64 lateMinutes = 0;
    qint32 missed = 0;
    qint32 onTime = 0;
    qint32 rows = 0;
    QString hoursText() const;  // late minutes / 60 as "0.0小时"
};

// The filter as the panel's boxes (or the command line's options) give it.
struct StatsQueryTexts {
    QString first, last;       // "YYYY-MM-DD"
    QString name;              // wildcard pattern; empty = everyone
    QString card;              // card number; empty or 0 = every card
    QString lateMin, lateMax;  // minutes; empty = 0 and 9999
    int weekdayFirst = 1, weekdayLast = 7;
};
// The filter those texts make, or nothing when a date is not a date (`error` then holds the
// notice the panel shows).
std::optional<StatsFilter> ParseStatsFilter(const StatsQueryTexts& texts, QString* error = nullptr);

// Reads the year logs of every year of the range, earlier first, in file order, and
// appends the events the filter lets through. Records whose index lies outside the roster
// or whose person has no name are skipped.
StatsSummary RunStatisticsQuery(const DataFolder& folder, const Roster& roster,
                                const StatsFilter& filter, std::vector<StatsRow>& rows);

class StatsGridModel;
// The query into the grid, as the panel and the command-line tool run it.
StatsSummary RunStatistics(const DataFolder& folder, const Roster& roster,
                           const StatsFilter& filter, StatsGridModel& grid);

// The statistics grid MSTJ: the header row, the blank row 1 (kept in the row order, as
// sorts move it, but never shown) and the result rows.
class StatsGridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int kColumns = 6;
    explicit StatsGridModel(const Roster* roster = nullptr, QObject* parent = nullptr);

    void setRoster(const Roster* roster) { roster_ = roster; }
    // The rows after the header, blank row first, as a query leaves them. The rows are taken
    // over where they are, not copied.
    void setResults(std::vector<StatsRow> results);
    // Runs the query straight into the grid. The old rows go first, so a year of new rows
    // never has to fit beside a year of old ones.
    StatsSummary runQuery(const DataFolder& folder, const StatsFilter& filter);
    // The result rows in the grid's order, the blank row left out, and where the blank row is.
    size_t resultCount() const { return rows_.size(); }
    const StatsRow& result(size_t k) const { return rows_[k]; }
    int blankGridRow() const { return 1 + int(blank_); }

    // Grid cell text by grid row (0 = header, 1.. = rows in order, the blank one included).
    QString text(int gridRow, int column) const;
    int gridRowCount() const { return 2 + int(rows_.size()); }
    // Sorts grid rows 1.. by the column: codes 3/4 numeric, 7/8 text. Stable.
    void sortColumn(int column, int code);
    // Grid rows from `fromGridRow` on as lines of their six texts joined by tabs, in UTF-8,
    // made in one reused buffer and handed to `write` about a mebibyte at a time. Returns
    // false as soon as `write` does.
    bool writeLines(int fromGridRow, const std::function<bool(QByteArrayView)>& write) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

private:
    // The result at a grid row; null for the header, the blank row and rows outside.
    const StatsRow* resultAt(int gridRow) const;
    QString cellText(const StatsRow& r, int column) const;

    const Roster* roster_;
    StatsRowStore rows_;
    size_t blank_ = 0;  // results before the blank row
};

// The ascending sort code of each column (3 numeric, 7 text) of the sign-in board and of the
// statistics grid.
std::vector<int> BoardSortCodes();
std::vector<int> StatsSortCodes();

// Header-click sorting: the first click on a column sorts it descending, the next
// ascending, each column on its own.
class HeaderSort {
public:
    explicit HeaderSort(std::vector<int> ascendingCodes)
        : codes_(std::move(ascendingCodes)), descending_(codes_.size(), false) {}
    // The code to sort column c with now.
    int next(int column);
    bool descending(int column) const { return descending_[size_t(column)]; }

private:
    std::vector<int> codes_;
    std::vector<bool> descending_;
};

}  // namespace tallyra
