#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <functional>
#include <vector>

#include "core/format/rosterfile.h"
#include "models/statsrowstore.h"

namespace tallyra {

// The six columns of a listed event as the grid shows them: name, date, time, card, minutes
// late and weekday.
QString StatsColumnTitle(int column);
// An excused absence shows its kind in place of 9999 ("病假", "休：国庆节"): label n of
// `labels` for row.why = n or -n.
QString StatsCellText(const StatsRow& row, int column, const Roster* roster,
                      const std::vector<QString>* labels = nullptr);
QString StatsWhyText(const StatsRow& row, const std::vector<QString>* labels);

// The events as the grid lists them, in its order: the blank row that a sort moved stands
// where it is (null). What the export writes.
struct StatsListing {
    const StatsRowStore* rows = nullptr;
    size_t blank = 0;  // events before the blank row
    const Roster* roster = nullptr;
    const std::vector<QString>* labels = nullptr;
    size_t size() const { return rows->size() + 1; }
    const StatsRow* at(size_t k) const {
        return k == blank ? nullptr : &(*rows)[k < blank ? k : k - 1];
    }
};

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
    // New results written straight into the grid's store by `fill`, after the old rows
    // were dropped (their memory is kept for the new ones).
    void refill(const std::function<void(StatsRowStore&)>& fill);
    // The result rows in the grid's order, the blank row left out, and where the blank row is.
    size_t resultCount() const { return rows_.size(); }
    const StatsRow& result(size_t k) const { return rows_[k]; }
    int blankGridRow() const { return 1 + int(blank_); }
    StatsListing listing() const { return {&rows_, blank_, roster_, &labels_}; }
    // What the rows' `why` numbers stand for, as the query that filled them left them.
    void setLabels(std::vector<QString> labels);

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
    std::vector<QString> labels_;
    size_t blank_ = 0;  // results before the blank row
};

}  // namespace tallyra
