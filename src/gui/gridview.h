#pragma once

#include <QTableView>

class QScrollBar;

namespace tallyra {

class TextGridModel;
class HeadRows;
class RowWindow;

// A view of a text grid as the grid control showed it: the header rows are grid rows that
// stay in place while the rest scrolls, widths and heights come from the grid's twips (15
// twips a pixel), a row or column of size 0 is hidden, and columns are resized by dragging
// their border in the header rows. The current cell and selection are kept in the grid.
class GridView : public QTableView {
    Q_OBJECT
public:
    explicit GridView(QWidget* parent = nullptr);
    void setGrid(TextGridModel* grid);
    // Any other table: shown as it is, with the same fixed rows and column dragging. Its
    // rows are shown through a window of the rows that fit and a scroll bar of the grid's
    // own, so a table of millions of rows costs the view no more than a page of them.
    void setTable(QAbstractItemModel* table);
    // The table row a view row shows.
    int tableRow(int viewRow) const;
    // The scroll bar that moves the rows.
    QScrollBar* rowScrollBar() const;
    TextGridModel* grid() const { return grid_; }
    // Rows 0..n-1 stay visible above the scrolling rows.
    void setFixedRows(int n);
    QTableView* fixedView() const { return fixed_; }

    // Columns whose cells are marks read from afar: larger, bold, centred and coloured by
    // their first character (√ present, ○ late, × absent,
    // 假 on leave).
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
    void wheelEvent(QWheelEvent* e) override;
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
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
    bool windowed() const;
    void fitWindow();
    void scrollWindow(int top);

    TextGridModel* grid_ = nullptr;
    QAbstractItemModel* table_ = nullptr;  // what is shown, the grid or another table
    QTableView* fixed_ = nullptr;
    HeadRows* head_ = nullptr;
    RowWindow* window_ = nullptr;
    QScrollBar* rowBar_ = nullptr;
    int fixedRows_ = 0;
    bool pressing_ = false;
    Qt::KeyboardModifiers pressModifiers_;
    int dragging_ = -1;
    int dragStartX_ = 0;
    int dragStartWidth_ = 0;
};

}  // namespace tallyra
