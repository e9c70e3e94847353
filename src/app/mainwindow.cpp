#include "app/mainwindow.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>
#include <cmath>

#include "app/settingspanel.h"
#include "board/dialogs.h"
#include "board/gridview.h"
#include "board/timetableeditor.h"
#include "common/text.h"
#include "core/rosterimport.h"
#include "core/rosterrows.h"
#include "core/workstation.h"
#include "editor/personalcentre.h"
#include "editor/rostereditor.h"
#include "stats/spreadsheet.h"

namespace tallyra {

namespace {

const char16_t* const kPanelCaptions[] = {u"系统设置", u"数据结构", u"数据库",
                                          u"统计查询", u"签到",     u"个人中心"};

QPushButton* Button(const QString& caption, const QString& name, QWidget* parent) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(name);
    return b;
}

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
    layout->setContentsMargins(8, 4, 8, 8);

    auto* barFrame = new QWidget(central);
    barFrame->setObjectName(QStringLiteral("Picture10"));
    auto* bar = new QHBoxLayout(barFrame);
    bar->setContentsMargins(0, 0, 0, 0);
    auto* version = new QLabel(QStringLiteral("Ver 1.01"), barFrame);
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
    settings_ = new SettingsPanel(panels_);
    structure_ = new StructurePanel(panels_);
    personal_ = new PersonalCentre(panels_);
    pages_ = {settings_,         structure_, buildDatabasePanel(), buildStatisticsPanel(),
              buildBoardPanel(), personal_};
    connect(structure_, &StructurePanel::closed, this,
            [this] { panels_->setCurrentWidget(nothing_); });
    for (QWidget* p : pages_) panels_->addWidget(p);
    nothing_ = new QWidget(panels_);
    panels_->addWidget(nothing_);
    layout->addWidget(panels_, 1);
    setCentralWidget(central);
    buildLogin();

    for (int index : {8, 10, 12}) {
        connect(settings_->timeTable()->command3(index), &QPushButton::clicked, this,
                [this, index] { Command3Click(index); });
    }
    connect(settings_->closeButton(), &QPushButton::clicked, this, [this] { Command3Click(9); });
    setAdminButtonsVisible(false);
    timer1_.setInterval(kTimer1Ms);
    connect(&timer1_, &QTimer::timeout, this, &MainWindow::onTimer1);
    resize(1180, 760);
}

MainWindow::~MainWindow() = default;

QWidget* MainWindow::buildBoardPanel() {
    auto* page = new QWidget(panels_);
    page->setObjectName(QStringLiteral("Picture1_4"));
    auto* v = new QVBoxLayout(page);
    v->setContentsMargins(0, 0, 0, 0);
    auto* captions = new QHBoxLayout;
    date_ = Caption(QStringLiteral("Label3_0"), 1.6, page);
    weekday_ = Caption(QStringLiteral("Label3_1"), 1.6, page);
    clock_ = Caption(QStringLiteral("Label3_2"), 3.0, page);
    captions->addWidget(date_);
    captions->addSpacing(24);
    captions->addWidget(weekday_);
    captions->addStretch();
    captions->addWidget(clock_);
    v->addLayout(captions);
    board_ = new GridView(page);
    board_->setObjectName(QStringLiteral("MSQD"));
    board_->setFixedRows(4);
    board_->setMarkColumns(3, 8);
    connect(board_, &GridView::fixedCellClicked, this, [this](int, int c) { sortBoard(c); });
    v->addWidget(board_, 1);
    return page;
}

QWidget* MainWindow::buildDatabasePanel() {
    auto* page = new QWidget(panels_);
    page->setObjectName(QStringLiteral("Picture1_2"));
    auto* v = new QVBoxLayout(page);
    v->setContentsMargins(0, 0, 0, 0);
    roster_ = new GridView(page);
    roster_->setObjectName(QStringLiteral("MSRW"));
    roster_->setFixedRows(2);
    roster_->setSelectionMode(QAbstractItemView::ContiguousSelection);
    auto* editorControls = new QWidget(page);
    rosterEditor_ = new RosterEditor(roster_, editorControls);
    v->addWidget(editorControls);
    v->addWidget(roster_, 1);
    auto* buttons = new QHBoxLayout;
    const std::pair<int, const char16_t*> commands[] = {
        {4, u"删除"}, {5, u"增加"}, {6, u"从电子表格导入"}, {11, u"关闭"}};
    for (auto [index, caption] : commands) {
        QPushButton* b =
            Button(QString::fromUtf16(caption), QStringLiteral("Command3_%1").arg(index), page);
        buttons->addWidget(b);
        connect(b, &QPushButton::clicked, this, [this, i = index] { Command3Click(i); });
        if (index == 6) buttons->addStretch();
    }
    v->addLayout(buttons);
    return page;
}

QWidget* MainWindow::buildStatisticsPanel() {
    auto* page = new QWidget(panels_);
    page->setObjectName(QStringLiteral("Picture1_3"));
    auto* v = new QVBoxLayout(page);
    v->setContentsMargins(0, 0, 0, 0);
    auto* filters = new QHBoxLayout;
    filters->addWidget(new QLabel(QStringLiteral("日期段"), page));
    for (int i = 0; i < 2; ++i) {
        auto* date = new QLineEdit(page);
        date->setObjectName(QStringLiteral("Text7_%1").arg(i));
        date->setMaximumWidth(110);
        date->installEventFilter(this);
        statsDates_[size_t(i)] = date;
        if (i == 1) filters->addWidget(new QLabel(QStringLiteral("至"), page));
        filters->addWidget(date);
    }
    filters->addSpacing(12);
    filters->addWidget(new QLabel(QStringLiteral("星期"), page));
    const QStringList days{"日", "一", "二", "三", "四", "五", "六"};
    for (int i = 0; i < 2; ++i) {
        auto* box = new QComboBox(page);
        box->setObjectName(QStringLiteral("Combo2_%1").arg(i));
        box->addItems(days);
        box->setCurrentIndex(i == 0 ? 0 : 6);
        statsWeekdays_[size_t(i)] = box;
        if (i == 1) filters->addWidget(new QLabel(QStringLiteral("至"), page));
        filters->addWidget(box);
    }
    filters->addSpacing(12);
    filters->addWidget(new QLabel(QStringLiteral("迟签时间"), page));
    for (int i = 0; i < 2; ++i) {
        auto* box = new QLineEdit(i == 0 ? QStringLiteral("0") : QStringLiteral("9999"), page);
        box->setObjectName(QStringLiteral("Texintll_%1").arg(i + 2));
        box->setMaximumWidth(60);
        statsLate_[size_t(i)] = box;
        if (i == 1) filters->addWidget(new QLabel(QStringLiteral("至"), page));
        filters->addWidget(box);
    }
    filters->addStretch();
    v->addLayout(filters);

    auto* person = new QHBoxLayout;
    QWidget* nameLabel = new QLabel(QStringLiteral("姓名"), page);
    statsName_ = new QLineEdit(page);
    statsName_->setObjectName(QStringLiteral("Text6"));
    QWidget* cardLabel = new QLabel(QStringLiteral("卡号"), page);
    statsCard_ = new QLineEdit(page);
    statsCard_->setObjectName(QStringLiteral("Texintll_0"));
    auto* hint = new QLabel(QStringLiteral("注: 0表示正常签到   9999表示没有签到"), page);
    hint->setObjectName(QStringLiteral("Label12_1"));
    auto* wildcards = new QLabel(QStringLiteral("注:“*”表示几个字 “?”表示一个字"), page);
    wildcards->setObjectName(QStringLiteral("Label12_0"));
    statsPersonFilter_ = {nameLabel, statsName_, cardLabel, statsCard_, hint};
    for (QWidget* w :
         {nameLabel, static_cast<QWidget*>(statsName_), static_cast<QWidget*>(wildcards), cardLabel,
          static_cast<QWidget*>(statsCard_), static_cast<QWidget*>(hint)})
        person->addWidget(w);
    person->addStretch();
    const char16_t* const captions[] = {u"开始查找", u"关闭", u"导出设置", u"导出电子表格"};
    for (int i = 0; i < 4; ++i) {
        QPushButton* b =
            Button(QString::fromUtf16(captions[i]), QStringLiteral("Command7_%1").arg(i), page);
        person->addWidget(b);
        connect(b, &QPushButton::clicked, this, [this, i] { Command7Click(i); });
    }
    v->addLayout(person);

    auto* summary = new QHBoxLayout;
    const char16_t* const titles[] = {u"迟到次数", u"迟到总时间", u"未签到次数", u"正常签到次数",
                                      u"记录数"};
    for (int i = 0; i < 5; ++i) {
        auto* t = new QLabel(QString::fromUtf16(titles[i]) + u':', page);
        t->setObjectName(QStringLiteral("Label13_%1").arg(i));
        auto* value = Caption(QStringLiteral("Label13_%1").arg(i + 5), 1.0, page);
        value->setText(QStringLiteral("0"));
        statsValues_[size_t(i)] = value;
        summary->addWidget(t);
        summary->addWidget(value);
        if (i == 1) {
            statsHours_ = Caption(QStringLiteral("Label13_10"), 1.0, page);
            statsHours_->setText(QStringLiteral("0小时"));
            summary->addWidget(statsHours_);
        }
        summary->addSpacing(16);
    }
    summary->addStretch();
    statsSorted_ = new QLabel(QStringLiteral("“”升序"), page);
    statsSorted_->setObjectName(QStringLiteral("Label5_31"));
    summary->addWidget(statsSorted_);
    v->addLayout(summary);

    stats_ = new GridView(page);
    stats_->setObjectName(QStringLiteral("MSTJ"));
    stats_->setFixedRows(1);
    v->addWidget(stats_, 1);
    connect(stats_, &GridView::fixedCellClicked, this, [this](int, int c) { sortStatistics(c); });
    return page;
}

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
    connect(ok, &QPushButton::clicked, this, [this] { Command3Click(13); });
    connect(cancel, &QPushButton::clicked, this, [this] { Command3Click(14); });
    connect(password_, &QLineEdit::returnPressed, this, [this] { Command3Click(13); });
    login_->adjustSize();
    login_->hide();
}

void MainWindow::attach(Workstation& station, CuePlayer& cues, NoticePopups& popups,
                        Dialogs& dialogs) {
    station_ = &station;
    dialogs_ = &dialogs;
    signIn_ = std::make_unique<SignIn>(station, cues);
    signIn_->setNewDayHandler([this] { showDay(); });
    board_->setGrid(&station.board());
    roster_->setGrid(&station.rosterGrid());
    stats_->setTable(&station.statsGrid());
    settings_->attach(station, popups, dialogs, [this](const QFont& f) { ApplyGridFont(f); });
    rosterEditor_->attach(station);
    structure_->attach(station, changes_);
    personal_->attach(station, [this] { ShowPanel(Statistics); });
    ApplyGridFont(FontFromChoice(station.settings().gridFont, board_->font()));
    showDay();
    signIn_->RecoverDay();
    onTimer1();  // the clock shows at once
    timer1_.start();
    ShowPanel(Board);
    adminMode_ = station.settings().adminPassword.isEmpty();
    setAdminButtonsVisible(adminMode_);
}

void MainWindow::showDay() {
    date_->setText(station_->day().dateCaption);
    weekday_->setText(station_->day().weekdayCaption);
    const QDate today = station_->day().day;
    statsDates_[1]->setText(today.toString(QStringLiteral("yyyy-MM-dd")));
    statsDates_[0]->setText(today.addDays(-365).toString(QStringLiteral("yyyy-MM-dd")));
    personal_->dayChanged();
}

void MainWindow::ApplyGridFont(const QFont& font) {
    for (GridView* v : {roster_, stats_, board_}) v->setFont(font);
}

void MainWindow::setAdminButtonsVisible(bool visible) {
    for (int i = 0; i < 4; ++i) panelButtons_[size_t(i)]->setVisible(visible);
    saveWidths_->setVisible(visible);
}

int MainWindow::shownPanel() const {
    const int i = panels_->currentIndex();
    return i >= 0 && i < 6 ? i : -1;
}

void MainWindow::onTimer1() {
    if (signIn_) clock_->setText(signIn_->OnTimer1());
}

void MainWindow::onCardEntered(const QString& card, int panel) {
    if (signIn_) signIn_->ProcessSwipe(card, panel);
    if (panel == Personal) personal_->LookUp(card);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* e) {
    // A click in a statistics date box picks the date on the date panel.
    if (e->type() == QEvent::MouseButtonPress)
        for (QLineEdit* box : statsDates_)
            if (watched == box) rosterEditor_->openDateFor(box);
    return QMainWindow::eventFilter(watched, e);
}

void MainWindow::ShowPanel(int index) {
    if (index < 0 || index > 5) return;
    currentPanel_ = index;
    cardInput_.setPanel(index);
    if (station_) station_->rosterFile().close();
    rosterEditor_->parkEditors();
    if (index <= Database && !adminMode_) return;
    panels_->setCurrentWidget(nothing_);
    switch (index) {
        case Settings:
            settings_->clearPasswords();
            break;
        case Structure:
            structure_->fill();
            break;
        case Database:
            if (station_) station_->rosterFile().open(station_->folder());
            rosterGridShown_ = true;
            break;
        case Statistics: {
            if (!adminMode_ && personal_->waiting()) return;  // nobody loaded
            for (QWidget* w : statsPersonFilter_) w->setVisible(adminMode_);
            if (adminMode_) {
                statsName_->clear();
                statsCard_->clear();
            } else if (station_) {
                const int i = personal_->loadedIndex();
                if (Roster::validIndex(i)) {
                    statsName_->setText(station_->roster().at(i).name);
                    statsCard_->setText(CardText(station_->roster().at(i).cardNumber));
                }
            }
            break;
        }
        case Personal:
            if (station_) station_->rosterFile().open(station_->folder());
            break;
        default:
            break;
    }
    panels_->setCurrentWidget(pages_[size_t(index)]);
}

void MainWindow::ToggleAdminMode() {
    if (adminMode_) {
        adminMode_ = false;
        setAdminButtonsVisible(false);
        ShowPanel(Board);
        return;
    }
    const QPoint at = adminToggle_->mapTo(centralWidget(), QPoint(0, adminToggle_->height()));
    login_->adjustSize();
    login_->move(std::max(0, at.x() + adminToggle_->width() - login_->width()), at.y() + 4);
    login_->show();
    login_->raise();
    password_->setFocus();
}

void MainWindow::Command3Click(int index) {
    switch (index) {
        case 0:
            structure_->apply();
            break;
        case 1:
            structure_->cancel();
            break;
        case 2:
            structure_->closeElements();
            break;
        case 3:
            structure_->modifyElement();
            break;
        case 4:
            deleteRows();
            break;
        case 5:
            addRows();
            break;
        case 6:
            ImportRosterSpreadsheet();
            break;
        case 7:
            rosterEditor_->commitDate();
            break;
        case 8:
            settings_->timeTable()->storeTimes(false);
            break;
        case 9:
            panels_->setCurrentWidget(nothing_);
            break;
        case 10:
            settings_->timeTable()->parkInput();
            break;
        case 11:
            if (station_) station_->rosterFile().close();
            panels_->setCurrentWidget(nothing_);
            break;
        case 12:
            settings_->timeTable()->storeTimes(true);
            break;
        case 13:
            login();
            break;
        case 14:
            closeLogin();
            break;
        case 15:
            personal_->cancel();
            break;
        case 16:
            personal_->enter();
            break;
        case 17:
            personal_->signOff();
            break;
        case 18:
            ShowPanel(Statistics);
            break;
        default:
            break;  // the other buttons belong to their own panels
    }
}

void MainWindow::login() {
    if (!station_) return;
    if (password_->text() != station_->settings().adminPassword) {
        station_->notifier().ShowNotice(QStringLiteral("密码错误"));
    } else {
        adminMode_ = true;
        setAdminButtonsVisible(true);
    }
    closeLogin();
}

void MainWindow::closeLogin() {
    password_->clear();
    login_->hide();
}

void MainWindow::deleteRows() {
    if (!station_) return;
    TextGridModel& grid = station_->rosterGrid();
    if (!DeleteRosterRows(station_->roster(), station_->rosterFile(), grid, grid.row(),
                          grid.rowSel()))
        station_->ReportFailure(NotSavedText(QStringLiteral("删除")));
}

void MainWindow::addRows() {
    if (!station_) return;
    TextGridModel& grid = station_->rosterGrid();
    for (;;) {
        const std::optional<QString> answer = dialogs_->input(
            QStringLiteral("提示"), QStringLiteral("输入增加行数:"), QStringLiteral("1"));
        if (!answer) return;
        const std::optional<int> n = ParseAddRowsCount(*answer, grid.rows());
        if (!n) continue;
        const AddedRows added = AddRosterRows(station_->roster(), station_->rosterFile(), grid, *n);
        if (added.notStored)
            station_->ReportFailure(NotSavedText(QStringLiteral("增加的人员")));
        else if (added.rosterFull)
            station_->notifier().ShowNotice(QStringLiteral("人员已满5000人，不能再增加"));
        return;
    }
}

void MainWindow::Command7Click(int index) {
    switch (index) {
        case 0:
            RunStatisticsQuery();
            stats_->show();
            break;
        case 1:
            stats_->hide();
            break;
        case 3:
            ExportStatistics();
            break;
        default:
            break;  // 导出设置 has nothing to set
    }
}

bool MainWindow::RunStatisticsQuery() {
    if (!station_) return false;
    StatsFilter f;
    f.first = QDate::fromString(statsDates_[0]->text().trimmed(), QStringLiteral("yyyy-MM-dd"));
    f.last = QDate::fromString(statsDates_[1]->text().trimmed(), QStringLiteral("yyyy-MM-dd"));
    if (!f.first.isValid() || !f.last.isValid()) {
        station_->notifier().ShowNotice(QStringLiteral("日期输入错误，请输入YYYY-MM-DD"));
        return false;
    }
    f.namePattern = statsName_->text().isEmpty() ? QStringLiteral("*") : statsName_->text();
    f.card = qint64(std::llround(NumericValue(statsCard_->text()) * 10000.0));
    auto bound = [](const QLineEdit* box, qint16 empty) {
        if (box->text().isEmpty()) return empty;
        return qint16(std::clamp(NumericValue(box->text()), -32768.0, 32767.0));
    };
    f.lateMin = bound(statsLate_[0], 0);
    f.lateMax = bound(statsLate_[1], 9999);
    f.weekdayFirst = statsWeekdays_[0]->currentIndex() + 1;
    f.weekdayLast = statsWeekdays_[1]->currentIndex() + 1;
    std::vector<StatsRow> rows;
    const StatsSummary s =
        tallyra::RunStatisticsQuery(station_->folder(), station_->roster(), f, rows);
    station_->statsGrid().setResults(std::move(rows));
    const qint64 values[] = {s.late, s.lateMinutes, s.missed, s.onTime, s.rows};
    for (int i = 0; i < 5; ++i) statsValues_[size_t(i)]->setText(QString::number(values[i]));
    statsHours_->setText(s.hoursText());
    return true;
}

void MainWindow::sortStatistics(int column) {
    if (!station_) return;
    station_->statsGrid().sortColumn(column, statsSort_.next(column));
    statsSorted_->setText(
        u'“' + station_->statsGrid().text(0, column) + u'”' +
        (statsSort_.descending(column) ? QStringLiteral("降") : QStringLiteral("升")) + u'序');
}

void MainWindow::sortBoard(int column) {
    if (!station_) return;
    if (QGuiApplication::keyboardModifiers() &
        (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier))
        return;
    // The blank row 3 stays where it is: it has no height, and a person sorted into its
    // place would vanish from the board.
    TextGridModel& g = station_->board();
    g.sortRows(kBoardFirstPerson, g.rows() - 1, column, column, boardSort_.next(column));
}

void MainWindow::ImportRosterSpreadsheet() {
    if (!station_) return;
    const std::optional<QString> path = dialogs_->openFile(
        QStringLiteral("导入数据"),
        QStringLiteral("*.xls(电子表格) (*.xls *.xlsx *.csv);;*.xlsx (*.xlsx);;*.csv (*.csv)"));
    if (!path) return;
    const std::unique_ptr<Workbook> book = OpenWorkbook(*path);
    ImportTargets t;
    t.roster = &station_->roster();
    t.file = &station_->rosterFile();
    t.grid = &station_->rosterGrid();
    t.schema = &station_->schema();
    t.notifier = &station_->notifier();
    t.criticalMessage = [this](const QString& text) { dialogs_->message(text, true); };
    t.today = station_->day().day;
    if (tallyra::ImportRosterSpreadsheet(book.get(), t).notStored)
        station_->PlayCueSound(QStringLiteral("4.wav"));
}

void MainWindow::ExportStatistics() {
    if (!station_) return;
    const std::optional<QString> path =
        dialogs_->saveFile(QStringLiteral("导出数据"), QStringLiteral("*.xlsx(电子表格) (*.xlsx)"));
    if (!path) return;
    const QString templatePath =
        templatePath_.isEmpty()
            ? QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("1.dat"))
            : templatePath_;
    const StatsGridModel& grid = station_->statsGrid();
    const bool written =
        WriteWorkbookFromTemplate(templatePath, *path, 2, grid.gridRowCount(), [&grid](int r) {
            std::vector<QString> cells(StatsGridModel::kColumns);
            for (int c = 0; c < StatsGridModel::kColumns; ++c) cells[size_t(c)] = grid.text(r, c);
            return cells;
        });
    // A workbook that could not be written is said so, not reported as exported.
    if (written)
        station_->notifier().ShowNotice(QStringLiteral("导出成功"));
    else
        station_->ReportFailure(QStringLiteral("导出失败，文件无法写入"));
}

void MainWindow::saveBoardWidths() {
    if (!station_ || !adminMode_) return;
    std::array<qint16, 9> widths{};
    for (int c = 0; c < 9; ++c) widths[size_t(c)] = qint16(board_->columnWidthTwips(c));
    if (SaveSignInColumnWidths(station_->folder(), widths) != SettingsWrite::Written)
        station_->ReportFailure(NotSavedText(QStringLiteral("列宽设定")));
}

}  // namespace tallyra
