#include "gui/boardpanel.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "core/rollover.h"
#include "core/timewindows.h"
#include "gui/gridview.h"
#include "models/boardrows.h"

namespace tallyra {

namespace {
QLabel* Caption(const QString& name, double scale, QWidget* parent) {
    auto* l = new QLabel(parent);
    l->setObjectName(name);
    QFont f = l->font();
    f.setPointSizeF(f.pointSizeF() * scale);
    f.setBold(true);
    l->setFont(f);
    return l;
}
}  // namespace

BoardPanel::BoardPanel(TextGridModel& board, const DayCaptions& day, QWidget* parent)
    : QWidget(parent), board_(board), day_(day) {
    setObjectName(QStringLiteral("Picture1_4"));
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(0, 0, 0, 0);
    auto* captions = new QHBoxLayout;
    date_ = Caption(QStringLiteral("Label3_0"), 1.6, this);
    weekday_ = Caption(QStringLiteral("Label3_1"), 1.6, this);
    clock_ = Caption(QStringLiteral("Label3_2"), 3.0, this);
    captions->addWidget(date_);
    captions->addSpacing(24);
    captions->addWidget(weekday_);
    captions->addStretch();
    captions->addWidget(clock_);
    v->addLayout(captions);
    view_ = new GridView(this);
    view_->setObjectName(QStringLiteral("MSQD"));
    view_->setFixedRows(kBoardFirstPerson);
    view_->setMarkColumns(kBoardFirstWindowColumn, kBoardFirstWindowColumn + kWindowCount - 1);
    connect(view_, &GridView::fixedCellClicked, this, [this](int, int c) { sortBoard(c); });
    v->addWidget(view_, 1);
    view_->setGrid(&board_);
    showDay();
}

void BoardPanel::showDay() {
    date_->setText(day_.dateCaption);
    weekday_->setText(day_.weekdayCaption);
}

void BoardPanel::showClock(const QString& text) { clock_->setText(text); }

void BoardPanel::sortBoard(int column) {
    if (QGuiApplication::keyboardModifiers() &
        (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier))
        return;
    // The blank row 3 stays where it is: it has no height, and a person sorted into its
    // place would vanish from the board.
    board_.sortRows(kBoardFirstPerson, board_.rows() - 1, column, column, boardSort_.next(column));
}

}  // namespace tallyra
