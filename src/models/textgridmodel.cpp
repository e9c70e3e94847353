#include "models/textgridmodel.h"

#include <QCollator>
#include <algorithm>
#include <numeric>

#include "common/text.h"

namespace tallyra {

TextGridModel::TextGridModel(int rows, int columns, QObject* parent)
    : QAbstractTableModel(parent),
      rows_(std::max(rows, 0)),
      columns_(std::max(columns, 0)),
      cells_(size_t(rows_) * size_t(columns_)),
      widths_(size_t(columns_), kDefaultWidth),
      heights_(size_t(rows_), kDefaultWidth),
      revisions_(size_t(columns_), 0) {}

void TextGridModel::setRows(int rows) {
    rows = std::max(rows, 0);
    if (rows == rows_) return;
    const bool tell = bulk_ == 0;
    if (rows > rows_) {
        if (tell) beginInsertRows({}, rows_, rows - 1);
    } else {
        if (tell) beginRemoveRows({}, rows, rows_ - 1);
    }
    cells_.resize(size_t(rows) * size_t(columns_));
    touchAll();
    heights_.resize(size_t(rows), kDefaultWidth);
    const bool grew = rows > rows_;
    rows_ = rows;
    row_ = std::min(row_, std::max(rows_ - 1, 0));
    rowSel_ = std::min(rowSel_, std::max(rows_ - 1, 0));
    if (tell) grew ? endInsertRows() : endRemoveRows();
}

QString TextGridModel::text(int row, int column) const {
    return valid(row, column) ? cells_[size_t(at(row, column))] : QString();
}

void TextGridModel::setText(int row, int column, const QString& text) {
    if (!valid(row, column)) return;
    cells_[size_t(at(row, column))] = text;
    ++revisions_[size_t(column)];
    if (bulk_ == 0) {
        const QModelIndex i = index(row, column);
        Q_EMIT dataChanged(i, i, {Qt::DisplayRole});
    }
}

void TextGridModel::setRowTexts(int row, QStringList texts) {
    if (row < 0 || row >= rows_) return;
    const int n = std::min<int>(int(texts.size()), columns_);
    for (int c = 0; c < n; ++c) {
        cells_[size_t(at(row, c))] = std::move(texts[c]);
        ++revisions_[size_t(c)];
    }
    if (bulk_ == 0 && n > 0)
        Q_EMIT dataChanged(index(row, 0), index(row, n - 1), {Qt::DisplayRole});
}

void TextGridModel::beginBulkUpdate() {
    if (bulk_++ == 0) beginResetModel();
}

void TextGridModel::endBulkUpdate() {
    if (bulk_ > 0 && --bulk_ == 0) endResetModel();
}

int TextGridModel::columnWidth(int column) const {
    return column >= 0 && column < columns_ ? widths_[size_t(column)] : 0;
}

void TextGridModel::setColumnWidth(int column, int twips) {
    if (column < 0 || column >= columns_) return;
    widths_[size_t(column)] = twips < 0 ? kDefaultWidth : twips;
    Q_EMIT columnWidthChanged(column, widths_[size_t(column)]);
}

int TextGridModel::rowHeight(int row) const {
    return row >= 0 && row < rows_ ? heights_[size_t(row)] : 0;
}

void TextGridModel::setRowHeight(int row, int twips) {
    if (row < 0 || row >= rows_) return;
    heights_[size_t(row)] = twips < 0 ? kDefaultWidth : twips;
    Q_EMIT rowHeightChanged(row, heights_[size_t(row)]);
}

void TextGridModel::setCurrentCell(int row, int column) {
    row_ = rowSel_ = std::clamp(row, 0, std::max(rows_ - 1, 0));
    col_ = colSel_ = std::clamp(column, 0, std::max(columns_ - 1, 0));
}

void TextGridModel::setSelectionEnd(int rowSel, int colSel) {
    rowSel_ = std::clamp(rowSel, 0, std::max(rows_ - 1, 0));
    colSel_ = std::clamp(colSel, 0, std::max(columns_ - 1, 0));
}

const QCollator& TextGridModel::TextCollator() {
    static const QCollator collator = [] {
        QCollator c(QLocale(QLocale::Chinese, QLocale::China));
        c.setCaseSensitivity(Qt::CaseSensitive);
        c.setNumericMode(false);
        return c;
    }();
    return collator;
}

void TextGridModel::sortRows(int fromRow, int toRow, int keyFirst, int keyLast, int code) {
    if (fromRow > toRow) std::swap(fromRow, toRow);
    if (keyFirst > keyLast) std::swap(keyFirst, keyLast);
    fromRow = std::max(fromRow, 0);
    toRow = std::min(toRow, rows_ - 1);
    keyFirst = std::max(keyFirst, 0);
    keyLast = std::min(keyLast, columns_ - 1);
    if (fromRow >= toRow || keyFirst > keyLast) return;
    const bool numeric = code == NumericAscending || code == NumericDescending;
    const bool descending = code == NumericDescending || code == TextDescending;
    if (!numeric && code != TextAscending && code != TextDescending) return;

    const int n = toRow - fromRow + 1;
    const int keys = keyLast - keyFirst + 1;
    // Numeric keys are parsed once, not once per comparison.
    std::vector<double> values;
    if (numeric) {
        values.resize(size_t(n) * size_t(keys));
        for (int r = 0; r < n; ++r)
            for (int k = 0; k < keys; ++k)
                values[size_t(r) * keys + k] =
                    NumericValue(cells_[size_t(at(fromRow + r, keyFirst + k))]);
    }
    // Text keys compare as a reader of Chinese expects (pinyin order, upper and lower case
    // kept apart), through sort keys made once per cell.
    std::vector<QCollatorSortKey> texts;
    if (!numeric) {
        const QCollator& collator = TextCollator();
        texts.reserve(size_t(n) * size_t(keys));
        for (int r = 0; r < n; ++r)
            for (int k = 0; k < keys; ++k)
                texts.push_back(collator.sortKey(cells_[size_t(at(fromRow + r, keyFirst + k))]));
    }
    std::vector<int> order(static_cast<size_t>(n));
    std::iota(order.begin(), order.end(), 0);
    auto compare = [&](int a, int b) {
        for (int k = 0; k < keys; ++k) {
            int c;
            if (numeric) {
                const double x = values[size_t(a) * keys + k], y = values[size_t(b) * keys + k];
                c = x < y ? -1 : (x > y ? 1 : 0);
            } else {
                c = texts[size_t(a) * keys + k].compare(texts[size_t(b) * keys + k]);
            }
            if (c != 0) return descending ? c > 0 : c < 0;
        }
        return false;
    };
    std::stable_sort(order.begin(), order.end(), compare);

    std::vector<QString> moved(size_t(n) * size_t(columns_));
    std::vector<int> movedHeights(static_cast<size_t>(n));
    for (int r = 0; r < n; ++r) {
        for (int c = 0; c < columns_; ++c)
            moved[size_t(r) * columns_ + c] =
                std::move(cells_[size_t(at(fromRow + order[size_t(r)], c))]);
        movedHeights[size_t(r)] = heights_[size_t(fromRow + order[size_t(r)])];
    }
    for (int r = 0; r < n; ++r) {
        for (int c = 0; c < columns_; ++c)
            cells_[size_t(at(fromRow + r, c))] = std::move(moved[size_t(r) * columns_ + c]);
        heights_[size_t(fromRow + r)] = movedHeights[size_t(r)];
    }
    touchAll();
    if (bulk_ == 0)
        Q_EMIT dataChanged(index(fromRow, 0), index(toRow, columns_ - 1), {Qt::DisplayRole});
}

void TextGridModel::sortSelection(int code) { sortRows(row_, rowSel_, col_, colSel_, code); }

int TextGridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : rows_;
}

int TextGridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : columns_;
}

QVariant TextGridModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || !valid(index.row(), index.column())) return {};
    if (role == Qt::DisplayRole || role == Qt::EditRole)
        return cells_[size_t(at(index.row(), index.column()))];
    return {};
}

}  // namespace tallyra
