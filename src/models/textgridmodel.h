#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <vector>

#include "models/grids.h"

class QCollator;

namespace tallyra {

// The grid of text cells the three grids share: a row count that includes the fixed header
// rows, column widths and row heights in twips, a current cell and selection, and the sort
// codes 3/4 (numeric ascending/descending) and 7/8 (text, case-sensitive). Views see it as
// an ordinary table model; every row, the header rows too, is a model row.
class TextGridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum SortCode {
        NumericAscending = 3,
        NumericDescending = 4,
        TextAscending = 7,
        TextDescending = 8
    };
    static constexpr int kDefaultWidth = -1;  // width or height the view picks

    TextGridModel(int rows, int columns, QObject* parent = nullptr);

    int rows() const { return rows_; }
    int columns() const { return columns_; }
    // Rows added at the end are empty; cells of removed rows are gone.
    void setRows(int rows);

    QString text(int row, int column) const;
    // The cell itself, for scans over thousands of rows that must not copy; valid until the
    // grid next changes. Empty outside the grid.
    const QString& cell(int row, int column) const {
        return valid(row, column) ? cells_[size_t(at(row, column))] : kNoText;
    }
    // Changes whenever a cell of the column may have changed or rows have moved, so a
    // reader can keep what it derived from the column until then.
    quint64 columnRevision(int column) const {
        return column >= 0 && column < columns_ ? revisions_[size_t(column)] : 0;
    }
    void setText(int row, int column, const QString& text);
    // Writes a whole row without one change signal per cell.
    void setRowTexts(int row, QStringList texts);
    // Many writes at once: views are told once at the end.
    void beginBulkUpdate();
    void endBulkUpdate();

    int columnWidth(int column) const;
    void setColumnWidth(int column, int twips);
    int rowHeight(int row) const;
    void setRowHeight(int row, int twips);

    int row() const { return row_; }
    int col() const { return col_; }
    int rowSel() const { return rowSel_; }
    int colSel() const { return colSel_; }
    void setCurrentCell(int row, int column);
    void setSelectionEnd(int rowSel, int colSel);

    // Orders the rows from..to (inclusive) by the columns from keyFirst to keyLast. Equal
    // keys keep their order. Unknown codes do nothing.
    void sortRows(int fromRow, int toRow, int keyFirst, int keyLast, int code);
    // Sorts the selection as the grid control does: rows Row..RowSel by columns Col..ColSel.
    void sortSelection(int code);
    // The order text sorts use.
    static const QCollator& TextCollator();

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

Q_SIGNALS:
    void columnWidthChanged(int column, int twips);
    void rowHeightChanged(int row, int twips);

private:
    bool valid(int row, int column) const {
        return row >= 0 && row < rows_ && column >= 0 && column < columns_;
    }
    qsizetype at(int row, int column) const { return qsizetype(row) * columns_ + column; }

    void touchAll() {
        for (quint64& r : revisions_) ++r;
    }

    static inline const QString kNoText;
    int rows_;
    int columns_;
    std::vector<QString> cells_;
    std::vector<int> widths_;
    std::vector<int> heights_;
    std::vector<quint64> revisions_;
    int row_ = 0, col_ = 0, rowSel_ = 0, colSel_ = 0;
    int bulk_ = 0;
};

}  // namespace tallyra
