#include "board/gridview.h"

#include <QHeaderView>

#include "core/textgridmodel.h"

namespace tallyra {

GridView::GridView(QWidget* parent) : QTableView(parent) {
    horizontalHeader()->hide();
    verticalHeader()->hide();
    verticalHeader()->setDefaultSectionSize(20);
    // Stored widths may be narrower than the style's minimum; they are still what was saved.
    horizontalHeader()->setMinimumSectionSize(1);
    verticalHeader()->setMinimumSectionSize(1);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setWordWrap(false);
}

void GridView::setGrid(TextGridModel* grid) {
    if (grid_) disconnect(grid_, nullptr, this, nullptr);
    grid_ = grid;
    setModel(grid);
    if (!grid) return;
    connect(grid, &TextGridModel::columnWidthChanged, this, &GridView::applyColumn);
    connect(grid, &TextGridModel::rowHeightChanged, this, &GridView::applyRow);
    connect(grid, &QAbstractItemModel::modelReset, this, &GridView::applyAll);
    connect(grid, &QAbstractItemModel::rowsInserted, this, &GridView::applyAll);
    applyAll();
}

int GridView::columnWidthTwips(int column) const {
    if (isColumnHidden(column)) return 0;
    return columnWidth(column) * kTwipsPerPixel;
}

void GridView::applyColumn(int column, int twips) {
    if (twips == 0) {
        setColumnHidden(column, true);
        return;
    }
    setColumnHidden(column, false);
    setColumnWidth(column,
                   twips < 0 ? horizontalHeader()->defaultSectionSize() : twips / kTwipsPerPixel);
}

void GridView::applyRow(int row, int twips) {
    if (twips == 0) {
        setRowHidden(row, true);
        return;
    }
    setRowHidden(row, false);
    if (twips > 0) setRowHeight(row, twips / kTwipsPerPixel);
}

void GridView::applyAll() {
    if (!grid_) return;
    for (int c = 0; c < grid_->columns(); ++c) applyColumn(c, grid_->columnWidth(c));
    // Only the few header rows carry their own height; person rows keep the default.
    for (int r = 0; r < std::min(grid_->rows(), 8); ++r) applyRow(r, grid_->rowHeight(r));
}

}  // namespace tallyra
