#pragma once

#include <QWidget>

#include "models/headersort.h"

class QLabel;

namespace tallyra {

class BoardRows;
class TextGridModel;
class GridView;
struct DayCaptions;
struct DayPlan;

// Panel 4, the sign-in board: today's date, weekday and clock above the grid MSQD, whose
// header rows sort it.
class BoardPanel : public QWidget {
    Q_OBJECT
public:
    BoardPanel(BoardRows& rows, const DayCaptions& day, const DayPlan& plan,
               QWidget* parent = nullptr);

    // The date and weekday of the day the station keeps, and what the calendar makes of it.
    void showDay();
    void showClock(const QString& text);
    GridView* view() const { return view_; }

Q_SIGNALS:
    // A right click on a person's mark: leave for that person from that window.
    void leaveRequested(int index, int window);

private:
    void sortBoard(int column);

    QLabel* date_ = nullptr;
    QLabel* weekday_ = nullptr;
    QLabel* clock_ = nullptr;
    QLabel* closed_ = nullptr;
    GridView* view_ = nullptr;
    HeaderSort boardSort_{BoardSortCodes()};
    BoardRows& rows_;
    TextGridModel& board_;
    const DayCaptions& day_;
    const DayPlan& plan_;
};

}  // namespace tallyra
