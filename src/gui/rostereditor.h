#pragma once

#include <QObject>
#include <QPoint>
#include <array>
#include <functional>

#include "core/rosteredit.h"

class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

namespace tallyra {

class ClickLabel;
class GridView;
class Notifier;
class RosterStore;
class SchemaStore;
class TextGridModel;
struct DayCaptions;

// In-place editing of the roster grid MSRW: a left click on a person's cell opens the
// editor its field takes (number box Texintll_1, text box Texstr, choice box Combo1, date
// panel Picture3), a commit stores the person's record at once, and a click on the header
// sorts. With 连续输入 (Check3) on, a commit opens the same column's editor a row lower.
class RosterEditor : public QObject {
    Q_OBJECT
public:
    // `controls` receives the continuous-input switch and the status labels.
    RosterEditor(GridView* grid, QWidget* controls, RosterStore& roster, TextGridModel& model,
                 const SchemaStore& schema, const DayCaptions& day, Notifier& notifier);

    void openEditor(int row, int column);
    void sortByColumn(int column);
    void parkEditors();
    // The date panel's OK (Command3_7).
    void commitDate();
    // The date panel also picks the statistics dates; the OK then writes the date there.
    void openDateFor(QLineEdit* target);

    QWidget* controls() const { return controls_; }
    QFrame* datePanel() const { return date_; }
    QCheckBox* continuous() const { return continuous_; }
    int editRow() const { return editRow_; }
    int editColumn() const { return editColumn_; }

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void commitNumber();
    void commitText();
    void commitChoice(int listIndex);
    void advanceToNextRow();
    void datePartsChanged();
    void yearsTyped();
    void place(QWidget* editor, int row, int column, bool below);
    RosterEdit edit() const;
    // Shows a commit's result: the cell and a parked editor, or the refusal's notice.
    int rowOfRecord() const;
    bool personStillThere();
    bool apply(const EditOutcome& out, QWidget* editor);
    void setDateParts(const QDate& date);

    GridView* grid_;
    QWidget* controls_;
    QLineEdit* number_ = nullptr;
    QLineEdit* text_ = nullptr;
    QComboBox* choice_ = nullptr;
    QFrame* date_ = nullptr;
    std::array<QComboBox*, 3> dateParts_{};
    QLineEdit* years_ = nullptr;
    QPushButton* dateOk_ = nullptr;
    QCheckBox* continuous_ = nullptr;
    ClickLabel* hint_ = nullptr;
    QLabel* editing_ = nullptr;
    QLabel* sorted_ = nullptr;
    QLineEdit* dateTarget_ = nullptr;
    QString dateTargetText_;  // the box's text when the panel opened

    int editRow_ = -1;
    int editColumn_ = -1;
    int editRecord_ = 0;
    bool loading_ = false;
    bool dateSync_ = false;
    std::array<bool, 26> descending_{};
    RosterStore& roster_;
    TextGridModel& model_;
    const SchemaStore& schema_;
    const DayCaptions& day_;
    Notifier& notifier_;
};

}  // namespace tallyra
