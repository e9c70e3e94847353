#include "models/boardrows.h"

#include "common/text.h"
#include "core/layout/rw.h"

namespace tallyra {

namespace {

constexpr QChar kLateMark = u'○';
constexpr QChar kOnTimeMark = u'√';
constexpr QChar kAbsentMark = u'×';
constexpr QChar kExcusedMark = u'假';
constexpr int kLastIndex = layout::rw::kRecords;

int WindowColumn(int window) { return kBoardFirstWindowColumn + window; }

}  // namespace

void BoardRows::indexRows() const {
    const quint64 revision = board_.columnRevision(kBoardIndexColumn);
    if (revision == indicesRevision_ && indices_.size() == size_t(board_.rows())) return;
    indices_.assign(size_t(board_.rows()), 0);
    rowsOfIndex_.assign(size_t(kLastIndex) + 1, -1);
    for (int r = board_.rows() - 1; r >= kBoardFirstPerson; --r) {
        const double n = NumericValue(board_.cell(r, kBoardIndexColumn));
        const int i = n >= 1 && n <= kLastIndex ? int(n) : 0;
        indices_[size_t(r)] = i;
        if (i > 0) rowsOfIndex_[size_t(i)] = r;
    }
    indicesRevision_ = revision;
}

int BoardRows::indexAt(int row) const {
    indexRows();
    return row >= kBoardFirstPerson && row < int(indices_.size()) ? indices_[size_t(row)] : 0;
}

int BoardRows::rowOfIndex(int index) const {
    if (index < 1 || index > kLastIndex) return -1;
    indexRows();
    return rowsOfIndex_[size_t(index)];
}

int BoardRows::rowOfCard(const QString& card) const {
    const quint64 revision = board_.columnRevision(kBoardCardColumn);
    if (revision != cardsRevision_) {
        // A scan of 5000 rows costs more than a swipe may; an index pays from the second.
        cardRows_.clear();
        cardRows_.reserve(board_.rows());
        for (int r = board_.rows() - 1; r >= kBoardFirstPerson; --r)
            cardRows_.insert(board_.cell(r, kBoardCardColumn), r);  // the first row wins
        cardsRevision_ = revision;
    }
    return cardRows_.value(card, -1);
}

void BoardRows::setMark(int row, int window, int status) {
    board_.setText(row, WindowColumn(window), StatusMark(status));
}

void BoardRows::setExcused(int row, int window, bool excused) {
    board_.setText(row, WindowColumn(window), excused ? QString(kExcusedMark) : QString());
}

bool BoardRows::IsExcusedMark(const QString& mark) {
    return !mark.isEmpty() && mark.front() == kExcusedMark;
}

void BoardRows::setPerson(int row, int index, const QString& card, const QString& name,
                          const std::array<qint16, kBoardWindows>& statuses) {
    QStringList texts{QString::number(index), card, name};
    for (qint16 s : statuses) texts << StatusMark(s);
    board_.setRowTexts(row, std::move(texts));
}

void BoardRows::clearMarks() {
    board_.beginBulkUpdate();
    for (int r = kBoardFirstPerson; r < board_.rows(); ++r)
        for (int w = 0; w < kBoardWindows; ++w) board_.setText(r, WindowColumn(w), {});
    board_.endBulkUpdate();
}

void BoardRows::recount(int window) { RecountWindow(board_, window); }
void BoardRows::recountShown() { RecountShownWindows(board_); }

void RecountWindow(TextGridModel& board, int window) {
    const int c = WindowColumn(window);
    int present = 0, late = 0, absent = 0, excused = 0;
    const int expected = board.rows() - kBoardFirstPerson;
    for (int r = kBoardFirstPerson; r < board.rows(); ++r) {
        const QString& cell = board.cell(r, c);
        if (cell.isEmpty()) continue;
        const QChar first = cell.front();
        if (first == kLateMark) {
            ++late;
            ++present;
        } else if (first == kOnTimeMark) {
            ++present;
        } else if (first == kAbsentMark) {
            ++absent;
        } else if (first == kExcusedMark) {
            ++excused;
        }
    }
    board.setText(kBoardCountsRow, c, QStringLiteral("%1/%2").arg(present).arg(expected));
    QString lateAbsent = QStringLiteral("%1/%2").arg(late).arg(absent);
    if (excused > 0) lateAbsent += QStringLiteral(" 请假%1").arg(excused);
    board.setText(kBoardLateRow, c, lateAbsent);
}

void RecountShownWindows(TextGridModel& board) {
    for (int w = 0; w < kBoardWindows; ++w)
        if (board.columnWidth(WindowColumn(w)) != 0) RecountWindow(board, w);
}

}  // namespace tallyra
