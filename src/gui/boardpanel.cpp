#include "gui/boardpanel.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "core/calendar.h"
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

BoardPanel::BoardPanel(BoardRows& rows, const DayCaptions& day, const DayPlan& plan,
                       QWidget* parent)
    : QWidget(parent), rows_(rows), board_(rows.grid()), day_(day), plan_(plan) {
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
    closed_ = Caption(QStringLiteral("ClosedDay"), 1.6, this);
    QPalette red = closed_->palette();
    red.setColor(QPalette::WindowText, QColor(0xb0, 0x2a, 0x1e));
    closed_->setPalette(red);
    captions->addSpacing(24);
    captions->addWidget(closed_);
    captions->addStretch();
    captions->addWidget(clock_);
    v->addLayout(captions);
    view_ = new GridView(this);
    view_->setObjectName(QStringLiteral("MSQD"));
    view_->setFixedRows(kBoardFirstPerson);
    view_->setMarkColumns(kBoardFirstWindowColumn, kBoardFirstWindowColumn + kWindowCount - 1);
    connect(view_, &GridView::fixedCellClicked, this, [this](int, int c) { sortBoard(c); });
    connect(view_, &GridView::cellPressed, this,
            [this](int row, int column, Qt::MouseButton b, Qt::KeyboardModifiers) {
                const int w = column - kBoardFirstWindowColumn;
                if (b == Qt::RightButton && rows_.indexAt(row) > 0)
                    Q_EMIT leaveRequested(rows_.indexAt(row), w >= 0 && w < kWindowCount ? w : -1);
            });
    v->addWidget(view_, 1);
    view_->setGrid(&board_);
    showDay();
}

void BoardPanel::showDay() {
    date_->setText(day_.dateCaption);
    weekday_->setText(day_.weekdayCaption);
    closed_->setText(plan_.closed ? QStringLiteral("今天休息：") + plan_.closedName : QString());
    closed_->setVisible(plan_.closed);
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
