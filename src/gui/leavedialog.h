#pragma once

#include <QDialog>

class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QListWidget;

namespace tallyra {

class Clock;
class LeaveStore;
class Notifier;
class RosterStore;
class TimeTableStore;

// An excused absence (请假) for one person: from a day's window to a day's window (or whole
// days), its kind and reason and who enters it. The person's entries are listed below; one
// may be cancelled (it stays, marked, with when and by whom).
class LeaveDialog : public QDialog {
    Q_OBJECT
public:
    LeaveDialog(LeaveStore& leave, const RosterStore& roster, const TimeTableStore& table,
                Notifier& notifier, const Clock& clock, QWidget* parent = nullptr);

    // Opens for roster index `index`, today, from window `window` (-1: the whole day).
    void openFor(int index, int window = -1);
    void enter();         // 登记
    void cancelChosen();  // 取消请假
    int person() const { return index_; }

private:
    void showEntries();

    LeaveStore& leave_;
    const RosterStore& roster_;
    const TimeTableStore& table_;
    Notifier& notifier_;
    const Clock& clock_;
    int index_ = 0;
    QLabel* who_ = nullptr;
    QDateEdit* fromDay_ = nullptr;
    QDateEdit* toDay_ = nullptr;
    QComboBox* fromWindow_ = nullptr;
    QComboBox* toWindow_ = nullptr;
    QComboBox* kind_ = nullptr;
    QLineEdit* reason_ = nullptr;
    QLineEdit* by_ = nullptr;
    QListWidget* entries_ = nullptr;
};

}  // namespace tallyra
