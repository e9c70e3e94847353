#include "gui/gridview.h"

#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QHeaderView>
#include <QMouseEvent>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QWheelEvent>

#include "models/textgridmodel.h"

namespace tallyra {

// A model that shows part of another table follows its changes of shape: rows added or
// removed go to `rowsChanged`, changes of cells to `cellsChanged`, every other change to
// `reset`; a source that goes away leaves the model empty.
class PartOfTable : public QAbstractTableModel {
protected:
    using QAbstractTableModel::QAbstractTableModel;

    template <typename Reset, typename Rows, typename Cells>
    void follow(QAbstractItemModel* source, Reset reset, Rows rowsChanged, Cells cellsChanged) {
        if (source_) disconnect(source_, nullptr, this, nullptr);
        source_ = source;
        if (!source) return;
        connect(source, &QAbstractItemModel::dataChanged, this, cellsChanged);
        connect(source, &QAbstractItemModel::modelReset, this, reset);
        connect(source, &QAbstractItemModel::layoutChanged, this, reset);
        connect(source, &QAbstractItemModel::rowsInserted, this, rowsChanged);
        connect(source, &QAbstractItemModel::rowsRemoved, this, rowsChanged);
        connect(source, &QAbstractItemModel::rowsMoved, this, reset);
        connect(source, &QAbstractItemModel::columnsInserted, this, reset);
        connect(source, &QAbstractItemModel::columnsRemoved, this, reset);
        connect(source, &QAbstractItemModel::columnsMoved, this, reset);
        connect(source, &QObject::destroyed, this, [this] {
            beginResetModel();
            source_ = nullptr;
            endResetModel();
        });
    }

    QAbstractItemModel* source_ = nullptr;
};

// The first rows of a table, for the view that stays in place. Only those rows are ever
// looked at, however many rows the table has below them.
class HeadRows final : public PartOfTable {
public:
    using PartOfTable::PartOfTable;

    void setSource(QAbstractItemModel* source) {
        beginResetModel();
        const auto reset = [this] {
            beginResetModel();
            endResetModel();
        };
        follow(
            source, reset,
            [this, reset](const QModelIndex&, int first, int) {
                if (first < n_) reset();
            },
            [this](const QModelIndex& from, const QModelIndex& to, const QList<int>& roles) {
                if (from.row() < n_)
                    Q_EMIT dataChanged(index(from.row(), from.column()),
                                       index(std::min(to.row(), n_ - 1), to.column()), roles);
            });
        endResetModel();
    }
    void setCount(int n) {
        beginResetModel();
        n_ = n;
        endResetModel();
    }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override {
        return parent.isValid() || !source_ ? 0 : std::min(n_, source_->rowCount());
    }
    int columnCount(const QModelIndex& parent = QModelIndex()) const override {
        return parent.isValid() || !source_ ? 0 : source_->columnCount();
    }
    QVariant data(const QModelIndex& index, int role) const override {
        return source_ ? source_->data(source_->index(index.row(), index.column()), role)
                       : QVariant();
    }
    Qt::ItemFlags flags(const QModelIndex& index) const override {
        return source_ ? source_->flags(source_->index(index.row(), index.column()))
                       : Qt::NoItemFlags;
    }

private:
    int n_ = 0;
};

// The rows of a table below its header rows, as many at a time as the view shows. A view's
// header keeps an entry for every row it is given, so ten million rows are shown through
// this window and a scroll bar of the grid's own.
class RowWindow final : public PartOfTable {
public:
    using PartOfTable::PartOfTable;

    void setSource(QAbstractItemModel* source) {
        beginResetModel();
        top_ = 0;
        const auto reset = [this] { refit(top_); };
        follow(source, reset, reset,
               [this](const QModelIndex& from, const QModelIndex& to, const QList<int>& roles) {
                   const int a = std::max(from.row() - skip_ - top_, 0);
                   const int b = std::min(to.row() - skip_ - top_, rowCount() - 1);
                   if (a <= b)
                       Q_EMIT dataChanged(index(a, from.column()), index(b, to.column()), roles);
               });
        endResetModel();
    }
    // Rows above the window that are not part of what scrolls.
    void setSkip(int skip) {
        skip_ = skip;
        refit(top_);
    }
    void setRows(int rows) {
        if (rows == rows_) return;
        rows_ = rows;
        refit(top_);
    }
    // Shows the rows from `top` on; returns by how many rows the window moved.
    int setTop(int top) {
        const int old = top_;
        top = std::clamp(top, 0, maxTop());
        if (top == top_) return 0;
        top_ = top;
        if (rowCount() > 0)
            Q_EMIT dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
        return top - old;
    }
    int top() const { return top_; }
    int maxTop() const { return std::max(0, total() - rows_); }
    // Rows of the table below the header rows.
    int total() const { return source_ ? std::max(0, source_->rowCount() - skip_) : 0; }
    int sourceRow(int row) const { return skip_ + top_ + row; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override {
        return parent.isValid() ? 0 : std::clamp(total() - top_, 0, rows_);
    }
    int columnCount(const QModelIndex& parent = QModelIndex()) const override {
        return parent.isValid() || !source_ ? 0 : source_->columnCount();
    }
    QVariant data(const QModelIndex& index, int role) const override {
        return source_ ? source_->data(source_->index(sourceRow(index.row()), index.column()), role)
                       : QVariant();
    }
    Qt::ItemFlags flags(const QModelIndex& index) const override {
        return source_ ? source_->flags(source_->index(sourceRow(index.row()), index.column()))
                       : Qt::NoItemFlags;
    }

private:
    void refit(int top) {
        beginResetModel();
        top_ = std::clamp(top, 0, maxTop());
        endResetModel();
    }

    int skip_ = 0;
    int rows_ = 1;
    int top_ = 0;
};

namespace {

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
        if (text.front() == u'假') colour = QColor(0x1f, 0x5f, 0xa8);
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
    table_ = grid;
    if (window_) window_->setSource(nullptr);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    if (rowBar_) rowBar_->hide();
    setModel(grid);
    if (head_) head_->setSource(grid);
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
    table_ = table;
    if (head_) head_->setSource(table);
    if (!window_) {
        window_ = new RowWindow(this);
        rowBar_ = new QScrollBar(Qt::Vertical, this);
        rowBar_->setSingleStep(1);
        connect(rowBar_, &QScrollBar::valueChanged, this, &GridView::scrollWindow);
        // The window follows the table; with no twips, every row keeps the default height.
        connect(window_, &QAbstractItemModel::modelReset, this, [this] {
            fitWindow();
            placeFixed();
        });
    }
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    window_->setSkip(fixedRows_);
    window_->setSource(table);
    setModel(window_);
    fitWindow();
    placeFixed();
}

bool GridView::windowed() const { return window_ && table_ && !grid_; }

int GridView::tableRow(int viewRow) const {
    return windowed() ? window_->sourceRow(viewRow) : viewRow;
}

QScrollBar* GridView::rowScrollBar() const { return windowed() ? rowBar_ : verticalScrollBar(); }

void GridView::fitWindow() {
    if (!windowed()) return;
    const int rowHeight = std::max(1, verticalHeader()->defaultSectionSize());
    window_->setRows(std::max(1, viewport()->height() / rowHeight));
    const QSignalBlocker quiet(rowBar_);
    rowBar_->setRange(0, window_->maxTop());
    rowBar_->setPageStep(std::max(1, window_->rowCount()));
    rowBar_->setValue(window_->top());
    rowBar_->setVisible(window_->maxTop() > 0);
}

void GridView::scrollWindow(int top) {
    const QModelIndex current = currentIndex();
    const int moved = window_->setTop(top);
    if (moved == 0 || !current.isValid() || !selectionModel()) return;
    // The current cell stays with its row while the rows pass under the window.
    const int row = current.row() - moved;
    if (row >= 0 && row < window_->rowCount())
        selectionModel()->setCurrentIndex(window_->index(row, current.column()),
                                          QItemSelectionModel::ClearAndSelect);
    else
        selectionModel()->clear();
}

void GridView::wheelEvent(QWheelEvent* e) {
    const QPoint d = e->angleDelta();
    if (windowed() && std::abs(d.y()) >= std::abs(d.x())) {
        QCoreApplication::sendEvent(rowBar_, e);
        return;
    }
    QTableView::wheelEvent(e);
}

QModelIndex GridView::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) {
    if (!windowed()) return QTableView::moveCursor(action, modifiers);
    const QModelIndex current = currentIndex();
    const int row = current.isValid() ? current.row() : 0;
    const int column = current.isValid() ? current.column() : 0;
    const int last = window_->rowCount() - 1;
    const int top = window_->top();
    // At an edge of the window the rows move, not the cursor.
    switch (action) {
        case MoveDown:
        case MoveNext:
            if (row < last || top >= window_->maxTop()) break;
            rowBar_->setValue(top + 1);
            return window_->index(last, column);
        case MoveUp:
        case MovePrevious:
            if (row > 0 || top == 0) break;
            rowBar_->setValue(top - 1);
            return window_->index(0, column);
        case MovePageDown:
            if (top >= window_->maxTop()) return window_->index(last, column);
            rowBar_->setValue(top + last + 1);
            return window_->index(row, column);
        case MovePageUp:
            if (top == 0) return window_->index(0, column);
            rowBar_->setValue(top - last - 1);
            return window_->index(row, column);
        case MoveHome:
        case MoveEnd:
            if (!modifiers.testFlag(Qt::ControlModifier)) break;
            rowBar_->setValue(action == MoveHome ? 0 : window_->maxTop());
            return window_->index(action == MoveHome ? 0 : window_->rowCount() - 1, column);
        default:
            break;
    }
    return QTableView::moveCursor(action, modifiers);
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
        head_ = new HeadRows(this);
        head_->setSource(table_);
        fixed_->setModel(head_);
        connect(horizontalScrollBar(), &QScrollBar::valueChanged, fixed_->horizontalScrollBar(),
                &QScrollBar::setValue);
        connect(horizontalHeader(), &QHeaderView::sectionResized, this,
                [this](int c, int, int size) { fixed_->setColumnWidth(c, size); });
        connect(fixed_, &QTableView::clicked, this,
                [this](const QModelIndex& i) { Q_EMIT fixedCellClicked(i.row(), i.column()); });
    }
    head_->setCount(fixedRows_);
    if (windowed()) window_->setSkip(fixedRows_);
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
    if (!fixed_ || !head_) return 0;
    int h = 0;
    for (int r = 0; r < head_->rowCount(); ++r)
        if (!fixed_->isRowHidden(r)) h += fixed_->rowHeight(r);
    return h;
}

void GridView::placeFixed() {
    const bool bar = windowed() && rowBar_->isVisibleTo(this);
    const int barWidth = bar ? rowBar_->sizeHint().width() : 0;
    const int h = fixedHeight();
    setViewportMargins(0, h, barWidth, 0);
    const QRect vp = viewport()->geometry();
    if (bar) rowBar_->setGeometry(vp.right() + 1, vp.top() - h, barWidth, vp.height() + h);
    if (!fixed_) return;
    fixed_->setGeometry(vp.left(), vp.top() - h, vp.width(), h);
    fixed_->horizontalScrollBar()->setValue(horizontalScrollBar()->value());
}

void GridView::resizeEvent(QResizeEvent* e) {
    QTableView::resizeEvent(e);
    fitWindow();
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
        fitWindow();
        placeFixed();
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
    if (at.isValid())
        Q_EMIT cellPressed(tableRow(at.row()), at.column(), e->button(), e->modifiers());
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
