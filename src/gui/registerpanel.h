#pragma once

#include <QWidget>
#include <functional>

#include "core/format/logspan.h"
#include "core/format/registersettings.h"
#include "core/register.h"
#include "models/registersheet.h"

class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;

namespace tallyra {

class Dialogs;
class Notifier;
class RegisterChart;
class SchemaStore;
struct DayCaptions;

// The monthly register (月报), the statistics panel's second page: a month and a group
// picked, the grid of marks with the totals, the picture of the month beside it; printed,
// or written as PDF or workbook. The administrator sees every group; the personal centre
// its own person alone.
class RegisterPanel : public QWidget {
    Q_OBJECT
public:
    // `sources` gives what a register is made from as things stand now.
    RegisterPanel(std::function<RegisterSources(LogOrderMemo*)> sources, const DataFolder& folder,
                  const SchemaStore& schema, const DayCaptions& day, Notifier& notifier,
                  Dialogs& dialogs, QWidget* parent = nullptr);

    // As the statistics panel is shown: every group for the administrator, or the one
    // person loaded in the personal centre (roster index; 0 = nobody).
    void showFor(bool admin, int personalIndex);
    // The month, the pickers and the grid made again from the files as they are now.
    void refresh();
    void setMonth(const QDate& month);
    // The group by field (9-11, 0 none) and element (-1 every one), remembered.
    void setGroup(int field, int element);

    void printRegister();
    bool exportPdf();
    bool exportWorkbook();

    const RegisterSheet& sheet() const { return build_.sheet; }
    RegisterTableModel& model() { return model_; }
    RegisterChart* chart() const { return chart_; }
    QTableView* view() const { return view_; }
    // What print, PDF and workbook take: each part with its rows.
    std::vector<RegisterPart> parts() const;

Q_SIGNALS:
    void back();

protected:
    void showEvent(QShowEvent* e) override;

private:
    void fillPickers();
    void rebuild();
    void saveSchool();
    void showDetail(const QModelIndex& index);
    void showSort();

    std::function<RegisterSources(LogOrderMemo*)> sources_;
    const DataFolder& folder_;
    const SchemaStore& schema_;
    const DayCaptions& day_;
    Notifier& notifier_;
    Dialogs& dialogs_;
    LogOrderMemo memo_;
    RegisterSettings settings_;
    RegisterBuild build_;
    RegisterTableModel model_;
    QDate month_;
    int element_ = -1;
    bool admin_ = true;
    int personalIndex_ = 0;
    bool filling_ = false;

    QDateEdit* monthBox_ = nullptr;
    QComboBox* field_ = nullptr;
    QComboBox* elementBox_ = nullptr;
    QLineEdit* school_ = nullptr;
    QList<QWidget*> groupControls_;
    QLabel* summary_ = nullptr;
    QLabel* sorted_ = nullptr;
    QTableView* view_ = nullptr;
    RegisterChart* chart_ = nullptr;
};

}  // namespace tallyra
