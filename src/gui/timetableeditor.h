#pragma once

#include <QWidget>
#include <array>

#include "core/timewindows.h"

class QComboBox;
class QFrame;
class QPushButton;

namespace tallyra {

class ClickLabel;
class Dialogs;
class Notifier;

// The weekday x window table of the settings panel: 42 cells (Label9_k) with their
// "[不设定]" covers (Label9t_k), the six window names (Labsm_w) and the time input panel
// Picture5. Every change is written to time.dat at once and kept in the live table the
// sign-in engine reads.
class TimeTableEditor : public QWidget {
    Q_OBJECT
public:
    TimeTableEditor(TimeTableStore& table, Notifier& notifier, Dialogs& dialogs,
                    QWidget* parent = nullptr);

    // The input panel's buttons: 确定 (Command3_8) stores the cell, 统一设定 (Command3_12)
    // every weekday of its window, 取消 (Command3_10) closes.
    void storeTimes(bool allWeekdays);
    void parkInput();
    bool inputOpen() const;

    void editCell(int k);             // left button on a time label
    void setCellSet(int k, bool on);  // right button on a label or its cover
    void renameWindow(int w);         // click on a window name

private:
    bool eventFilter(QObject* watched, QEvent* e) override;
    void showTable();

    std::array<ClickLabel*, kCellCount> cells_{};
    std::array<ClickLabel*, kCellCount> covers_{};
    std::array<ClickLabel*, kWindowCount> names_{};
    QFrame* input_ = nullptr;
    std::array<QComboBox*, 4> boxes_{};
    QPushButton* store_ = nullptr;
    QPushButton* storeAll_ = nullptr;
    QPushButton* cancel_ = nullptr;
    int inputCell_ = -1;

    TimeTableStore& table_;
    Notifier& notifier_;
    Dialogs& dialogs_;
};

}  // namespace tallyra
