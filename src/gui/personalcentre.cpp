#include "gui/personalcentre.h"

#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/notifier.h"
#include "core/rosterstore.h"
#include "core/signin.h"

namespace tallyra {

namespace {
constexpr int kMaxPersonalPassword = 18;
constexpr int kReaderEnterMs = 400;
constexpr int kMinShownWidth = 20;  // twips: narrower columns are hidden ones
}  // namespace

PersonalCentre::PersonalCentre(RosterStore& roster, const TextGridModel& rosterGrid,
                               Notifier& notifier, std::function<void()> showMyAttendance,
                               QWidget* parent)
    : QFrame(parent),
      roster_(roster),
      rosterGrid_(rosterGrid),
      notifier_(notifier),
      showMyAttendance_(std::move(showMyAttendance)) {
    setObjectName(QStringLiteral("Picture1_5"));
    auto* v = new QVBoxLayout(this);
    prompt_ = new QLabel(QStringLiteral("请刷卡以载入数据"), this);
    prompt_->setObjectName(QStringLiteral("Label15"));
    prompt_->setAlignment(Qt::AlignCenter);
    QFont big = prompt_->font();
    big.setPointSizeF(big.pointSizeF() * 2.2);
    big.setBold(true);
    prompt_->setFont(big);
    v->addWidget(prompt_);

    passwordPanel_ = new QFrame(this);
    passwordPanel_->setObjectName(QStringLiteral("Picture7"));
    passwordPanel_->setFrameShape(QFrame::StyledPanel);
    auto* ph = new QHBoxLayout(passwordPanel_);
    auto* ask = new QLabel(QStringLiteral("您设置了密码访问"), passwordPanel_);
    ask->setObjectName(QStringLiteral("Label5_33"));
    password_ = new QLineEdit(passwordPanel_);
    password_->setObjectName(QStringLiteral("Text11"));
    password_->setEchoMode(QLineEdit::Password);
    auto* go = new QPushButton(QStringLiteral("进入"), passwordPanel_);
    go->setObjectName(QStringLiteral("Command3_16"));
    auto* back = new QPushButton(QStringLiteral("取消"), passwordPanel_);
    back->setObjectName(QStringLiteral("Command3_15"));
    ph->addWidget(ask);
    ph->addWidget(password_);
    ph->addWidget(go);
    ph->addWidget(back);
    connect(go, &QPushButton::clicked, this, &PersonalCentre::enter);
    connect(password_, &QLineEdit::returnPressed, this, [this] {
        // The reader's own Enter, which loaded the person, reaches this box too once it has
        // the focus: it is no attempt at the password.
        if (password_->text().isEmpty() && lookedUp_.isValid() &&
            lookedUp_.elapsed() < kReaderEnterMs)
            return;
        enter();
    });
    connect(back, &QPushButton::clicked, this, &PersonalCentre::cancel);
    passwordPanel_->hide();
    v->addWidget(passwordPanel_, 0, Qt::AlignCenter);

    auto* body = new QHBoxLayout;
    auto* fields = new QGridLayout;
    for (int i = 0; i < 26; ++i) {
        titles_[size_t(i)] = new QLabel(this);
        titles_[size_t(i)]->setObjectName(QStringLiteral("Label16_%1").arg(i));
        values_[size_t(i)] = new QLabel(this);
        values_[size_t(i)]->setObjectName(QStringLiteral("Label17_%1").arg(i));
        QFont bold = titles_[size_t(i)]->font();
        bold.setBold(true);
        titles_[size_t(i)]->setFont(bold);
        fields->addWidget(titles_[size_t(i)], i, 0);
        fields->addWidget(values_[size_t(i)], i, 1);
        titles_[size_t(i)]->hide();
        values_[size_t(i)]->hide();
    }
    fields->setRowStretch(26, 1);
    fields->setHorizontalSpacing(24);
    body->addLayout(fields);
    body->addStretch();

    auto* side = new QVBoxLayout;
    changeFrame_ = new QFrame(this);
    changeFrame_->setObjectName(QStringLiteral("Frame3"));
    changeFrame_->setFrameShape(QFrame::StyledPanel);
    auto* form = new QFormLayout(changeFrame_);
    form->addRow(new QLabel(QStringLiteral("修改密码"), changeFrame_));
    const QStringList labels{QStringLiteral("旧密码:"), QStringLiteral("新密码:"),
                             QStringLiteral("确  认:")};
    for (int i = 0; i < 3; ++i) {
        auto* e = new QLineEdit(changeFrame_);
        e->setObjectName(QStringLiteral("Text8_%1").arg(i + 3));
        e->setEchoMode(QLineEdit::Password);
        passwords_[size_t(i)] = e;
        form->addRow(labels[i], e);
    }
    auto* change = new QPushButton(QStringLiteral("修改密码"), changeFrame_);
    change->setObjectName(QStringLiteral("Command13"));
    form->addRow(change);
    connect(change, &QPushButton::clicked, this, &PersonalCentre::ChangePersonalPassword);
    side->addWidget(changeFrame_);
    signOff_ = new QPushButton(QStringLiteral("注消"), this);
    signOff_->setObjectName(QStringLiteral("Command3_17"));
    attendance_ = new QPushButton(QStringLiteral("查询的我考勤"), this);
    attendance_->setObjectName(QStringLiteral("Command3_18"));
    side->addWidget(signOff_);
    side->addWidget(attendance_);
    side->addStretch();
    connect(signOff_, &QPushButton::clicked, this, &PersonalCentre::signOff);
    connect(attendance_, &QPushButton::clicked, this, [this] {
        if (showMyAttendance_) showMyAttendance_();
    });
    body->addLayout(side);
    v->addLayout(body, 1);
    changeFrame_->hide();
    signOff_->hide();
    attendance_->hide();
}

void PersonalCentre::dayChanged() {
    if (!waiting()) signOff();
}

bool PersonalCentre::waiting() const { return !prompt_->isHidden(); }
int PersonalCentre::loadedIndex() const { return index_; }

void PersonalCentre::LookUp(const SwipeResult& swipe, const QString& card) {
    if (card.isEmpty() || !waiting()) return;
    const int index = swipe.index > 0 ? swipe.index : roster_.holderOfCard(card);
    if (!Roster::validIndex(index)) return;
    index_ = index;
    expected_ = roster_.person(index_).personalPassword;
    password_->clear();
    passwordPanel_->show();
    prompt_->hide();
    lookedUp_.start();
    password_->setFocus();
    if (expected_.isEmpty()) enter();
}

void PersonalCentre::enter() {
    if (passwordPanel_->isHidden()) return;
    if (password_->text() != expected_) {
        password_->clear();
        notifier_.ShowNotice(QStringLiteral("密码错误"));
        return;
    }
    password_->clear();
    passwordPanel_->hide();
    int n = 0;
    for (int f = 1; f <= 25; ++f) {
        const int width = rosterGrid_.columnWidth(f);
        if (width >= 0 && width <= kMinShownWidth) continue;
        titles_[size_t(n)]->setText(rosterGrid_.text(0, f));
        values_[size_t(n)]->setText(roster_.cellText(index_, f));
        titles_[size_t(n)]->show();
        values_[size_t(n)]->show();
        ++n;
    }
    for (int i = n; i < 26; ++i) {
        titles_[size_t(i)]->hide();
        values_[size_t(i)]->hide();
    }
    changeFrame_->show();
    signOff_->show();
    attendance_->show();
}

void PersonalCentre::cancel() {
    passwordPanel_->hide();
    prompt_->show();
    index_ = 0;
}

void PersonalCentre::signOff() {
    prompt_->show();
    changeFrame_->hide();
    signOff_->hide();
    attendance_->hide();
    for (int i = 0; i < 26; ++i) {
        titles_[size_t(i)]->hide();
        values_[size_t(i)]->hide();
    }
    clearPasswords();
    index_ = 0;
}

void PersonalCentre::clearPasswords() {
    for (QLineEdit* e : passwords_) e->clear();
}

void PersonalCentre::ChangePersonalPassword() {
    Notifier& n = notifier_;
    const int i = index_;
    const QString fresh = passwords_[1]->text();
    if (passwords_[2]->text() != fresh) {
        n.ShowNotice(QStringLiteral("二次密码输入有误，请重新输入"));
        return;
    }
    if (fresh.size() > kMaxPersonalPassword) {
        n.ShowNotice(QStringLiteral("长度超出范围"));
        return;
    }
    if (!Roster::validIndex(i) || passwords_[0]->text() != roster_.person(i).personalPassword) {
        n.ShowNotice(QStringLiteral("旧密码输入有误"));
        clearPasswords();
        return;
    }
    PersonRecord person = roster_.person(i);
    person.personalPassword = fresh;
    // Too long for what is left of the record, or not stored: the old one stays.
    switch (roster_.store(i, person)) {
        case StoreResult::Stored:
            break;
        case StoreResult::TooLong:
            n.ShowNotice(QStringLiteral("文字太长，记录放不下"));
            return;
        case StoreResult::Failed:
            n.ShowFailure(NotSavedText(QStringLiteral("密码")));
            return;
    }
    n.ShowNotice(QStringLiteral("密码修改成功"));
    clearPasswords();
}

}  // namespace tallyra
