#include "gui/calendareditor.h"

#include <QApplication>
#include <QCalendarWidget>
#include <QComboBox>
#include <QDateEdit>
#include <QFile>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QPushButton>
#include <QSaveFile>
#include <QTextCharFormat>
#include <QVBoxLayout>

#include "common/datetime.h"
#include "core/calendarstore.h"
#include "core/clock.h"
#include "core/ics.h"
#include "core/notifier.h"
#include "gui/dialogs.h"

namespace tallyra {

namespace {

QString Iso(const QDate& d) { return d.toString(QStringLiteral("yyyy-MM-dd")); }

}  // namespace

CalendarEditor::CalendarEditor(CalendarStore& calendar, Notifier& notifier, Dialogs& dialogs,
                               const Clock& clock, QWidget* parent)
    : QDialog(parent), calendar_(calendar), notifier_(notifier), dialogs_(dialogs), clock_(clock) {
    setObjectName(QStringLiteral("CalendarEditor"));
    setWindowTitle(QStringLiteral("校历"));
    auto* outer = new QHBoxLayout(this);
    auto* left = new QVBoxLayout;
    month_ = new QCalendarWidget(this);
    month_->setObjectName(QStringLiteral("CalendarMonth"));
    // Month and weekday names as a school calendar prints them, whatever the system's locale.
    month_->setLocale(QLocale(QLocale::Chinese, QLocale::China));
    month_->setFirstDayOfWeek(Qt::Monday);
    month_->setGridVisible(true);
    left->addWidget(month_);
    connect(month_, &QCalendarWidget::clicked, this, &CalendarEditor::picked);

    auto* form = new QGridLayout;
    from_ = new QDateEdit(this);
    from_->setObjectName(QStringLiteral("CalendarFrom"));
    to_ = new QDateEdit(this);
    to_->setObjectName(QStringLiteral("CalendarTo"));
    for (QDateEdit* e : {from_, to_}) {
        e->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
        e->setCalendarPopup(true);
    }
    form->addWidget(new QLabel(QStringLiteral("从"), this), 0, 0);
    form->addWidget(from_, 0, 1);
    form->addWidget(new QLabel(QStringLiteral("到"), this), 0, 2);
    form->addWidget(to_, 0, 3);
    name_ = new QLineEdit(this);
    name_->setObjectName(QStringLiteral("CalendarName"));
    name_->setPlaceholderText(QStringLiteral("名称，如 国庆节、寒假"));
    // Every button does one thing of this dialog's; made and wired in one place.
    const auto button = [this](const char16_t* caption, const char16_t* name,
                               void (CalendarEditor::*action)()) {
        auto* b = new QPushButton(QString::fromUtf16(caption), this);
        b->setObjectName(QString::fromUtf16(name));
        connect(b, &QPushButton::clicked, this, action);
        return b;
    };
    form->addWidget(name_, 1, 0, 1, 3);
    form->addWidget(button(u"休息", u"CalendarClose", &CalendarEditor::closeDays), 1, 3);
    weekday_ = new QComboBox(this);
    weekday_->setObjectName(QStringLiteral("CalendarWeekday"));
    for (int d = 1; d <= 7; ++d) weekday_->addItem(QStringLiteral("按星期") + WeekdayName(d));
    weekday_->setCurrentIndex(1);
    form->addWidget(weekday_, 2, 0, 1, 3);
    form->addWidget(button(u"调休", u"CalendarMakeUp", &CalendarEditor::makeUpDay), 2, 3);
    left->addLayout(form);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(button(u"恢复上课", u"CalendarOpen", &CalendarEditor::openDays));
    buttons->addWidget(button(u"导入日历", u"CalendarImport", &CalendarEditor::importIcs));
    buttons->addWidget(button(u"导出日历", u"CalendarExport", &CalendarEditor::exportIcs));
    buttons->addWidget(button(u"关闭", u"CalendarDone", &CalendarEditor::hide));
    left->addLayout(buttons);
    outer->addLayout(left);

    days_ = new QListWidget(this);
    days_->setObjectName(QStringLiteral("CalendarDays"));
    days_->setMinimumWidth(220);
    outer->addWidget(days_);
    connect(days_, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row < 0) return;
        const QDate d = days_->item(row)->data(Qt::UserRole).toDate();
        if (d.isValid()) picked(d);
    });

    const QDate today = clock_.today();
    from_->setDate(today);
    to_->setDate(today);
    showCalendar(today);
}

void CalendarEditor::picked(const QDate& date) {
    // A shift-click ends the range the last click began.
    if (QApplication::keyboardModifiers() & Qt::ShiftModifier) {
        if (date < from_->date()) from_->setDate(date);
        to_->setDate(date >= from_->date() ? date : to_->date());
    } else {
        from_->setDate(date);
        to_->setDate(date);
    }
    if (const SchoolCalendar::Day* d = calendar_.get().day(qint32(DateToOle(date)))) {
        if (d->kind == CalendarChange::Closed) name_->setText(d->name);
        if (d->kind == CalendarChange::MakeUp) weekday_->setCurrentIndex(d->weekday - 1);
    }
}

void CalendarEditor::showCalendar(const QDate& around) {
    month_->setDateTextFormat(QDate(), QTextCharFormat());  // every format cleared
    QTextCharFormat closed, madeUp;
    closed.setBackground(QColor(0xf2, 0xd7, 0xd5));
    closed.setForeground(QColor(0x9b, 0x23, 0x1a));
    madeUp.setBackground(QColor(0xd6, 0xea, 0xf8));
    days_->clear();
    for (const auto& [day, d] : calendar_.get().days()) {
        const std::optional<QDate> date = OleToDate(day);
        if (!date) continue;
        const bool isClosed = d.kind == CalendarChange::Closed;
        month_->setDateTextFormat(*date, isClosed ? closed : madeUp);
        QString text = Iso(*date) + QStringLiteral(" 星期") + WeekdayName(WeekdayOf(*date)) + u' ';
        text += isClosed ? QStringLiteral("休息 ") + d.name
                         : QStringLiteral("调休 按星期") + WeekdayName(d.weekday);
        auto* item = new QListWidgetItem(text, days_);
        item->setData(Qt::UserRole, *date);
    }
    if (around.isValid()) month_->setSelectedDate(around);
}

bool CalendarEditor::stored(StoreResult result, const QString& what) {
    switch (result) {
        case StoreResult::Stored:
            showCalendar(from_->date());
            Q_EMIT changed();
            return true;
        case StoreResult::TooLong:
            notifier_.ShowNotice(what + QStringLiteral("：名称太长或超过一年，未保存"));
            return false;
        case StoreResult::Failed:
            break;
    }
    notifier_.ShowFailure(NotSavedText(what));
    return false;
}

void CalendarEditor::closeDays() {
    if (to_->date() < from_->date()) {
        notifier_.ShowNotice(QStringLiteral("结束日期早于开始日期"));
        return;
    }
    stored(calendar_.close(from_->date(), to_->date(), name_->text().trimmed()),
           QStringLiteral("休息日"));
}

void CalendarEditor::makeUpDay() {
    stored(calendar_.makeUp(from_->date(), weekday_->currentIndex() + 1), QStringLiteral("调休日"));
}

void CalendarEditor::openDays() {
    if (to_->date() < from_->date()) {
        notifier_.ShowNotice(QStringLiteral("结束日期早于开始日期"));
        return;
    }
    stored(calendar_.open(from_->date(), to_->date()), QStringLiteral("校历"));
}

void CalendarEditor::importIcs() {
    const std::optional<QString> path =
        dialogs_.openFile(QStringLiteral("导入日历"), QStringLiteral("iCalendar (*.ics)"));
    if (!path) return;
    QByteArray bytes;
    FileError error;
    if (!ReadRegularFile(*path, kMostIcsBytes, bytes, &error)) {
        notifier_.ShowNotice(QStringLiteral("日历文件无法读取（") + error.reason() +
                             QStringLiteral("）"));
        return;
    }
    const IcsRead read = ReadIcs(bytes);
    if (!read.failure.isEmpty()) {
        notifier_.ShowNotice(read.failure);
        return;
    }
    if (stored(calendar_.apply(read.changes), QStringLiteral("导入的日历")))
        notifier_.ShowNotice(
            QStringLiteral("日历已导入：%1个事件，%2天").arg(read.events).arg(read.changes.size()));
}

void CalendarEditor::exportIcs() {
    const std::optional<QString> path =
        dialogs_.saveFile(QStringLiteral("导出日历"), QStringLiteral("iCalendar (*.ics)"));
    if (!path) return;
    // Written beside the target and renamed over it: a cut export leaves the old file.
    QSaveFile file(*path);
    const QByteArray ics = WriteIcs(calendar_.get(), clock_.now());
    if (!file.open(QIODevice::WriteOnly) || file.write(ics) != ics.size() || !file.commit()) {
        notifier_.ShowFailure(NotSavedText(QStringLiteral("日历文件")));
        return;
    }
    notifier_.ShowNotice(QStringLiteral("日历已导出"));
}

}  // namespace tallyra
