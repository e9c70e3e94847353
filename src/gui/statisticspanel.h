#pragma once

#include <QWidget>
#include <array>
#include <functional>

#include "core/statistics.h"
#include "models/headersort.h"
#include "models/statsgridmodel.h"

class QComboBox;
class QLabel;
class QLineEdit;

namespace tallyra {

class Dialogs;
class GridView;
class Workstation;

// Panel 3: the filter boxes, the summary labels and the grid MSTJ; the query, its header
// sorts and the export.
class StatisticsPanel : public QWidget {
    Q_OBJECT
public:
    explicit StatisticsPanel(QWidget* parent = nullptr);
    // `openDatePanel` shows the date panel for a date box.
    void attach(Workstation& station, Dialogs& dialogs,
                std::function<void(QLineEdit*)> openDatePanel);

    // What showing the panel does: the person filter for the administrator, or fixed to
    // the one person loaded in the personal centre (roster index; 0 = nobody).
    void showFor(bool admin, int personalIndex);
    // The date range the panel starts with: the year up to the station's day.
    void showDay();

    void Command7Click(int index);
    // The query over the panel's boxes; false when a date box is not a date.
    bool RunStatisticsQuery();
    void ExportStatistics();
    // Where the export finds its template (1.dat beside the program by default).
    void setTemplatePath(const QString& path) { templatePath_ = path; }
    // The summary labels: 0 late, 1 late minutes, 2 absent, 3 on time, 4 records, 5 hours.
    QLabel* value(int i) const { return i == 5 ? hours_ : values_[size_t(i)]; }

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
    QLabel* sorted_ = nullptr;
    GridView* grid_ = nullptr;
    HeaderSort sort_{StatsSortCodes()};
    QString templatePath_;
    int personalIndex_ = 0;  // the person the query is fixed to, when not the administrator
    Workstation* station_ = nullptr;
    Dialogs* dialogs_ = nullptr;
    std::function<void(QLineEdit*)> openDatePanel_;
};

}  // namespace tallyra
