#include "app/mainwindow.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QStatusBar>
#include <QVBoxLayout>

#include "board/gridview.h"
#include "core/workstation.h"

namespace tallyra {

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Tallyra"));
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    auto* bar = new QHBoxLayout;
    auto* signIn = new QPushButton(QStringLiteral("签到"), central);
    signIn->setObjectName(QStringLiteral("Command1_4"));
    auto* database = new QPushButton(QStringLiteral("数据库"), central);
    database->setObjectName(QStringLiteral("Command1_2"));
    date_ = new QLabel(central);
    date_->setObjectName(QStringLiteral("Label3_0"));
    weekday_ = new QLabel(central);
    weekday_->setObjectName(QStringLiteral("Label3_1"));
    bar->addWidget(date_);
    bar->addWidget(weekday_);
    bar->addStretch();
    bar->addWidget(signIn);
    bar->addWidget(database);
    layout->addLayout(bar);

    panels_ = new QStackedWidget(central);
    board_ = new GridView(panels_);
    board_->setObjectName(QStringLiteral("MSQD"));
    roster_ = new GridView(panels_);
    roster_->setObjectName(QStringLiteral("MSRW"));
    panels_->addWidget(roster_);  // panel 2
    panels_->addWidget(board_);   // panel 4
    layout->addWidget(panels_, 1);
    setCentralWidget(central);

    notice_ = new QLabel(this);
    notice_->setObjectName(QStringLiteral("Notice"));
    statusBar()->addWidget(notice_, 1);

    connect(signIn, &QPushButton::clicked, this, [this] { showPanel(4); });
    connect(database, &QPushButton::clicked, this, [this] { showPanel(2); });
    resize(1024, 700);
}

void MainWindow::attach(Workstation& station) {
    board_->setGrid(&station.board());
    roster_->setGrid(&station.rosterGrid());
    const FontChoice& chosen = station.settings().gridFont;
    QFont font = board_->font();
    if (!chosen.name.isEmpty()) font.setFamily(chosen.name);
    if (IsUsableFontSize(chosen.size)) font.setPointSizeF(chosen.size);
    font.setBold(chosen.bold);
    font.setItalic(chosen.italic);
    board_->setFont(font);
    roster_->setFont(font);
    date_->setText(station.rollover().dateCaption);
    weekday_->setText(station.rollover().weekdayCaption);
    showPanel(4);
}

void MainWindow::ShowNotice(const QString& text) { notice_->setText(text); }

void MainWindow::showPanel(int index) {
    panels_->setCurrentWidget(index == 2 ? static_cast<QWidget*>(roster_) : board_);
}

}  // namespace tallyra
