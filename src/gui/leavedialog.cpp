#include "gui/leavedialog.h"

#include <QComboBox>
#include <QDateEdit>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "common/datetime.h"
#include "core/calendarstore.h"
#include "core/clock.h"
#include "core/notifier.h"
#include "core/rosterstore.h"
#include "core/timewindows.h"
#include "gui/gbkvalidator.h"

namespace tallyra {

namespace {

QString Span(const LeaveEntry& e, const TimeTable& t) {
    const auto at = [&](qint32 day, int window) {
        const std::optional<QDate> d = OleToDate(day);
        return (d ? d->toString(QStringLiteral("yyyy-MM-dd")) : QString()) +
               (window >= 0 ? u'[' + t.displayName(window) + u']' : QString());
    };
    return at(e.fromDay, e.fromWindow) + QStringLiteral(" 至 ") + at(e.toDay, e.toWindow);
}

QString Moment(double ole) {
    return OleToDateTime(ole).toString(QStringLiteral("yyyy-MM-dd HH:mm"));
}

}  // namespace

LeaveDialog::LeaveDialog(LeaveStore& leave, const RosterStore& roster, const TimeTableStore& table,
                         Notifier& notifier, const Clock& clock, QWidget* parent)
    : QDialog(parent),
      leave_(leave),
      roster_(roster),
      table_(table),
      notifier_(notifier),
      clock_(clock) {
    setObjectName(QStringLiteral("LeaveDialog"));
    setWindowTitle(QStringLiteral("请假"));
    auto* v = new QVBoxLayout(this);
    who_ = new QLabel(this);
    who_->setObjectName(QStringLiteral("LeavePerson"));
    QFont bold = who_->font();
    bold.setBold(true);
    who_->setFont(bold);
    v->addWidget(who_);
    auto* form = new QFormLayout;
    const auto dayAndWindow = [&](QDateEdit*& day, QComboBox*& window, const QString& name) {
        auto* row = new QHBoxLayout;
        day = new QDateEdit(this);
        day->setObjectName(name + QStringLiteral("Day"));
        day->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
        day->setCalendarPopup(true);
        window = new QComboBox(this);
        window->setObjectName(name + QStringLiteral("Window"));
        row->addWidget(day);
        row->addWidget(window);
        return row;
    };
    form->addRow(QStringLiteral("从"),
                 dayAndWindow(fromDay_, fromWindow_, QStringLiteral("LeaveFrom")));
    form->addRow(QStringLiteral("到"), dayAndWindow(toDay_, toWindow_, QStringLiteral("LeaveTo")));
    kind_ = new QComboBox(this);
    kind_->setObjectName(QStringLiteral("LeaveKind"));
    form->addRow(QStringLiteral("类别"), kind_);
    reason_ = new QLineEdit(this);
    reason_->setObjectName(QStringLiteral("LeaveReason"));
    reason_->setValidator(new GbkLengthValidator(kLeaveReasonBytes, reason_));
    form->addRow(QStringLiteral("事由"), reason_);
    by_ = new QLineEdit(this);
    by_->setObjectName(QStringLiteral("LeaveBy"));
    by_->setValidator(new GbkLengthValidator(kLeaveByBytes, by_));
    form->addRow(QStringLiteral("经办人"), by_);
    v->addLayout(form);
    auto* buttons = new QHBoxLayout;
    auto* ok = new QPushButton(QStringLiteral("登记"), this);
    ok->setObjectName(QStringLiteral("LeaveEnter"));
    auto* done = new QPushButton(QStringLiteral("关闭"), this);
    done->setObjectName(QStringLiteral("LeaveDone"));
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(done);
    v->addLayout(buttons);
    entries_ = new QListWidget(this);
    entries_->setObjectName(QStringLiteral("LeaveEntries"));
    entries_->setMinimumWidth(460);
    v->addWidget(new QLabel(QStringLiteral("此人的请假"), this));
    v->addWidget(entries_);
    auto* cancel = new QPushButton(QStringLiteral("取消请假"), this);
    cancel->setObjectName(QStringLiteral("LeaveCancel"));
    v->addWidget(cancel, 0, Qt::AlignRight);
    connect(ok, &QPushButton::clicked, this, &LeaveDialog::enter);
    connect(done, &QPushButton::clicked, this, &QDialog::hide);
    connect(cancel, &QPushButton::clicked, this, &LeaveDialog::cancelChosen);
}

void LeaveDialog::openFor(int index, int window) {
    if (!Roster::validIndex(index) || !roster_.person(index).inUse()) return;
    index_ = index;
    const PersonRecord& p = roster_.person(index);
    who_->setText(p.name + QStringLiteral("　卡号 ") + CardText(p.cardNumber));
    const QDate today = clock_.today();
    fromDay_->setDate(today);
    toDay_->setDate(today);
    for (QComboBox* box : {fromWindow_, toWindow_}) {
        box->clear();
        box->addItem(QStringLiteral("全天"), -1);
        for (int w = 0; w < kWindowCount; ++w) box->addItem(table_.get().displayName(w), w);
    }
    fromWindow_->setCurrentIndex(window + 1);
    toWindow_->setCurrentIndex(window + 1);
    kind_->clear();
    kind_->addItems(leave_.kinds());
    reason_->clear();
    showEntries();
    show();
    raise();
}

void LeaveDialog::showEntries() {
    entries_->clear();
    for (const LeaveEntry& e : leave_.get().entries()) {
        if (e.index != index_) continue;
        QString text = QStringLiteral("%1  ").arg(e.id) + Span(e, table_.get()) + u' ' + e.kind +
                       u' ' + e.reason + QStringLiteral("  ") + Moment(e.at) + u' ' + e.by;
        if (e.cancelled)
            text += QStringLiteral("  已取消 ") + Moment(e.cancelledAt) + u' ' + e.cancelledBy;
        auto* item = new QListWidgetItem(text, entries_);
        item->setData(Qt::UserRole, e.id);
        if (e.cancelled) item->setForeground(Qt::gray);
    }
}

void LeaveDialog::enter() {
    LeaveEntry e;
    e.index = index_;
    e.fromDay = qint32(DateToOle(fromDay_->date()));
    e.toDay = qint32(DateToOle(toDay_->date()));
    e.fromWindow = fromWindow_->currentData().toInt();
    e.toWindow = toWindow_->currentData().toInt();
    e.kind = kind_->currentText();
    e.reason = reason_->text();
    e.by = by_->text();
    e.at = DateTimeToOle(clock_.now());
    const bool inUse = Roster::validIndex(index_) && roster_.person(index_).inUse();
    if (const QString problem = LeaveEntryProblem(e, inUse); !problem.isEmpty()) {
        notifier_.ShowNotice(problem);
        return;
    }
    if (leave_.add(e) != StoreResult::Stored) {
        notifier_.ShowFailure(NotSavedText(roster_.person(index_).name + QStringLiteral("的请假")));
        return;
    }
    notifier_.ShowNotice(roster_.person(index_).name + QStringLiteral("请假已登记：") + e.kind);
    reason_->clear();
    showEntries();
}

void LeaveDialog::cancelChosen() {
    const QListWidgetItem* item = entries_->currentItem();
    if (!item) {
        notifier_.ShowNotice(QStringLiteral("请先选中一条请假"));
        return;
    }
    const qint32 id = item->data(Qt::UserRole).toInt();
    const LeaveEntry* e = leave_.get().entry(id);
    if (!e || e->cancelled) return;
    if (by_->text().trimmed().isEmpty()) {
        notifier_.ShowNotice(QStringLiteral("请填写经办人"));
        return;
    }
    if (leave_.cancel(id, by_->text(), DateTimeToOle(clock_.now())) != StoreResult::Stored) {
        notifier_.ShowFailure(NotSavedText(QStringLiteral("请假的取消")));
        return;
    }
    notifier_.ShowNotice(QStringLiteral("请假已取消"));
    showEntries();
}

}  // namespace tallyra
