#include "gui/boardpanel.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "core/signin.h"
#include "core/workstation.h"
#include "gui/gridview.h"

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

BoardPanel::BoardPanel(QWidget* parent) : QWidget(parent) {
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
    board_ = new GridView(this);
    board_->setObjectName(QStringLiteral("MSQD"));
    board_->setFixedRows(kBoardFirstPerson);
    board_->setMarkColumns(kBoardFirstWindowColumn, kBoardFirstWindowColumn + kWindowCount - 1);
    connect(board_, &GridView::fixedCellClicked, this, [this](int, int c) { sortBoard(c); });
    v->addWidget(board_, 1);
}

void BoardPanel::attach(Workstation& station) {
    station_ = &station;
    board_->setGrid(&station.board());
    showDay();
}

void BoardPanel::showDay() {
    if (!station_) return;
    date_->setText(station_->day().dateCaption);
    weekday_->setText(station_->day().weekdayCaption);
}

void BoardPanel::showClock(const QString& text) { clock_->setText(text); }

void BoardPanel::sortBoard(int column) {
    if (!station_) return;
    if (QGuiApplication::keyboardModifiers() &
        (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier))
        return;
    // The blank row 3 stays where it is: it has no height, and a person sorted into its
    // place would vanish from the board.
    TextGridModel& g = station_->board();
    g.sortRows(kBoardFirstPerson, g.rows() - 1, column, column, boardSort_.next(column));
}

}  // namespace tallyra
