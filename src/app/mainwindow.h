#pragma once

#include <QMainWindow>
#include <array>

#include "core/panel.h"

class QFrame;
class QLineEdit;
class QPushButton;
class QStackedWidget;

namespace tallyra {

class BoardPanel;
class CalendarEditor;
class DatabasePanel;
class LeaveDialog;
class Dialogs;
class GridView;
class NoticePopups;
class PersonalCentre;
class ReaderGate;
class RosterEditor;
class SettingsPanel;
class SignInDesk;
class StatisticsPanel;
class StructurePanel;
class Workstation;
struct SwipeResult;

// Form1: the frame around the six panels, the panel buttons and ShowPanel, the
// administrator mode and its login box. Built over a started station: each panel gets the
// stores it works on; the sign-in desk is told the panel on show and says what it did.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    MainWindow(Workstation& station, SignInDesk& desk, NoticePopups& popups, Dialogs& dialogs,
               ReaderGate& gate, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Opens inside the screen's free area: at its comfortable size, or maximized on a screen
    // too small for it.
    void showOnScreen();
    static constexpr QSize kComfortableSize{1180, 760};

    // The action of panel button `index` (0-5).
    void ShowPanel(int index);
    void ShowPanel(Panel panel) { ShowPanel(int(panel)); }
    void ToggleAdminMode();
    int currentPanel() const { return int(currentPanel_); }
    bool adminMode() const { return adminMode_; }
    // The panel on show, or -1 when none is (a refused statistics request).
    int shownPanel() const;

    // What exit saves.
    bool rosterGridShown() const { return rosterGridShown_; }

    SettingsPanel* settingsPanel() const { return settings_; }
    StructurePanel* structurePanel() const { return structure_; }
    StatisticsPanel* statisticsPanel() const { return statistics_; }
    PersonalCentre* personalCentre() const { return personal_; }
    CalendarEditor* calendarEditor() const { return calendar_; }
    LeaveDialog* leaveDialog() const { return leave_; }
    RosterEditor* rosterEditor() const;
    GridView* rosterView() const;
    GridView* boardView() const;
    void ApplyGridFont(const QFont& font);

private:
    void buildLogin();
    bool eventFilter(QObject* watched, QEvent* e) override;
    // The day's captions, the statistics date range and the personal centre follow the day.
    void showDay();
    void onSwiped(const SwipeResult& result, const QString& card, Panel panel);
    void setAdminButtonsVisible(bool visible);
    void login();
    void closeLogin();
    void saveBoardWidths();
    void showNothing();

    Workstation& station_;
    SignInDesk& desk_;
    QStackedWidget* panels_ = nullptr;
    std::array<QWidget*, kPanelCount> pages_{};
    QWidget* nothing_ = nullptr;
    std::array<QPushButton*, kPanelCount> panelButtons_{};
    QPushButton* saveWidths_ = nullptr;
    QPushButton* adminToggle_ = nullptr;
    QPushButton* exit_ = nullptr;
    QFrame* login_ = nullptr;
    QLineEdit* password_ = nullptr;
    SettingsPanel* settings_ = nullptr;
    StructurePanel* structure_ = nullptr;
    DatabasePanel* database_ = nullptr;
    StatisticsPanel* statistics_ = nullptr;
    BoardPanel* board_ = nullptr;
    PersonalCentre* personal_ = nullptr;
    CalendarEditor* calendar_ = nullptr;
    LeaveDialog* leave_ = nullptr;

    Panel currentPanel_ = Panel::SignIn;
    bool adminMode_ = false;
    bool rosterGridShown_ = false;
};

}  // namespace tallyra
