#pragma once

#include <QFrame>
#include <array>
#include <functional>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace tallyra {

class ClickLabel;
class DataFolder;
class LeaveStore;
class Dialogs;
class Notifier;
class NoticePopups;
class ReaderGate;
class SettingsStore;
class TimeTableEditor;
class TimeTableStore;
struct FontChoice;

QFont FontFromChoice(const FontChoice& chosen, const QFont& base);
// The notices' design font, until the settings say otherwise.
QFont DefaultPopupFont();
FontChoice ChoiceFromFont(const QFont& font);
QColor ColourFromStored(quint32 stored);  // red in the low byte
quint32 StoredFromColour(const QColor& colour);

// Panel 0, the system settings: the time-window table, the option and precision boxes,
// the grid font, the notice font and colour, the administrator password and the card
// reader. Every change is written to its file at once.
class SettingsPanel : public QFrame {
    Q_OBJECT
public:
    // The reader box lists the keyboards `gate` sees and stores the choice in `folder`.
    SettingsPanel(SettingsStore& settings, TimeTableStore& timeTable, LeaveStore& leave,
                  const DataFolder& folder, Notifier& notifier, NoticePopups& popups,
                  Dialogs& dialogs, ReaderGate& gate,
                  std::function<void(const QFont&)> applyGridFont, QWidget* parent = nullptr);

    TimeTableEditor* timeTable() const { return timeTable_; }
    QPushButton* closeButton() const { return close_; }

    void SaveOptionBox(int k);
    void SavePrecision(int k);
    void ChooseGridFont();
    void ChoosePopupFont();
    void ChoosePopupColour();
    void ChangeAdminPassword();
    // The three password boxes are emptied whenever the panel is opened.
    void clearPasswords();
    // The reader box's list item i: 0 any keyboard, then the capture's keyboards.
    void ChooseReader(int index);
    // The kinds of leave offered, from the box ("事假、病假、公假").
    void SaveLeaveKinds();

Q_SIGNALS:
    // 校历: the calendar editor is asked for.
    void calendarRequested();

private:
    void showSettings();
    void showReaders();

    TimeTableEditor* timeTable_ = nullptr;
    std::array<QCheckBox*, 13> options_{};
    std::array<QComboBox*, 2> precision_{};
    QPushButton* gridFont_ = nullptr;
    ClickLabel* sample_ = nullptr;
    ClickLabel* swatch_ = nullptr;
    std::array<QLineEdit*, 3> passwords_{};
    QPushButton* changePassword_ = nullptr;
    QPushButton* close_ = nullptr;
    QComboBox* readers_ = nullptr;
    QPushButton* readerTest_ = nullptr;
    QLabel* capture_ = nullptr;
    QLabel* tested_ = nullptr;
    bool loading_ = false;

    SettingsStore& settings_;
    LeaveStore& leave_;
    QLineEdit* leaveKinds_ = nullptr;
    const DataFolder& folder_;
    Notifier& notifier_;
    NoticePopups& popups_;
    Dialogs& dialogs_;
    ReaderGate& gate_;
    std::function<void(const QFont&)> applyGridFont_;
};

}  // namespace tallyra
