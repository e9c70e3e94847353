#pragma once

#include <QWidget>

#include "models/headersort.h"

class QLabel;

namespace tallyra {

class GridView;
class Workstation;

// Panel 4, the sign-in board: today's date, weekday and clock above the grid MSQD, whose
// header rows sort it.
class BoardPanel : public QWidget {
    Q_OBJECT
public:
    explicit BoardPanel(QWidget* parent = nullptr);
    void attach(Workstation& station);

    // The date and weekday of the day the station keeps.
    void showDay();
    void showClock(const QString& text);
    GridView* view() const { return board_; }

private:
    void sortBoard(int column);

    QLabel* date_ = nullptr;
    QLabel* weekday_ = nullptr;
    QLabel* clock_ = nullptr;
    GridView* board_ = nullptr;
    HeaderSort boardSort_{BoardSortCodes()};
    Workstation* station_ = nullptr;
};

}  // namespace tallyra
