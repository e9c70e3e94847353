#include "gui/statisticspanel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedLayout>
#include <QVBoxLayout>

#include "common/datetime.h"
#include "core/notifier.h"
#include "core/rollover.h"
#include "core/rosterstore.h"
#include "gui/dialogs.h"
#include "gui/gridview.h"
#include "gui/progressgate.h"
#include "gui/registerpanel.h"
#include "sheets/spreadsheet.h"

namespace tallyra {

namespace {
QLabel* Value(const QString& name, const QString& text, QWidget* parent) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(name);
    QFont f = l->font();
    f.setBold(true);
    l->setFont(f);
    return l;
}
}  // namespace

StatisticsPanel::StatisticsPanel(const DataFolder& folder, const RosterStore& roster,
                                 const DayCaptions& day, const AttendanceCalendar& days,
                                 Notifier& notifier, Dialogs& dialogs,
                                 std::function<void(QLineEdit*)> openDatePanel, QWidget* parent)
    : QWidget(parent),
      folder_(folder),
      roster_(roster),
      day_(day),
      days_(days),
      notifier_(notifier),
      dialogs_(dialogs),
      openDatePanel_(std::move(openDatePanel)),
      results_(&roster.roster()) {
    setObjectName(QStringLiteral("Picture1_3"));
    pages_ = new QStackedLayout(this);
    auto* query = new QWidget(this);
    pages_->addWidget(query);
    auto* v = new QVBoxLayout(query);
    v->setContentsMargins(0, 0, 0, 0);
    auto* filters = new QHBoxLayout;
    filters->addWidget(new QLabel(QStringLiteral("日期段"), this));
    for (int i = 0; i < 2; ++i) {
        auto* date = new QLineEdit(this);
        date->setObjectName(QStringLiteral("Text7_%1").arg(i));
        date->setMaximumWidth(110);
        date->installEventFilter(this);
        dates_[size_t(i)] = date;
        if (i == 1) filters->addWidget(new QLabel(QStringLiteral("至"), this));
        filters->addWidget(date);
    }
    filters->addSpacing(12);
    filters->addWidget(new QLabel(QStringLiteral("星期"), this));
    for (int i = 0; i < 2; ++i) {
        auto* box = new QComboBox(this);
        box->setObjectName(QStringLiteral("Combo2_%1").arg(i));
        for (int d = 1; d <= 7; ++d) box->addItem(WeekdayName(d));
        box->setCurrentIndex(i == 0 ? 0 : 6);
        weekdays_[size_t(i)] = box;
        if (i == 1) filters->addWidget(new QLabel(QStringLiteral("至"), this));
        filters->addWidget(box);
    }
    filters->addSpacing(12);
    filters->addWidget(new QLabel(QStringLiteral("迟签时间"), this));
    for (int i = 0; i < 2; ++i) {
        auto* box = new QLineEdit(i == 0 ? QStringLiteral("0") : QStringLiteral("9999"), this);
        box->setObjectName(QStringLiteral("Texintll_%1").arg(i + 2));
        box->setMaximumWidth(60);
        late_[size_t(i)] = box;
        if (i == 1) filters->addWidget(new QLabel(QStringLiteral("至"), this));
        filters->addWidget(box);
    }
    filters->addStretch();
    v->addLayout(filters);

    auto* person = new QHBoxLayout;
    QWidget* nameLabel = new QLabel(QStringLiteral("姓名"), this);
    name_ = new QLineEdit(this);
    name_->setObjectName(QStringLiteral("Text6"));
    QWidget* cardLabel = new QLabel(QStringLiteral("卡号"), this);
    card_ = new QLineEdit(this);
    card_->setObjectName(QStringLiteral("Texintll_0"));
    auto* hint = new QLabel(QStringLiteral("注: 0表示正常签到   9999表示没有签到"), this);
    hint->setObjectName(QStringLiteral("Label12_1"));
    auto* wildcards = new QLabel(QStringLiteral("注:“*”表示几个字 “?”表示一个字"), this);
    wildcards->setObjectName(QStringLiteral("Label12_0"));
    personFilter_ = {nameLabel, name_, cardLabel, card_, hint};
    for (QWidget* w : {nameLabel, static_cast<QWidget*>(name_), static_cast<QWidget*>(wildcards),
                       cardLabel, static_cast<QWidget*>(card_), static_cast<QWidget*>(hint)})
        person->addWidget(w);
    person->addStretch();
    const char16_t* const captions[] = {u"开始查找", u"关闭", u"导出设置", u"导出电子表格"};
    for (int i = 0; i < 4; ++i) {
        auto* b = new QPushButton(QString::fromUtf16(captions[i]), this);
        b->setObjectName(QStringLiteral("Command7_%1").arg(i));
        person->addWidget(b);
        connect(b, &QPushButton::clicked, this, [this, i] { Command7Click(i); });
    }
    registerButton_ = new QPushButton(QStringLiteral("月报"), this);
    registerButton_->setObjectName(QStringLiteral("RegisterButton"));
    registerButton_->hide();
    person->addWidget(registerButton_);
    v->addLayout(person);

    auto* summary = new QHBoxLayout;
    const char16_t* const titles[] = {u"迟到次数", u"迟到总时间", u"未签到次数", u"正常签到次数",
                                      u"记录数"};
    for (int i = 0; i < 5; ++i) {
        auto* t = new QLabel(QString::fromUtf16(titles[i]) + u':', this);
        t->setObjectName(QStringLiteral("Label13_%1").arg(i));
        values_[size_t(i)] =
            Value(QStringLiteral("Label13_%1").arg(i + 5), QStringLiteral("0"), this);
        summary->addWidget(t);
        summary->addWidget(values_[size_t(i)]);
        if (i == 1) {
            hours_ = Value(QStringLiteral("Label13_10"), QStringLiteral("0小时"), this);
            summary->addWidget(hours_);
        }
        summary->addSpacing(16);
    }
    auto* excusedTitle = new QLabel(QStringLiteral("请假次数:"), this);
    excusedTitle->setObjectName(QStringLiteral("ExcusedTitle"));
    excused_ = Value(QStringLiteral("ExcusedCount"), QStringLiteral("0"), this);
    summary->addWidget(excusedTitle);
    summary->addWidget(excused_);
    summary->addSpacing(16);
    // Absences that leave or a closed day excuse are listed with their kind, or left out.
    withExcused_ = new QCheckBox(QStringLiteral("含请假、休息"), this);
    withExcused_->setObjectName(QStringLiteral("WithExcused"));
    withExcused_->setChecked(true);
    summary->addWidget(withExcused_);
    summary->addStretch();
    sorted_ = new QLabel(QStringLiteral("“”升序"), this);
    sorted_->setObjectName(QStringLiteral("Label5_31"));
    summary->addWidget(sorted_);
    v->addLayout(summary);

    grid_ = new GridView(this);
    grid_->setObjectName(QStringLiteral("MSTJ"));
    grid_->setFixedRows(1);
    v->addWidget(grid_, 1);
    connect(grid_, &GridView::fixedCellClicked, this, [this](int, int c) { sortStatistics(c); });
    grid_->setTable(&results_);
    showDay();
}

void StatisticsPanel::setRegisterPage(RegisterPanel* page) {
    register_ = page;
    pages_->addWidget(page);
    registerButton_->show();
    connect(registerButton_, &QPushButton::clicked, this,
            [this] { pages_->setCurrentWidget(register_); });
    connect(page, &RegisterPanel::back, this, [this] { pages_->setCurrentIndex(0); });
}

void StatisticsPanel::showDay() {
    const QDate today = day_.day;
    dates_[1]->setText(today.toString(QStringLiteral("yyyy-MM-dd")));
    dates_[0]->setText(today.addDays(-365).toString(QStringLiteral("yyyy-MM-dd")));
}

void StatisticsPanel::showFor(bool admin, int personalIndex) {
    personalIndex_ = admin ? 0 : personalIndex;
    if (register_) register_->showFor(admin, personalIndex);
    for (QWidget* w : personFilter_) w->setVisible(admin);
    if (admin) {
        name_->clear();
        card_->clear();
    } else if (Roster::validIndex(personalIndex)) {
        name_->setText(roster_.person(personalIndex).name);
        card_->setText(CardText(roster_.person(personalIndex).cardNumber));
    }
}

bool StatisticsPanel::eventFilter(QObject* watched, QEvent* e) {
    // A click in a date box picks the date on the date panel.
    if (e->type() == QEvent::MouseButtonPress && openDatePanel_)
        for (QLineEdit* box : dates_)
            if (watched == box) openDatePanel_(box);
    return QWidget::eventFilter(watched, e);
}

void StatisticsPanel::Command7Click(int index) {
    switch (index) {
        case 0:
            RunStatisticsQuery();
            grid_->show();
            break;
        case 1:
            grid_->hide();
            break;
        case 3:
            ExportStatistics();
            break;
        default:
            break;  // 导出设置 has nothing to set
    }
}

bool StatisticsPanel::RunStatisticsQuery() {
    const StatsQueryTexts texts{dates_[0]->text(),
                                dates_[1]->text(),
                                name_->text(),
                                card_->text(),
                                late_[0]->text(),
                                late_[1]->text(),
                                weekdays_[0]->currentIndex() + 1,
                                weekdays_[1]->currentIndex() + 1};
    QString error;
    std::optional<StatsFilter> f = ParseStatsFilter(texts, &error);
    if (!f) {
        notifier_.ShowNotice(error);
        return false;
    }
    f->index = personalIndex_;
    f->excused = withExcused_->isChecked();
    const StatsSummary s = RunStatistics(folder_, roster_.roster(), *f, results_, &days_);
    const qint64 values[] = {s.late, s.lateMinutes, s.missed, s.onTime, s.rows};
    for (int i = 0; i < 5; ++i) values_[size_t(i)]->setText(QString::number(values[i]));
    hours_->setText(s.hoursText());
    excused_->setText(QString::number(s.excused));
    return true;
}

void StatisticsPanel::sortStatistics(int column) {
    results_.sortColumn(column, sort_.next(column));
    sorted_->setText(u'“' + results_.text(0, column) + u'”' +
                     (sort_.descending(column) ? QStringLiteral("降") : QStringLiteral("升")) +
                     u'序');
}

void StatisticsPanel::ExportStatistics() {
    const std::optional<QString> path =
        dialogs_.saveFile(QStringLiteral("导出数据"), QStringLiteral("*.xlsx(电子表格) (*.xlsx)"));
    if (!path) return;
    const QString templatePath =
        QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("1.dat"));
    ExportResult r;
    {
        ProgressGate gate(this, QStringLiteral("正在导出电子表格…"));
        r = tallyra::ExportStatistics(results_.listing(), templatePath, *path, gate.callback());
    }
    // A workbook that could not be written is said so, not reported as exported.
    if (r.written || r.cancelled)
        notifier_.ShowNotice(r.notice());
    else
        notifier_.ShowFailure(r.notice());
}

}  // namespace tallyra
