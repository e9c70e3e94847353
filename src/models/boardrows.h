#pragma once

#include <QHash>
#include <QString>
#include <array>
#include <vector>

#include "models/grids.h"
#include "models/textgridmodel.h"

namespace tallyra {

constexpr int kBoardWindows = 6;

// The sign-in board's person rows, and the one place that knows its columns: the roster
// index (hidden), the card, the name and a mark per window. The index and the card of each
// row are read once each time their column changes (a load, a sort, an edit), not on every
// swipe.
class BoardRows {
public:
    explicit BoardRows(TextGridModel& board) : board_(board) {}

    TextGridModel& grid() { return board_; }
    int first() const { return kBoardFirstPerson; }
    int end() const { return board_.rows(); }

    // Roster index of a person row; 0 for any other row.
    int indexAt(int row) const;
    // The first row holding the card, or -1.
    int rowOfCard(const QString& card) const;
    // The row of roster index i, or -1 when i is not on the board.
    int rowOfIndex(int index) const;

    const QString& mark(int row, int window) const {
        return board_.cell(row, kBoardFirstWindowColumn + window);
    }
    void setMark(int row, int window, int status);
    // "假": the person is on leave for the window and has not signed in.
    void setExcused(int row, int window, bool excused);
    static bool IsExcusedMark(const QString& mark);
    // A person row as a load writes it: index, card, name and the six statuses.
    void setPerson(int row, int index, const QString& card, const QString& name,
                   const std::array<qint16, kBoardWindows>& statuses);
    void clearMarks();

    // Present/expected into row 1 and late/absent into row 2 of window w's column, counted
    // by the first character of each person's mark; the people on leave follow in row 2 as
    // "请假N" when there are any.
    void recount(int window);
    // The same for every window whose column shows.
    void recountShown();

private:
    void indexRows() const;

    TextGridModel& board_;
    mutable std::vector<int> indices_;  // by row
    mutable std::vector<int> rowsOfIndex_;
    mutable quint64 indicesRevision_ = ~quint64(0);
    mutable QHash<QString, int> cardRows_;  // card text -> first row
    mutable quint64 cardsRevision_ = ~quint64(0);
};

// The same counts over any board grid.
void RecountWindow(TextGridModel& board, int window);
void RecountShownWindows(TextGridModel& board);

}  // namespace tallyra
