#include "app/mainwindow.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

#include "board/gridview.h"
#include "core/workstation.h"

namespace tallyra {

namespace {
constexpr int kDatabasePanel = 2;
}

MainWindow::MainWindow(QWidget* parent)
    : QMainWindow(parent),
      timer2_([this] { cardInput_.OnTimer2(); }),
      cardInput_(timer2_, [this](const QString& card, int panel) { onCardEntered(card, panel); }) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Tallyra"));
    timer2_.setObjectName(QStringLiteral("Timer2"));
    timer1_.setObjectName(QStringLiteral("Timer1"));
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
    clock_ = new QLabel(central);
    clock_->setObjectName(QStringLiteral("Label3_2"));
    for (QLabel* l : {date_, weekday_, clock_}) {
        QFont f = l->font();
        f.setPointSizeF(f.pointSizeF() * 1.6);
        l->setFont(f);
    }
    bar->addWidget(date_);
    bar->addSpacing(16);
    bar->addWidget(weekday_);
    bar->addSpacing(16);
    bar->addWidget(clock_);
    bar->addStretch();
    bar->addWidget(signIn);
    bar->addWidget(database);
    layout->addLayout(bar);

    panels_ = new QStackedWidget(central);
    board_ = new GridView(panels_);
    board_->setObjectName(QStringLiteral("MSQD"));
    roster_ = new GridView(panels_);
    roster_->setObjectName(QStringLiteral("MSRW"));
    panels_->addWidget(roster_);
    panels_->addWidget(board_);
    layout->addWidget(panels_, 1);
    setCentralWidget(central);

    connect(signIn, &QPushButton::clicked, this, [this] { showPanel(SignIn::kSignInPanel); });
    connect(database, &QPushButton::clicked, this, [this] { showPanel(kDatabasePanel); });
    timer1_.setInterval(kTimer1Ms);
    connect(&timer1_, &QTimer::timeout, this, &MainWindow::onTimer1);
    resize(1024, 700);
}

MainWindow::~MainWindow() = default;

void MainWindow::attach(Workstation& station, CuePlayer& cues) {
    signIn_ = std::make_unique<SignIn>(station, cues);
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
    onTimer1();  // the clock shows at once
    timer1_.start();
    showPanel(SignIn::kSignInPanel);
}

void MainWindow::onTimer1() {
    if (signIn_) clock_->setText(signIn_->OnTimer1());
}

void MainWindow::onCardEntered(const QString& card, int panel) {
    if (signIn_) signIn_->ProcessSwipe(card, panel);
}

void MainWindow::showPanel(int index) {
    currentPanel_ = index;
    cardInput_.setPanel(index);
    panels_->setCurrentWidget(index == kDatabasePanel ? static_cast<QWidget*>(roster_) : board_);
}

}  // namespace tallyra
