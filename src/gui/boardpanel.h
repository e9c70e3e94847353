#pragma once

#include <QWidget>

#include "models/headersort.h"

class QLabel;

namespace tallyra {

class GridView;
class TextGridModel;
struct DayCaptions;

// Panel 4, the sign-in board: today's date, weekday and clock above the grid MSQD, whose
// header rows sort it.
class BoardPanel : public QWidget {
    Q_OBJECT
public:
    BoardPanel(TextGridModel& board, const DayCaptions& day, QWidget* parent = nullptr);

    // The date and weekday of the day the station keeps.
    void showDay();
    void showClock(const QString& text);
    GridView* view() const { return view_; }

private:
    void sortBoard(int column);

    QLabel* date_ = nullptr;
    QLabel* weekday_ = nullptr;
    QLabel* clock_ = nullptr;
    GridView* view_ = nullptr;
    HeaderSort boardSort_{BoardSortCodes()};
    TextGridModel& board_;
    const DayCaptions& day_;
};

}  // namespace tallyra
