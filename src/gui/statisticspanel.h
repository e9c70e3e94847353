#pragma once

#include <QWidget>
#include <array>
#include <functional>

#include "core/calendar.h"
#include "core/statistics.h"
#include "models/headersort.h"
#include "models/statsgridmodel.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QStackedLayout;

namespace tallyra {

class DataFolder;
class Dialogs;
class GridView;
class Notifier;
class RegisterPanel;
class RosterStore;
struct DayCaptions;

// Panel 3: the filter boxes, the summary labels and the grid MSTJ; the query, its header
// sorts and the export.
class StatisticsPanel : public QWidget {
    Q_OBJECT
public:
    // `openDatePanel` shows the date panel for a date box.
    // `days` tells which absences leave or a closed day excuse.
    StatisticsPanel(const DataFolder& folder, const RosterStore& roster, const DayCaptions& day,
                    const AttendanceCalendar& days, Notifier& notifier, Dialogs& dialogs,
                    std::function<void(QLineEdit*)> openDatePanel, QWidget* parent = nullptr);

    // What showing the panel does: the person filter for the administrator, or fixed to
    // the one person loaded in the personal centre (roster index; 0 = nobody).
    void showFor(bool admin, int personalIndex);
    // The date range the panel starts with: the year up to the station's day.
    void showDay();

    void Command7Click(int index);
    // The query over the panel's boxes; false when a date box is not a date.
    bool RunStatisticsQuery();
    void ExportStatistics();
    // The summary labels: 0 late, 1 late minutes, 2 absent, 3 on time, 4 records, 5 hours,
    // 6 excused.
    QLabel* value(int i) const { return i == 5 ? hours_ : i == 6 ? excused_ : values_[size_t(i)]; }
    // The grid MSTJ the query fills.
    StatsGridModel& results() { return results_; }
    GridView* view() const { return grid_; }
    // The monthly register as the panel's second page, behind the button 月报.
    void setRegisterPage(RegisterPanel* page);

private:
    bool eventFilter(QObject* watched, QEvent* e) override;
    void sortStatistics(int column);

    std::array<QLineEdit*, 2> dates_{};
    std::array<QComboBox*, 2> weekdays_{};
    QLineEdit* name_ = nullptr;
    QLineEdit* card_ = nullptr;
    QList<QWidget*> personFilter_;
    std::array<QLineEdit*, 2> late_{};
    std::array<QLabel*, 5> values_{};
    QLabel* hours_ = nullptr;
    QLabel* excused_ = nullptr;
    QCheckBox* withExcused_ = nullptr;
    QLabel* sorted_ = nullptr;
    GridView* grid_ = nullptr;
    QStackedLayout* pages_ = nullptr;
    QPushButton* registerButton_ = nullptr;
    RegisterPanel* register_ = nullptr;
    HeaderSort sort_{StatsSortCodes()};
    int personalIndex_ = 0;  // the person the query is fixed to, when not the administrator
    const DataFolder& folder_;
    const RosterStore& roster_;
    const DayCaptions& day_;
    AttendanceCalendar days_;
    Notifier& notifier_;
    Dialogs& dialogs_;
    std::function<void(QLineEdit*)> openDatePanel_;
    StatsGridModel results_;
};

}  // namespace tallyra
