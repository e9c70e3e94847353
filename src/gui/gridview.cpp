#include "gui/gridview.h"

#include <QEvent>
#include <QGuiApplication>
#include <QHeaderView>
#include <QMouseEvent>
#include <QScrollBar>
#include <QSortFilterProxyModel>
#include <QStyledItemDelegate>

#include "core/textgridmodel.h"

namespace tallyra {

namespace {

// Only the header rows, for the view that stays in place.
class FirstRows final : public QSortFilterProxyModel {
public:
    using QSortFilterProxyModel::QSortFilterProxyModel;
    void setCount(int n) {
        n_ = n;
        invalidateRowsFilter();
    }

protected:
    bool filterAcceptsRow(int row, const QModelIndex&) const override { return row < n_; }

private:
    int n_ = 0;
};

constexpr int kBorderGrip = 3;

class MarkDelegate final : public QStyledItemDelegate {
public:
    MarkDelegate(int first, int last, QObject* parent)
        : QStyledItemDelegate(parent), first_(first), last_(last) {}

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        if (index.column() < first_ || index.column() > last_) return;
        option->font.setBold(true);
        option->font.setPointSizeF(option->font.pointSizeF() * 1.25);
        option->displayAlignment = Qt::AlignCenter;
        const QString text = index.data().toString();
        if (text.isEmpty()) return;
        QColor colour;
        if (text.front() == u'√') colour = QColor(0x1b, 0x7a, 0x2f);
        if (text.front() == u'○') colour = QColor(0xc0, 0x6a, 0x00);
        if (text.front() == u'×') colour = QColor(0xc6, 0x28, 0x28);
        if (colour.isValid()) option->palette.setColor(QPalette::Text, colour);
    }

private:
    int first_, last_;
};

void Configure(QTableView* v) {
    v->horizontalHeader()->hide();
    v->verticalHeader()->hide();
    // Stored widths may be narrower than the style's minimum; they are still what was saved.
    v->horizontalHeader()->setMinimumSectionSize(1);
    v->verticalHeader()->setMinimumSectionSize(1);
    v->setEditTriggers(QAbstractItemView::NoEditTriggers);
    v->setWordWrap(false);
    v->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
}

}  // namespace

GridView::GridView(QWidget* parent) : QTableView(parent) {
    Configure(this);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    setSelectionMode(QAbstractItemView::SingleSelection);
}

void GridView::setGrid(TextGridModel* grid) {
    if (grid_) disconnect(grid_, nullptr, this, nullptr);
    grid_ = grid;
    setModel(grid);
    if (fixedRowsModel_) fixedRowsModel_->setSourceModel(grid);
    if (!grid) return;
    connect(grid, &TextGridModel::columnWidthChanged, this, &GridView::applyColumn);
    connect(grid, &TextGridModel::rowHeightChanged, this, &GridView::applyRow);
    connect(grid, &QAbstractItemModel::modelReset, this, &GridView::applyAll);
    connect(grid, &QAbstractItemModel::rowsInserted, this, &GridView::applyAll);
    applyAll();
}

void GridView::setTable(QAbstractItemModel* table) {
    if (grid_) disconnect(grid_, nullptr, this, nullptr);
    grid_ = nullptr;
    setModel(table);
    if (fixedRowsModel_) fixedRowsModel_->setSourceModel(table);
    // The fixed part follows the table; with no twips, every row keeps the default height.
    if (table)
        connect(table, &QAbstractItemModel::modelReset, this, [this] {
            for (int r = 0; r < fixedRows_; ++r) setRowHidden(r, true);
            placeFixed();
        });
    for (int r = 0; r < fixedRows_; ++r) setRowHidden(r, true);
    placeFixed();
}

void GridView::setFixedRows(int n) {
    fixedRows_ = std::max(n, 0);
    if (!fixed_) {
        fixed_ = new QTableView(this);
        Configure(fixed_);
        fixed_->setFocusPolicy(Qt::NoFocus);
        fixed_->setSelectionMode(QAbstractItemView::NoSelection);
        fixed_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        fixed_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        fixed_->setFrameShape(QFrame::NoFrame);
        fixed_->viewport()->setMouseTracking(true);
        fixed_->viewport()->installEventFilter(this);
        QFont bold = font();
        bold.setBold(true);
        fixed_->setFont(bold);
        fixedRowsModel_ = new FirstRows(this);
        fixedRowsModel_->setSourceModel(model());
        fixed_->setModel(fixedRowsModel_);
        connect(horizontalScrollBar(), &QScrollBar::valueChanged, fixed_->horizontalScrollBar(),
                &QScrollBar::setValue);
        connect(horizontalHeader(), &QHeaderView::sectionResized, this,
                [this](int c, int, int size) { fixed_->setColumnWidth(c, size); });
        connect(fixed_, &QTableView::clicked, this,
                [this](const QModelIndex& i) { Q_EMIT fixedCellClicked(i.row(), i.column()); });
    }
    static_cast<FirstRows*>(fixedRowsModel_)->setCount(fixedRows_);
    applyAll();
}

void GridView::setMarkColumns(int first, int last) {
    setItemDelegate(new MarkDelegate(first, last, this));
}

int GridView::columnWidthTwips(int column) const {
    if (isColumnHidden(column)) return 0;
    return columnWidth(column) * kTwipsPerPixel;
}

void GridView::applyColumn(int column, int twips) {
    const bool hide = twips == 0;
    const int px = twips < 0 ? horizontalHeader()->defaultSectionSize() : twips / kTwipsPerPixel;
    setColumnHidden(column, hide);
    if (!hide) setColumnWidth(column, px);
    if (fixed_) {
        fixed_->setColumnHidden(column, hide);
        if (!hide) fixed_->setColumnWidth(column, px);
    }
}

void GridView::applyRow(int row, int twips) {
    if (row < fixedRows_) {
        // Header rows show in the fixed part only.
        setRowHidden(row, true);
        if (fixed_) {
            fixed_->setRowHidden(row, twips == 0);
            if (twips > 0) fixed_->setRowHeight(row, twips / kTwipsPerPixel);
        }
        placeFixed();
        return;
    }
    setRowHidden(row, twips == 0);
    if (twips > 0) setRowHeight(row, twips / kTwipsPerPixel);
}

void GridView::applyAll() {
    if (!grid_) return;
    for (int c = 0; c < grid_->columns(); ++c) applyColumn(c, grid_->columnWidth(c));
    // Only the few header rows carry their own height; person rows keep the default.
    for (int r = 0; r < std::min(grid_->rows(), 8); ++r) applyRow(r, grid_->rowHeight(r));
    placeFixed();
}

int GridView::fixedHeight() const {
    if (!fixed_ || !model()) return 0;
    int h = 0;
    for (int r = 0; r < std::min(fixedRows_, model()->rowCount()); ++r)
        if (!fixed_->isRowHidden(r)) h += fixed_->rowHeight(r);
    return h;
}

void GridView::placeFixed() {
    if (!fixed_) return;
    const int h = fixedHeight();
    setViewportMargins(0, h, 0, 0);
    const QRect vp = viewport()->geometry();
    fixed_->setGeometry(vp.left(), vp.top() - h, vp.width(), h);
    fixed_->horizontalScrollBar()->setValue(horizontalScrollBar()->value());
}

void GridView::resizeEvent(QResizeEvent* e) {
    QTableView::resizeEvent(e);
    placeFixed();
}

void GridView::changeEvent(QEvent* e) {
    QTableView::changeEvent(e);
    if (e->type() == QEvent::FontChange) {
        // Rows grow with the font, so large board marks stay readable.
        verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
        if (fixed_) {
            QFont bold = font();
            bold.setBold(true);
            fixed_->setFont(bold);
            fixed_->verticalHeader()->setDefaultSectionSize(QFontMetrics(bold).height() + 6);
        }
        applyAll();
    }
}

int GridView::borderAt(int x) const {
    const int logical = x + horizontalScrollBar()->value();
    int right = 0;
    for (int c = 0; c < horizontalHeader()->count(); ++c) {
        if (isColumnHidden(c)) continue;
        right += columnWidth(c);
        if (std::abs(logical - right) <= kBorderGrip) return c;
    }
    return -1;
}

bool GridView::eventFilter(QObject* watched, QEvent* e) {
    if (!fixed_ || watched != fixed_->viewport()) return QTableView::eventFilter(watched, e);
    switch (e->type()) {
        case QEvent::MouseMove: {
            auto* m = static_cast<QMouseEvent*>(e);
            const int x = int(m->position().x());
            if (dragging_ >= 0) {
                const int width = std::max(1, dragStartWidth_ + x - dragStartX_);
                setColumnWidth(dragging_, width);
                return true;
            }
            fixed_->viewport()->setCursor(borderAt(x) >= 0 ? Qt::SplitHCursor : Qt::ArrowCursor);
            return false;
        }
        case QEvent::MouseButtonPress: {
            auto* m = static_cast<QMouseEvent*>(e);
            const int c = borderAt(int(m->position().x()));
            if (m->button() != Qt::LeftButton || c < 0) return false;
            dragging_ = c;
            dragStartX_ = int(m->position().x());
            dragStartWidth_ = columnWidth(c);
            return true;
        }
        case QEvent::MouseButtonRelease:
            if (dragging_ < 0) return false;
            if (grid_) grid_->setColumnWidth(dragging_, columnWidth(dragging_) * kTwipsPerPixel);
            dragging_ = -1;
            return true;
        default:
            return false;
    }
}

void GridView::mousePressEvent(QMouseEvent* e) {
    pressing_ = true;
    pressModifiers_ = e->modifiers();
    QTableView::mousePressEvent(e);
    pressing_ = false;
    const QModelIndex at = indexAt(e->position().toPoint());
    if (at.isValid()) Q_EMIT cellPressed(at.row(), at.column(), e->button(), e->modifiers());
}

void GridView::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    QTableView::currentChanged(current, previous);
    // Dragging or shift-moving extends the selection; the anchor stays where it began.
    // A click's own modifiers count: the application's may not have caught up with it.
    const Qt::KeyboardModifiers held =
        pressing_ ? pressModifiers_ : QGuiApplication::keyboardModifiers();
    const bool extending = (held & (Qt::ShiftModifier | Qt::ControlModifier)) ||
                           (!pressing_ && QGuiApplication::mouseButtons() != Qt::NoButton);
    if (grid_ && current.isValid() && !extending) {
        // A new anchor: the selection starts and ends here until it is extended.
        grid_->setCurrentCell(current.row(), current.column());
        grid_->setSelectionEnd(current.row(), current.column());
    }
}

void GridView::selectionChanged(const QItemSelection& selected, const QItemSelection& deselected) {
    QTableView::selectionChanged(selected, deselected);
    if (!grid_ || !selectionModel()) return;
    const QItemSelection all = selectionModel()->selection();
    if (all.isEmpty()) return;
    int top = all.first().top(), bottom = all.first().bottom();
    int left = all.first().left(), right = all.first().right();
    for (const QItemSelectionRange& r : all) {
        top = std::min(top, r.top());
        bottom = std::max(bottom, r.bottom());
        left = std::min(left, r.left());
        right = std::max(right, r.right());
    }
    // The end of the selection is the corner away from the anchor cell.
    const int anchorRow = grid_->row(), anchorCol = grid_->col();
    grid_->setSelectionEnd(anchorRow == top ? bottom : top, anchorCol == left ? right : left);
}

}  // namespace tallyra
