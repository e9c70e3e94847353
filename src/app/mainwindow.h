#pragma once

#include <QMainWindow>
#include <QTimer>
#include <array>
#include <memory>

#include "core/cardinput.h"
#include "core/cueplayer.h"
#include "core/signin.h"
#include "gui/structurepanel.h"

class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QStackedWidget;

namespace tallyra {

class BoardPanel;
class DatabasePanel;
class Dialogs;
class GridView;
class NoticePopups;
class PersonalCentre;
class RosterEditor;
class SettingsPanel;
class StatisticsPanel;
class StructurePanel;
class Workstation;

// Form1: the frame around the six panels, the panel buttons and ShowPanel, the
// administrator mode and its login box, and the timers of the sign-in board.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    static constexpr int kTimer1Ms = 30000;
    enum Panel {
        Settings = 0,
        Structure = 1,
        Database = 2,
        Statistics = 3,
        Board = 4,
        Personal = 5
    };

    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;
    void attach(Workstation& station, CuePlayer& cues, NoticePopups& popups, Dialogs& dialogs);

    // Opens inside the screen's free area: at its comfortable size, or maximized on a screen
    // too small for it.
    void showOnScreen();
    static constexpr QSize kComfortableSize{1180, 760};

    void ShowPanel(int index);
    void ToggleAdminMode();
    int currentPanel() const { return currentPanel_; }
    bool adminMode() const { return adminMode_; }
    // The panel on show, or -1 when none is (a refused statistics request).
    int shownPanel() const;

    // Where the system-wide key capture delivers every key-down.
    void AllIN(int keyCode, qint64 timeMs = -1) { cardInput_.AllIN(keyCode, timeMs); }
    SignIn* signIn() const { return signIn_.get(); }
    void onTimer1();

    // What exit saves.
    bool rosterGridShown() const { return rosterGridShown_; }
    bool schemaChanged() const { return changes_.schema; }
    const std::array<bool, 3>& choiceListChanged() const { return changes_.choiceLists; }

    // The panels.
    SettingsPanel* settingsPanel() const { return settings_; }
    StructurePanel* structurePanel() const { return structure_; }
    DatabasePanel* databasePanel() const { return database_; }
    StatisticsPanel* statisticsPanel() const { return statistics_; }
    BoardPanel* boardPanel() const { return board_; }
    PersonalCentre* personalCentre() const { return personal_; }
    RosterEditor* rosterEditor() const;
    GridView* rosterView() const;
    GridView* boardView() const;
    void ApplyGridFont(const QFont& font);

Q_SIGNALS:
    void exitRequested();

private:
    void buildLogin();
    bool eventFilter(QObject* watched, QEvent* e) override;
    // The day's captions, the statistics date range and the personal centre follow the day.
    void showDay();
    void onCardEntered(const QString& card, int panel);
    void setAdminButtonsVisible(bool visible);
    void login();
    void closeLogin();
    void saveBoardWidths();
    void showNothing();

    QStackedWidget* panels_ = nullptr;
    std::array<QWidget*, 6> pages_{};
    QWidget* nothing_ = nullptr;
    std::array<QPushButton*, 6> panelButtons_{};
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

    int currentPanel_ = SignIn::kSignInPanel;
    bool adminMode_ = false;
    bool rosterGridShown_ = false;
    DefinitionChanges changes_;

    Workstation* station_ = nullptr;
    Dialogs* dialogs_ = nullptr;
    std::unique_ptr<SignIn> signIn_;
    QtBurstTimer timer2_;
    CardInput cardInput_;
    QTimer timer1_;
};

}  // namespace tallyra
