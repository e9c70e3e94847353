#include "app/mainwindow.h"

#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QStackedWidget>
#include <QVBoxLayout>

#include "core/signindesk.h"
#include "core/workstation.h"
#include "gui/boardpanel.h"
#include "gui/calendareditor.h"
#include "gui/databasepanel.h"
#include "gui/dialogs.h"
#include "gui/gridview.h"
#include "gui/leavedialog.h"
#include "gui/personalcentre.h"
#include "gui/registerpanel.h"
#include "gui/rostereditor.h"
#include "gui/settingspanel.h"
#include "gui/statisticspanel.h"
#include "gui/structurepanel.h"

namespace tallyra {

namespace {

const char16_t* const kPanelCaptions[] = {u"系统设置", u"数据结构", u"数据库",
                                          u"统计查询", u"签到",     u"个人中心"};

QPushButton* Button(const QString& caption, const QString& name, QWidget* parent) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(name);
    return b;
}

}  // namespace

MainWindow::MainWindow(Workstation& station, SignInDesk& desk, NoticePopups& popups,
                       Dialogs& dialogs, ReaderGate& gate, QWidget* parent)
    : QMainWindow(parent), station_(station), desk_(desk) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Tallyra"));
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(8, 4, 8, 8);

    auto* barFrame = new QWidget(central);
    barFrame->setObjectName(QStringLiteral("Picture10"));
    auto* bar = new QHBoxLayout(barFrame);
    bar->setContentsMargins(0, 0, 0, 0);
    auto* version = new QLabel(QStringLiteral("Ver " TALLYRA_VERSION), barFrame);
    version->setObjectName(QStringLiteral("Label56"));
    bar->addWidget(version);
    bar->addStretch();
    for (int i = 0; i < 6; ++i) {
        QPushButton* b = Button(QString::fromUtf16(kPanelCaptions[i]),
                                QStringLiteral("Command1_%1").arg(i), barFrame);
        panelButtons_[size_t(i)] = b;
        bar->addWidget(b);
        connect(b, &QPushButton::clicked, this, [this, i] { ShowPanel(i); });
    }
    saveWidths_ = Button(QStringLiteral("保存列列宽设定"), QStringLiteral("Command11"), barFrame);
    adminToggle_ = Button(QStringLiteral("管理/签到"), QStringLiteral("Command4"), barFrame);
    exit_ = Button(QStringLiteral("退出程序"), QStringLiteral("Command2"), barFrame);
    bar->addSpacing(12);
    bar->addWidget(saveWidths_);
    bar->addWidget(adminToggle_);
    bar->addWidget(exit_);
    connect(saveWidths_, &QPushButton::clicked, this, &MainWindow::saveBoardWidths);
    connect(adminToggle_, &QPushButton::clicked, this, &MainWindow::ToggleAdminMode);
    connect(exit_, &QPushButton::clicked, this, &MainWindow::close);
    layout->addWidget(barFrame);

    panels_ = new QStackedWidget(central);
    Notifier& notifier = station.notifier();
    settings_ = new SettingsPanel(
        station.settings(), station.timeTable(), station.leave(), station.folder(), notifier,
        popups, dialogs, gate, [this](const QFont& f) { ApplyGridFont(f); }, panels_);
    structure_ = new StructurePanel(station.schema(), notifier, panels_);
    database_ = new DatabasePanel(station.roster(), station.rosterGrid(), station.schema(),
                                  station.day(), notifier, dialogs, panels_);
    statistics_ = new StatisticsPanel(
        station.folder(), station.roster(), station.day(), station.attendance(), notifier, dialogs,
        [this](QLineEdit* box) { rosterEditor()->openDateFor(box); }, panels_);
    statistics_->setRegisterPage(new RegisterPanel(
        [&station](LogOrderMemo* memo) { return StationRegisterSources(station, memo); },
        station.folder(), station.schema(), station.day(), notifier, dialogs));
    board_ = new BoardPanel(station.boardRows(), station.day(), station.plan(), panels_);
    personal_ = new PersonalCentre(
        station.roster(), station.rosterGrid(), notifier, [this] { ShowPanel(Panel::Statistics); },
        panels_);
    pages_ = {settings_, structure_, database_, statistics_, board_, personal_};
    for (QWidget* p : pages_) panels_->addWidget(p);
    nothing_ = new QWidget(panels_);
    panels_->addWidget(nothing_);
    connect(structure_, &StructurePanel::closed, this, &MainWindow::showNothing);
    connect(database_, &DatabasePanel::closed, this, &MainWindow::showNothing);
    connect(settings_->closeButton(), &QPushButton::clicked, this, &MainWindow::showNothing);
    layout->addWidget(panels_, 1);
    setCentralWidget(central);
    buildLogin();

    calendar_ = new CalendarEditor(station.calendar(), notifier, dialogs, station.clock(), this);
    leave_ = new LeaveDialog(station.leave(), station.roster(), station.timeTable(), notifier,
                             station.clock(), this);
    connect(settings_, &SettingsPanel::calendarRequested, calendar_, [this] {
        calendar_->showCalendar(station_.day().day);
        calendar_->show();
        calendar_->raise();
    });
    // A day closed or made up today shows on the board at once.
    connect(calendar_, &CalendarEditor::changed, board_, &BoardPanel::showDay);
    connect(database_, &DatabasePanel::leaveRequested, leave_,
            [this](int index) { leave_->openFor(index); });
    connect(board_, &BoardPanel::leaveRequested, this, [this](int index, int window) {
        // Leave is the administrator's to enter.
        if (adminMode_) leave_->openFor(index, window);
    });
    connect(&desk_, &SignInDesk::swiped, this, &MainWindow::onSwiped);
    connect(&desk_, &SignInDesk::clockShown, board_, &BoardPanel::showClock);
    connect(&desk_, &SignInDesk::newDay, this, &MainWindow::showDay);
    ApplyGridFont(FontFromChoice(station.settings().get().gridFont, boardView()->font()));
    resize(kComfortableSize);
    ShowPanel(Panel::SignIn);
    adminMode_ = station.settings().get().adminPassword.isEmpty();
    setAdminButtonsVisible(adminMode_);
}

void MainWindow::showOnScreen() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QRect free = screen ? screen->availableGeometry() : QRect(QPoint(), kComfortableSize);
    // The frame needs a little more than the client area.
    const QSize frame = kComfortableSize + QSize(16, 40);
    if (free.width() < frame.width() || free.height() < frame.height()) {
        setGeometry(free);
        showMaximized();
        return;
    }
    resize(kComfortableSize);
    move(free.center() - rect().center());
    show();
}

MainWindow::~MainWindow() = default;

RosterEditor* MainWindow::rosterEditor() const { return database_->editor(); }
GridView* MainWindow::rosterView() const { return database_->view(); }
GridView* MainWindow::boardView() const { return board_->view(); }

void MainWindow::buildLogin() {
    login_ = new QFrame(centralWidget());
    login_->setObjectName(QStringLiteral("Picture6"));
    login_->setFrameShape(QFrame::StyledPanel);
    login_->setAutoFillBackground(true);
    auto* h = new QHBoxLayout(login_);
    h->addWidget(new QLabel(QStringLiteral("请输入管理密码"), login_));
    password_ = new QLineEdit(login_);
    password_->setObjectName(QStringLiteral("Text9"));
    password_->setEchoMode(QLineEdit::Password);
    h->addWidget(password_);
    QPushButton* ok = Button(QStringLiteral("获取权限"), QStringLiteral("Command3_13"), login_);
    QPushButton* cancel = Button(QStringLiteral("取消"), QStringLiteral("Command3_14"), login_);
    h->addWidget(ok);
    h->addWidget(cancel);
    connect(ok, &QPushButton::clicked, this, &MainWindow::login);
    connect(cancel, &QPushButton::clicked, this, &MainWindow::closeLogin);
    connect(password_, &QLineEdit::returnPressed, this, &MainWindow::login);
    password_->installEventFilter(this);
    login_->adjustSize();
    login_->hide();
}

void MainWindow::showDay() {
    board_->showDay();
    statistics_->showDay();
    personal_->dayChanged();
}

void MainWindow::ApplyGridFont(const QFont& font) {
    for (GridView* v : {rosterView(), statistics_->view(), boardView()})
        if (v) v->setFont(font);
}

void MainWindow::setAdminButtonsVisible(bool visible) {
    for (int i = 0; i < 4; ++i) panelButtons_[size_t(i)]->setVisible(visible);
    saveWidths_->setVisible(visible);
}

int MainWindow::shownPanel() const {
    const int i = panels_->currentIndex();
    return i >= 0 && i < 6 ? i : -1;
}

void MainWindow::showNothing() { panels_->setCurrentWidget(nothing_); }

void MainWindow::onSwiped(const SwipeResult& result, const QString& card, Panel panel) {
    if (panel == Panel::Personal) personal_->LookUp(result, card);
}

void MainWindow::ShowPanel(int index) {
    if (index < 0 || index >= kPanelCount) return;
    const Panel panel = Panel(index);
    currentPanel_ = panel;
    desk_.setPanel(panel);
    station_.roster().close();
    rosterEditor()->parkEditors();
    if (index <= int(Panel::Database) && !adminMode_) return;
    showNothing();
    switch (panel) {
        case Panel::Settings:
            settings_->clearPasswords();
            break;
        case Panel::Structure:
            structure_->fill();
            break;
        case Panel::Database:
            // A failed open shows when a change is stored.
            (void)station_.roster().open();
            rosterGridShown_ = true;
            break;
        case Panel::Statistics:
            if (!adminMode_ && personal_->waiting()) return;  // nobody loaded
            statistics_->showFor(adminMode_, personal_->loadedIndex());
            break;
        case Panel::Personal:
            (void)station_.roster().open();
            break;
        case Panel::SignIn:
            break;
    }
    panels_->setCurrentWidget(pages_[size_t(index)]);
}

void MainWindow::ToggleAdminMode() {
    if (adminMode_) {
        adminMode_ = false;
        setAdminButtonsVisible(false);
        ShowPanel(Panel::SignIn);
        return;
    }
    const QPoint at = adminToggle_->mapTo(centralWidget(), QPoint(0, adminToggle_->height()));
    login_->adjustSize();
    login_->move(std::max(0, at.x() + adminToggle_->width() - login_->width()), at.y() + 4);
    login_->show();
    login_->raise();
    password_->setFocus();
}

void MainWindow::login() {
    if (password_->text() != station_.settings().get().adminPassword) {
        station_.notifier().ShowNotice(QStringLiteral("密码错误"));
    } else {
        adminMode_ = true;
        setAdminButtonsVisible(true);
    }
    closeLogin();
}

bool MainWindow::eventFilter(QObject* watched, QEvent* e) {
    // Escape in the password box closes the login box, as its 取消 does.
    if (watched == password_ && e->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(e)->key() == Qt::Key_Escape) {
        closeLogin();
        return true;
    }
    return QMainWindow::eventFilter(watched, e);
}

void MainWindow::closeLogin() {
    password_->clear();
    login_->hide();
}

void MainWindow::saveBoardWidths() {
    if (!adminMode_) return;
    std::array<qint16, 9> widths{};
    for (int c = 0; c < 9; ++c) widths[size_t(c)] = qint16(boardView()->columnWidthTwips(c));
    if (station_.settings().setBoardWidths(widths) != StoreResult::Stored)
        station_.notifier().ShowFailure(NotSavedText(QStringLiteral("列宽设定")));
}

}  // namespace tallyra
