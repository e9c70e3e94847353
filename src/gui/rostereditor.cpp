#include "gui/rostereditor.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>

#include "common/datetime.h"
#include "common/text.h"
#include "core/notifier.h"
#include "core/rollover.h"
#include "core/rosteredit.h"
#include "core/schemastore.h"
#include "gui/clicklabel.h"
#include "gui/gridview.h"
#include "models/textgridmodel.h"

namespace tallyra {

namespace {
constexpr int kParkedTop = -5000;

void Park(QWidget* w) {
    w->move(w->x(), kParkedTop);
    w->hide();
}
}  // namespace

RosterEditor::RosterEditor(GridView* grid, QWidget* controls, RosterStore& roster,
                           TextGridModel& model, const SchemaStore& schema, const DayCaptions& day,
                           Notifier& notifier)
    : QObject(grid),
      grid_(grid),
      controls_(controls),
      roster_(roster),
      model_(model),
      schema_(schema),
      day_(day),
      notifier_(notifier) {
    number_ = new QLineEdit(grid);
    number_->setObjectName(QStringLiteral("Texintll_1"));
    text_ = new QLineEdit(grid);
    text_->setObjectName(QStringLiteral("Texstr"));
    choice_ = new QComboBox(grid);
    choice_->setObjectName(QStringLiteral("Combo1"));
    for (QWidget* w : {static_cast<QWidget*>(number_), static_cast<QWidget*>(text_),
                       static_cast<QWidget*>(choice_)})
        w->installEventFilter(this);
    connect(choice_, &QComboBox::activated, this, &RosterEditor::commitChoice);

    date_ = new QFrame(grid->parentWidget());
    date_->setObjectName(QStringLiteral("Picture3"));
    date_->setFrameShape(QFrame::StyledPanel);
    date_->setAutoFillBackground(true);
    auto* row = new QHBoxLayout(date_);
    for (int i = 0; i < 3; ++i) {
        auto* box = new QComboBox(date_);
        box->setObjectName(QStringLiteral("Combo3_%1").arg(i));
        box->setEditable(i == 0);
        dateParts_[size_t(i)] = box;
        row->addWidget(box);
        connect(box, &QComboBox::currentTextChanged, this, &RosterEditor::datePartsChanged);
    }
    for (int m = 1; m <= 12; ++m)
        dateParts_[1]->addItem(QStringLiteral("%1月").arg(m, 2, 10, QChar(u'0')));
    for (int d = 1; d <= 31; ++d)
        dateParts_[2]->addItem(QStringLiteral("%1日").arg(d, 2, 10, QChar(u'0')));
    years_ = new QLineEdit(QStringLiteral("19.27"), date_);
    years_->setObjectName(QStringLiteral("Texsing_0"));
    years_->setMaximumWidth(70);
    years_->installEventFilter(this);
    row->addWidget(years_);
    row->addWidget(new QLabel(QStringLiteral("年"), date_));
    dateOk_ = new QPushButton(QStringLiteral("确定"), date_);
    dateOk_->setObjectName(QStringLiteral("Command3_7"));
    row->addWidget(dateOk_);
    connect(dateOk_, &QPushButton::clicked, this, &RosterEditor::commitDate);
    // Only what the user types in the years box moves the date: the text the date parts
    // write there would otherwise move the picked day by up to two days.
    connect(years_, &QLineEdit::textEdited, this, &RosterEditor::yearsTyped);
    date_->adjustSize();

    auto* bar = new QHBoxLayout(controls_);
    bar->setContentsMargins(0, 0, 0, 0);
    continuous_ = new QCheckBox(QStringLiteral("连续输入"), controls_);
    continuous_->setObjectName(QStringLiteral("Check3"));
    hint_ = new ClickLabel(QStringLiteral("[Enter]键继续输入下一行"), controls_);
    hint_->setObjectName(QStringLiteral("Label10"));
    hint_->hide();
    editing_ = new QLabel(QStringLiteral("[姓名]"), controls_);
    editing_->setObjectName(QStringLiteral("Label5_25"));
    sorted_ = new QLabel(QStringLiteral("未排序"), controls_);
    sorted_->setObjectName(QStringLiteral("Label5_26"));
    bar->addWidget(continuous_);
    bar->addWidget(hint_);
    bar->addStretch();
    bar->addWidget(editing_);
    bar->addSpacing(16);
    bar->addWidget(sorted_);
    connect(continuous_, &QCheckBox::toggled, hint_, &QWidget::setVisible);
    connect(hint_, &ClickLabel::pressed, this, [this] {
        QString t = hint_->text();
        const qsizetype at = t.indexOf(u'行') >= 0 ? t.indexOf(u'行') : t.indexOf(u'列');
        if (at >= 0) t[at] = t[at] == u'行' ? u'列' : u'行';
        hint_->setText(t);
    });

    connect(grid_, &GridView::cellPressed, this,
            [this](int r, int column, Qt::MouseButton b, Qt::KeyboardModifiers held) {
                // Shift and ctrl pick rows; only a plain click edits.
                if (held & (Qt::ShiftModifier | Qt::ControlModifier))
                    parkEditors();
                else if (b == Qt::LeftButton)
                    openEditor(r, column);
            });
    // An editor is only ever over the person it opened for: anything that moves rows or
    // the view puts it away.
    for (QScrollBar* scroll : {grid_->verticalScrollBar(), grid_->horizontalScrollBar()})
        connect(scroll, &QScrollBar::valueChanged, this, &RosterEditor::parkEditors);
    connect(grid_, &GridView::fixedCellClicked, this,
            [this](int, int column) { sortByColumn(column); });
    connect(&model_, &QAbstractItemModel::modelReset, this, &RosterEditor::parkEditors);
    connect(&model_, &QAbstractItemModel::layoutChanged, this, &RosterEditor::parkEditors);
    connect(&model_, &QAbstractItemModel::rowsRemoved, this, &RosterEditor::parkEditors);
    const int year = day_.currentYear;
    dateParts_[0]->clear();
    for (int y = year - 100; y <= year + 20; ++y)
        dateParts_[0]->addItem(QStringLiteral("%1年").arg(y, 4, 10, QChar(u'0')));
    parkEditors();
}

void RosterEditor::parkEditors() {
    for (QWidget* w : {static_cast<QWidget*>(number_), static_cast<QWidget*>(text_),
                       static_cast<QWidget*>(choice_), static_cast<QWidget*>(date_)})
        Park(w);
}

void RosterEditor::place(QWidget* editor, int row, int column, bool below) {
    const QModelIndex index = grid_->model()->index(row, column);
    QRect cell = grid_->visualRect(index);
    cell.translate(grid_->viewport()->geometry().topLeft());
    if (editor == date_) {
        if (date_->parentWidget() != grid_->parentWidget()) date_->setParent(grid_->parentWidget());
        cell.translate(grid_->geometry().topLeft());
        date_->adjustSize();
        const int left = std::clamp(cell.left(), 0,
                                    std::max(0, date_->parentWidget()->width() - date_->width()));
        date_->move(left, below ? cell.bottom() + 1 : cell.top());
    } else {
        editor->setGeometry(cell.left(), cell.top(), std::max(cell.width(), 120),
                            std::max(cell.height(), editor->sizeHint().height()));
    }
    editor->show();
    editor->raise();
}

void RosterEditor::openEditor(int row, int column) {
    parkEditors();
    dateTarget_ = nullptr;
    editRow_ = row;
    editColumn_ = column;
    if (row <= 1) {
        sortByColumn(column);
        return;
    }
    const double n = NumericValue(model_.text(row, 0));
    editRecord_ = int(n);
    if (n != editRecord_ || !Roster::validIndex(editRecord_) || column < 1 || column > 25 ||
        !schema_.get().isEnabled(column))
        return;
    model_.setCurrentCell(row, column);
    model_.setSelectionEnd(row, column);
    const QString cell = model_.text(row, column);
    loading_ = true;
    editing_->setText(model_.text(row, 2));
    const PersonRecord& person = roster_.person(editRecord_);
    const Schema& schema = schema_.get();
    switch (KindOfField(column)) {
        case FieldKind::Number:
        case FieldKind::Text: {
            QLineEdit* box = KindOfField(column) == FieldKind::Number ? number_ : text_;
            place(box, row, column, false);
            box->setText(cell);
            box->selectAll();
            box->setFocus();
            break;
        }
        case FieldKind::Date: {
            place(date_, row, column, true);
            const auto date = OleToDate(column == 3 ? person.firstDate : person.secondDate);
            setDateParts(date.value_or(day_.day));
            years_->setFocus();
            years_->selectAll();
            break;
        }
        case FieldKind::Sex:
            choice_->clear();
            choice_->addItems({QStringLiteral("女"), QStringLiteral("男")});
            choice_->setCurrentIndex(person.flag(0) ? 1 : 0);
            place(choice_, row, column, false);
            choice_->setFocus();
            break;
        case FieldKind::Choice: {
            choice_->clear();
            const int k = column - 9;
            const int count = std::clamp<int>(schema.choiceCounts[size_t(k)], 0, kChoiceSlots);
            for (int e = 0; e < count; ++e)
                choice_->addItem(schema.choiceElements[size_t(k)][size_t(e)]);
            choice_->setCurrentIndex(person.choices[size_t(k)] < count ? person.choices[size_t(k)]
                                                                       : -1);
            place(choice_, row, column, false);
            choice_->setFocus();
            break;
        }
        case FieldKind::TwoValue:
            choice_->clear();
            choice_->addItems(
                {schema.twoValueLabel(column, false), schema.twoValueLabel(column, true)});
            choice_->setCurrentIndex(person.flag(column - 18) ? 1 : 0);
            place(choice_, row, column, false);
            choice_->setFocus();
            break;
        case FieldKind::None:
            break;
    }
    loading_ = false;
}

void RosterEditor::setDateParts(const QDate& date) {
    dateSync_ = true;
    dateParts_[0]->setCurrentText(QStringLiteral("%1年").arg(date.year(), 4, 10, QChar(u'0')));
    dateParts_[1]->setCurrentIndex(date.month() - 1);
    dateSync_ = false;
    dateParts_[2]->setCurrentIndex(date.day() - 1);
    datePartsChanged();
}

void RosterEditor::datePartsChanged() {
    if (dateSync_) return;
    const int year = int(NumericValue(dateParts_[0]->currentText().left(4)));
    const int month = dateParts_[1]->currentIndex() + 1;
    const int day = dateParts_[2]->currentIndex() + 1;
    const QString years = YearsTextFromDate(year, month, day, day_.day);
    if (!years.isEmpty()) years_->setText(years);
}

void RosterEditor::yearsTyped() {
    const YearsToDate d = DateFromYearsText(years_->text(), day_.day);
    if (d.reset) {
        years_->setText(QStringLiteral("0"));
        years_->selectAll();
    }
    dateSync_ = true;
    dateParts_[0]->setCurrentText(QStringLiteral("%1年").arg(d.date.year(), 4, 10, QChar(u'0')));
    dateParts_[1]->setCurrentIndex(d.date.month() - 1);
    dateParts_[2]->setCurrentIndex(d.date.day() - 1);
    dateSync_ = false;
}

RosterEdit RosterEditor::edit() const { return RosterEdit(roster_); }

int RosterEditor::rowOfRecord() const {
    const QString index = QString::number(editRecord_);
    for (int r = kRosterFirstPerson; r < model_.rows(); ++r)
        if (model_.cell(r, 0) == index) return r;
    return -1;
}

bool RosterEditor::personStillThere() {
    // Deleted (or its row gone) while the editor was open: nothing is written for it.
    if (Roster::validIndex(editRecord_) && roster_.person(editRecord_).inUse() &&
        rowOfRecord() >= 0)
        return true;
    parkEditors();
    return false;
}

bool RosterEditor::apply(const EditOutcome& out, QWidget* editor) {
    switch (out.result) {
        case EditResult::Stored: {
            // The row the person stands in now, whatever moved since the editor opened.
            editRow_ = rowOfRecord();
            if (editRow_ >= 0) model_.setText(editRow_, editColumn_, out.cellText);
            Park(editor);
            return true;
        }
        // A refused value leaves the editor open with what was typed.
        case EditResult::NotANumber:
            notifier_.ShowNotice(QStringLiteral("请输入数字"));
            break;
        case EditResult::TooLong:
            notifier_.ShowNotice(QStringLiteral("文字太长，记录放不下"));
            break;
        case EditResult::NotStored:
            notifier_.ShowFailure(NotSavedText(QStringLiteral("人员资料")));
            break;
        case EditResult::NotEncodable:
            notifier_.ShowNotice(NotEncodableText(out.detail));
            break;
        case EditResult::DuplicateCard:
            notifier_.ShowNotice(QStringLiteral("卡号已被“") + out.detail +
                                 QStringLiteral("”使用"));
            break;
        case EditResult::NotEditable:
            break;
    }
    return false;
}

void RosterEditor::commitNumber() {
    if (personStillThere() &&
        apply(edit().commitNumber(editRecord_, editColumn_, number_->text()), number_))
        advanceToNextRow();
}

void RosterEditor::commitText() {
    if (personStillThere() &&
        apply(edit().commitText(editRecord_, editColumn_, text_->text()), text_))
        advanceToNextRow();
}

void RosterEditor::commitChoice(int listIndex) {
    if (loading_ || listIndex < 0 || !personStillThere()) return;
    apply(edit().commitChoice(editRecord_, editColumn_, listIndex, choice_->itemText(listIndex)),
          choice_);
}

void RosterEditor::openDateFor(QLineEdit* target) {
    if (!target) return;
    parkEditors();
    dateTarget_ = target;
    dateTargetText_ = target->text();
    const QDate d = QDate::fromString(target->text(), QStringLiteral("yyyy-MM-dd"));
    setDateParts(d.isValid() ? d : day_.day);
    if (date_->parentWidget() != target->window()) date_->setParent(target->window());
    const QPoint at = target->mapTo(date_->parentWidget(), QPoint(0, target->height()));
    date_->adjustSize();
    date_->move(at);
    date_->show();
    date_->raise();
    years_->setFocus();
    years_->selectAll();
}

void RosterEditor::commitDate() {
    const QString text = dateParts_[0]->currentText().left(4) + u'-' +
                         dateParts_[1]->currentText().left(2) + u'-' +
                         dateParts_[2]->currentText().left(2);
    if (dateTarget_) {
        // A date typed into the box itself while the panel was open is what the user meant.
        const bool typed =
            dateTarget_->text() != dateTargetText_ &&
            QDate::fromString(dateTarget_->text().trimmed(), QStringLiteral("yyyy-MM-dd"))
                .isValid();
        if (!typed) dateTarget_->setText(text);
        dateTarget_ = nullptr;
        Park(date_);
        return;
    }
    const QDate date = QDate::fromString(text, QStringLiteral("yyyy-MM-dd"));
    if (!date.isValid()) {
        notifier_.ShowNotice(QStringLiteral("日期输入错误"));
        return;
    }
    if (!personStillThere()) return;
    apply(edit().commitDate(editRecord_, editColumn_, date), date_);
}

void RosterEditor::advanceToNextRow() {
    if (!continuous_->isChecked()) return;
    int r = editRow_ + 1;
    if (r >= model_.rows()) r = kRosterFirstPerson;
    grid_->setCurrentIndex(model_.index(r, editColumn_));
    openEditor(r, editColumn_);
}

void RosterEditor::sortByColumn(int column) {
    if (column < 0 || column > 25) return;
    parkEditors();
    descending_[size_t(column)] = !descending_[size_t(column)];
    const bool down = descending_[size_t(column)];
    model_.sortRows(kRosterFirstPerson, model_.rows() - 1, column, column,
                    RosterSortKind(column) + (down ? 1 : 0));
    sorted_->setText(u'“' + TrimBlanks(model_.text(0, column)) + u'”' +
                     (down ? QStringLiteral("降") : QStringLiteral("升")) + u'序');
}

bool RosterEditor::eventFilter(QObject* watched, QEvent* e) {
    if (e->type() != QEvent::KeyPress) return QObject::eventFilter(watched, e);
    const int key = static_cast<QKeyEvent*>(e)->key();
    const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;
    if (watched == number_ && enter) {
        commitNumber();
        return true;
    }
    if (watched == text_ && (enter || key == Qt::Key_Tab)) {
        commitText();
        return true;
    }
    if (watched == choice_ && enter && continuous_->isChecked()) {
        advanceToNextRow();
        return true;
    }
    if (watched == years_ && enter) {
        commitDate();
        if (date_->isHidden()) advanceToNextRow();
        return true;
    }
    return QObject::eventFilter(watched, e);
}

}  // namespace tallyra
