#pragma once

#include <QMainWindow>
#include <QTimer>
#include <array>
#include <functional>
#include <memory>

#include "core/cardinput.h"
#include "core/cueplayer.h"
#include "core/signin.h"
#include "core/statistics.h"
#include "editor/structurepanel.h"

class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QStackedWidget;

namespace tallyra {

class Dialogs;
class GridView;
class PersonalCentre;
class RosterEditor;
class StructurePanel;
class NoticePopups;
class SettingsPanel;
class Workstation;

// Form1: six panels in one area switched by the panel buttons, the administrator mode,
// the login box, the shared button array and the timers of the sign-in board.
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

    void ShowPanel(int index);
    void ToggleAdminMode();
    void Command3Click(int index);
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
    RosterEditor* rosterEditor() const { return rosterEditor_; }
    PersonalCentre* personalCentre() const { return personal_; }
    StructurePanel* structurePanel() const { return structure_; }
    GridView* rosterView() const { return roster_; }
    GridView* boardView() const { return board_; }
    SettingsPanel* settingsPanel() const { return settings_; }
    void ApplyGridFont(const QFont& font);

    void Command7Click(int index);
    // The statistics query over the panel's boxes; false when a date box is not a date.
    bool RunStatisticsQuery();
    void ExportStatistics();
    void ImportRosterSpreadsheet();
    // Where the export finds its template (1.dat beside the program by default).
    void setTemplatePath(const QString& path) { templatePath_ = path; }
    QLabel* statsValue(int i) const { return i == 5 ? statsHours_ : statsValues_[size_t(i)]; }

Q_SIGNALS:
    void exitRequested();

private:
    QWidget* buildBoardPanel();
    QWidget* buildDatabasePanel();
    QWidget* buildStatisticsPanel();
    bool eventFilter(QObject* watched, QEvent* e) override;
    void buildLogin();
    // The day's captions, the statistics date range and the personal centre follow the day.
    void showDay();
    void onCardEntered(const QString& card, int panel);
    void setAdminButtonsVisible(bool visible);
    void login();
    void closeLogin();
    void addRows();
    void deleteRows();
    void saveBoardWidths();
    void sortStatistics(int column);
    void sortBoard(int column);

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
    GridView* board_ = nullptr;
    GridView* roster_ = nullptr;
    GridView* stats_ = nullptr;
    QLabel* date_ = nullptr;
    QLabel* weekday_ = nullptr;
    QLabel* clock_ = nullptr;
    std::array<QLineEdit*, 2> statsDates_{};
    std::array<QComboBox*, 2> statsWeekdays_{};
    QLineEdit* statsName_ = nullptr;
    QLineEdit* statsCard_ = nullptr;
    QList<QWidget*> statsPersonFilter_;
    std::array<QLineEdit*, 2> statsLate_{};
    std::array<QLabel*, 5> statsValues_{};
    QLabel* statsHours_ = nullptr;
    QLabel* statsSorted_ = nullptr;
    HeaderSort statsSort_{{7, 7, 7, 3, 3, 7}};
    HeaderSort boardSort_{{3, 3, 7, 7, 7, 7, 7, 7, 7}};
    QString templatePath_;
    RosterEditor* rosterEditor_ = nullptr;
    PersonalCentre* personal_ = nullptr;
    StructurePanel* structure_ = nullptr;

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
