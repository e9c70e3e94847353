#pragma once

#include <QTableView>

class QSortFilterProxyModel;

namespace tallyra {

class TextGridModel;

// A view of a text grid as the grid control showed it: the header rows are grid rows that
// stay in place while the rest scrolls, widths and heights come from the grid's twips (15
// twips a pixel), a row or column of size 0 is hidden, and columns are resized by dragging
// their border in the header rows. The current cell and selection are kept in the grid.
class GridView : public QTableView {
    Q_OBJECT
public:
    static constexpr int kTwipsPerPixel = 15;  // as TextGridModel::kTwipsPerPixel

    explicit GridView(QWidget* parent = nullptr);
    void setGrid(TextGridModel* grid);
    // Any other table: shown as it is, with the same fixed rows and column dragging.
    void setTable(QAbstractItemModel* table);
    TextGridModel* grid() const { return grid_; }
    // Rows 0..n-1 stay visible above the scrolling rows.
    void setFixedRows(int n);
    int fixedRows() const { return fixedRows_; }
    QTableView* fixedView() const { return fixed_; }

    // Columns whose cells are marks read from afar: larger, bold, centred and coloured by
    // their first character (√ present, ○ late, × absent).
    void setMarkColumns(int first, int last);

    // A view width in pixels as twips, as the column widths are stored.
    int columnWidthTwips(int column) const;

Q_SIGNALS:
    // A click on a header row cell (the grids sort on it).
    void fixedCellClicked(int row, int column);
    // A mouse button went down on a cell of the scrolling rows; with shift or ctrl held it
    // extends the selection instead.
    void cellPressed(int row, int column, Qt::MouseButton button, Qt::KeyboardModifiers modifiers);

protected:
    void resizeEvent(QResizeEvent* e) override;
    void changeEvent(QEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void selectionChanged(const QItemSelection& selected,
                          const QItemSelection& deselected) override;

private:
    void applyColumn(int column, int twips);
    void applyRow(int row, int twips);
    void applyAll();
    void placeFixed();
    int fixedHeight() const;
    int borderAt(int x) const;  // the column whose right border is under x, or -1

    TextGridModel* grid_ = nullptr;
    QTableView* fixed_ = nullptr;
    QSortFilterProxyModel* fixedRowsModel_ = nullptr;
    int fixedRows_ = 0;
    bool pressing_ = false;
    Qt::KeyboardModifiers pressModifiers_;
    int dragging_ = -1;
    int dragStartX_ = 0;
    int dragStartWidth_ = 0;
};

}  // namespace tallyra
