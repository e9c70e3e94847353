#include "gui/settingspanel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "common/gbk.h"
#include "core/calendarstore.h"
#include "core/format/readerchoice.h"
#include "core/notifier.h"
#include "core/settingsstore.h"
#include "core/timewindows.h"
#include "gui/clicklabel.h"
#include "gui/dialogs.h"
#include "gui/noticepopups.h"
#include "gui/timetableeditor.h"
#include "platform/readergate.h"

namespace tallyra {

QFont FontFromChoice(const FontChoice& chosen, const QFont& base) {
    QFont font = base;
    if (!chosen.name.isEmpty()) font.setFamily(chosen.name);
    if (IsUsableFontSize(chosen.size)) font.setPointSizeF(chosen.size);
    font.setBold(chosen.bold);
    font.setItalic(chosen.italic);
    return font;
}

QFont DefaultPopupFont() { return QFont(QStringLiteral("宋体"), 18); }

FontChoice ChoiceFromFont(const QFont& font) {
    return FontChoice{font.family(), float(font.pointSizeF()), font.bold(), font.italic()};
}

QColor ColourFromStored(quint32 stored) {
    return QColor(int(stored & 0xff), int((stored >> 8) & 0xff), int((stored >> 16) & 0xff));
}

quint32 StoredFromColour(const QColor& c) {
    return quint32(c.red()) | (quint32(c.green()) << 8) | (quint32(c.blue()) << 16);
}

SettingsPanel::SettingsPanel(SettingsStore& settings, TimeTableStore& timeTable, LeaveStore& leave,
                             const DataFolder& folder, Notifier& notifier, NoticePopups& popups,
                             Dialogs& dialogs, ReaderGate& gate,
                             std::function<void(const QFont&)> applyGridFont, QWidget* parent)
    : QFrame(parent),
      settings_(settings),
      leave_(leave),
      folder_(folder),
      notifier_(notifier),
      popups_(popups),
      dialogs_(dialogs),
      gate_(gate),
      applyGridFont_(std::move(applyGridFont)) {
    setObjectName(QStringLiteral("Picture1_0"));
    auto* layout = new QVBoxLayout(this);

    auto* tableBox = new QGroupBox(QStringLiteral("签到时间"), this);
    auto* tableLayout = new QVBoxLayout(tableBox);
    timeTable_ = new TimeTableEditor(timeTable, notifier_, dialogs_, tableBox);
    tableLayout->addWidget(timeTable_);
    tableLayout->addWidget(new QLabel(
        QStringLiteral("左键点击时间修改，右键点击关闭或开启该时段，点击标语修改名称"), tableBox));
    layout->addWidget(tableBox);

    auto* lower = new QHBoxLayout;
    auto* optionsBox = new QGroupBox(QStringLiteral("选项"), this);
    auto* optionsGrid = new QGridLayout(optionsBox);
    const QStringList captions{QStringLiteral("系统提示"), QStringLiteral("记录正常签到"),
                               QStringLiteral("音效")};
    for (int k = 0; k < Settings::kOptionCount; ++k) {
        auto* box = new QCheckBox(k < 3 ? captions[k] : QStringLiteral("------"), optionsBox);
        box->setObjectName(QStringLiteral("Check2_%1").arg(k));
        options_[size_t(k)] = box;
        optionsGrid->addWidget(box, k % 5, k / 5);
        connect(box, &QCheckBox::toggled, this, [this, k] { SaveOptionBox(k); });
    }
    lower->addWidget(optionsBox);

    auto* displayBox = new QGroupBox(QStringLiteral("显示"), this);
    auto* form = new QFormLayout(displayBox);
    for (int k = 0; k < 2; ++k) {
        auto* box = new QComboBox(displayBox);
        box->setObjectName(QStringLiteral("Combo5_%1").arg(k));
        for (int n = 0; n <= 3; ++n) box->addItem(QStringLiteral("%1位小数").arg(n));
        box->setCurrentIndex(-1);
        precision_[size_t(k)] = box;
        form->addRow(k == 0 ? QStringLiteral("字段3年数:") : QStringLiteral("字段5年数:"), box);
        connect(box, &QComboBox::activated, this, [this, k] { SavePrecision(k); });
    }
    gridFont_ = new QPushButton(QStringLiteral("表格字体"), displayBox);
    gridFont_->setObjectName(QStringLiteral("Command14"));
    form->addRow(QStringLiteral("表格:"), gridFont_);
    connect(gridFont_, &QPushButton::clicked, this, &SettingsPanel::ChooseGridFont);
    auto* notice = new QHBoxLayout;
    sample_ = new ClickLabel(QStringLiteral("字体"), displayBox);
    sample_->setObjectName(QStringLiteral("Label8"));
    sample_->setAlignment(Qt::AlignCenter);
    sample_->setFrameShape(QFrame::Box);
    sample_->setCursor(Qt::PointingHandCursor);
    sample_->setMinimumWidth(120);
    swatch_ = new ClickLabel(displayBox);
    swatch_->setObjectName(QStringLiteral("Picture4"));
    swatch_->setFixedSize(40, 28);
    swatch_->setFrameShape(QFrame::Box);
    swatch_->setAutoFillBackground(true);
    swatch_->setCursor(Qt::PointingHandCursor);
    notice->addWidget(sample_, 1);
    notice->addWidget(swatch_);
    form->addRow(QStringLiteral("提示字体/颜色:"), notice);
    connect(sample_, &ClickLabel::pressed, this, [this](Qt::MouseButton b) {
        if (b == Qt::LeftButton) ChoosePopupFont();
    });
    connect(swatch_, &ClickLabel::pressed, this, [this](Qt::MouseButton b) {
        if (b == Qt::LeftButton) ChoosePopupColour();
    });
    lower->addWidget(displayBox);

    auto* passwordBox = new QGroupBox(QStringLiteral("修改管理者密码"), this);
    auto* passwordForm = new QFormLayout(passwordBox);
    const QStringList labels{QStringLiteral("旧密码:"), QStringLiteral("新密码:"),
                             QStringLiteral("确  认:")};
    for (int i = 0; i < 3; ++i) {
        auto* edit = new QLineEdit(passwordBox);
        edit->setObjectName(QStringLiteral("Text8_%1").arg(i));
        edit->setEchoMode(QLineEdit::Password);
        passwords_[size_t(i)] = edit;
        passwordForm->addRow(labels[i], edit);
    }
    changePassword_ = new QPushButton(QStringLiteral("修改密码"), passwordBox);
    changePassword_->setObjectName(QStringLiteral("Command10"));
    passwordForm->addRow(changePassword_);
    connect(changePassword_, &QPushButton::clicked, this, &SettingsPanel::ChangeAdminPassword);
    lower->addWidget(passwordBox);
    layout->addLayout(lower);

    auto* readerBox = new QGroupBox(QStringLiteral("读卡器"), this);
    readerBox->setObjectName(QStringLiteral("ReaderBox"));
    auto* readerGrid = new QGridLayout(readerBox);
    readers_ = new QComboBox(readerBox);
    readers_->setObjectName(QStringLiteral("ReaderList"));
    readers_->addItem(QStringLiteral("任意键盘"));
    readers_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    readerTest_ = new QPushButton(QStringLiteral("测试"), readerBox);
    readerTest_->setObjectName(QStringLiteral("ReaderTest"));
    readerTest_->setCheckable(true);
    capture_ = new QLabel(readerBox);
    capture_->setObjectName(QStringLiteral("ReaderCapture"));
    capture_->setWordWrap(true);
    tested_ = new QLabel(readerBox);
    tested_->setObjectName(QStringLiteral("ReaderTested"));
    tested_->hide();
    readerGrid->addWidget(readers_, 0, 0);
    readerGrid->addWidget(readerTest_, 0, 1);
    readerGrid->addWidget(tested_, 0, 2);
    readerGrid->addWidget(capture_, 1, 0, 1, 4);
    readerGrid->setColumnStretch(3, 1);
    connect(readers_, &QComboBox::activated, this, &SettingsPanel::ChooseReader);
    connect(readerTest_, &QPushButton::toggled, this, [this](bool on) {
        gate_.setTesting(on);
        tested_->setText(QStringLiteral("请刷卡…"));
        tested_->setVisible(on);
    });
    layout->addWidget(readerBox);

    auto* bottom = new QHBoxLayout;
    // The school calendar and the kinds of leave: days off, make-up days, 请假.
    auto* calendar = new QPushButton(QStringLiteral("校历…"), this);
    calendar->setObjectName(QStringLiteral("CalendarButton"));
    connect(calendar, &QPushButton::clicked, this, &SettingsPanel::calendarRequested);
    bottom->addWidget(calendar);
    bottom->addSpacing(12);
    bottom->addWidget(new QLabel(QStringLiteral("请假类别:"), this));
    leaveKinds_ = new QLineEdit(leave_.kinds().join(u'、'), this);
    leaveKinds_->setObjectName(QStringLiteral("LeaveKinds"));
    leaveKinds_->setMinimumWidth(180);
    bottom->addWidget(leaveKinds_);
    auto* saveKinds = new QPushButton(QStringLiteral("保存类别"), this);
    saveKinds->setObjectName(QStringLiteral("LeaveKindsSave"));
    connect(saveKinds, &QPushButton::clicked, this, &SettingsPanel::SaveLeaveKinds);
    bottom->addWidget(saveKinds);
    bottom->addStretch();
    close_ = new QPushButton(QStringLiteral("关闭"), this);
    close_->setObjectName(QStringLiteral("Command3_9"));
    bottom->addWidget(close_);
    layout->addLayout(bottom);
    layout->addStretch();

    connect(&gate_, &ReaderGate::keyboardsChanged, this, &SettingsPanel::showReaders);
    connect(&gate_, &ReaderGate::burstTyped, this, [this](const Keyboard& by) {
        tested_->setText(QStringLiteral("最近刷卡的键盘：") + by.caption());
    });
    showSettings();
    showReaders();
}

void SettingsPanel::showReaders() {
    const ReaderChoice& chosen = gate_.choice();
    readers_->clear();
    readers_->addItem(QStringLiteral("任意键盘"), QStringList());
    int current = 0;
    for (const Keyboard& k : gate_.keyboards()) {
        readers_->addItem(k.caption(), QStringList{k.name, k.usbId});
        if (current == 0 && !chosen.anyKeyboard() && chosen.matches(k))
            current = readers_->count() - 1;
    }
    if (!chosen.anyKeyboard() && current == 0) {
        const Keyboard gone{chosen.name, chosen.usbId, {}};
        readers_->addItem(gone.caption() + QStringLiteral("（已断开）"),
                          QStringList{chosen.name, chosen.usbId});
        current = readers_->count() - 1;
    }
    readers_->setCurrentIndex(current);
    QString text = QStringLiteral("按键来源：") + gate_.captureName();
    if (!gate_.readerPresent()) text += QStringLiteral("　读卡器已断开");
    if (!gate_.captureLimit().isEmpty())
        text += u'\n' + gate_.captureLimit() +
                QStringLiteral("（管理员以 root 运行 tallyra-cli reader allow 读卡器ID 可授权）");
    capture_->setText(text);
}

void SettingsPanel::ChooseReader(int index) {
    if (index < 0 || index >= readers_->count()) return;
    const QStringList id = readers_->itemData(index).toStringList();
    const ReaderChoice choice{id.value(0), id.value(1)};
    if (choice == gate_.choice()) return;
    if (!SaveReaderChoice(folder_, choice)) {
        notifier_.ShowNotice(QStringLiteral("读卡器选择未保存"));
        showReaders();
        return;
    }
    gate_.setChoice(choice);
    showReaders();
}

void SettingsPanel::showSettings() {
    const Settings& s = settings_.get();
    loading_ = true;
    for (int k = 0; k < Settings::kOptionCount; ++k) options_[size_t(k)]->setChecked(s.option(k));
    for (int k = 0; k < 2; ++k) precision_[size_t(k)]->setCurrentIndex(s.yearsPrecision[size_t(k)]);
    loading_ = false;
    QFont sample = FontFromChoice(s.popupFont, DefaultPopupFont());
    sample_->setFont(sample);
    QPalette p = sample_->palette();
    p.setColor(QPalette::WindowText, ColourFromStored(s.popupColour));
    sample_->setPalette(p);
    QPalette sw = swatch_->palette();
    sw.setColor(QPalette::Window, ColourFromStored(s.popupColour));
    swatch_->setPalette(sw);
    gridFont_->setFont(FontFromChoice(s.gridFont, gridFont_->font()));
}

void SettingsPanel::SaveOptionBox(int k) {
    // Only the user's ticks are stored, not the ones the load sets.
    if (loading_ || !isVisible()) return;
    const bool ticked = options_[size_t(k)]->isChecked();
    if (settings_.setOption(k, ticked) != StoreResult::Stored) {
        // The box shows what the file holds.
        const QSignalBlocker quiet(options_[size_t(k)]);
        options_[size_t(k)]->setChecked(!ticked);
        notifier_.ShowFailure(NotSavedText(QStringLiteral("设置")));
    }
}

void SettingsPanel::SavePrecision(int k) {
    if (loading_) return;
    const int index = precision_[size_t(k)]->currentIndex();
    if (settings_.setPrecision(k, index) != StoreResult::Stored) {
        const QSignalBlocker quiet(precision_[size_t(k)]);
        precision_[size_t(k)]->setCurrentIndex(settings_.get().yearsPrecision[size_t(k)]);
        notifier_.ShowFailure(NotSavedText(QStringLiteral("设置")));
    }
}

void SettingsPanel::ChooseGridFont() {
    const std::optional<QFont> chosen = dialogs_.font(gridFont_->font());
    if (!chosen) return;
    if (settings_.setGridFont(ChoiceFromFont(*chosen)) != StoreResult::Stored) {
        notifier_.ShowFailure(NotSavedText(QStringLiteral("表格字体")));
        return;
    }
    gridFont_->setFont(*chosen);
    if (applyGridFont_) applyGridFont_(*chosen);
}

void SettingsPanel::ChoosePopupFont() {
    const std::optional<QFont> chosen = dialogs_.font(sample_->font());
    if (!chosen) return;
    if (settings_.setPopupFont(ChoiceFromFont(*chosen)) != StoreResult::Stored) {
        notifier_.ShowFailure(NotSavedText(QStringLiteral("提示字体")));
        return;
    }
    sample_->setFont(*chosen);
    popups_.ApplyPopupFont(*chosen);
}

void SettingsPanel::ChoosePopupColour() {
    const std::optional<QColor> chosen =
        dialogs_.colour(sample_->palette().color(QPalette::WindowText));
    if (!chosen) return;
    if (settings_.setPopupColour(StoredFromColour(*chosen)) != StoreResult::Stored) {
        notifier_.ShowFailure(NotSavedText(QStringLiteral("提示颜色")));
        return;
    }
    QPalette p = sample_->palette();
    p.setColor(QPalette::WindowText, *chosen);
    sample_->setPalette(p);
    QPalette sw = swatch_->palette();
    sw.setColor(QPalette::Window, *chosen);
    swatch_->setPalette(sw);
    popups_.ApplyPopupColour(*chosen);
}

void SettingsPanel::ChangeAdminPassword() {
    Notifier& n = notifier_;
    const QString old = passwords_[0]->text();
    const QString fresh = passwords_[1]->text();
    if (passwords_[2]->text() != fresh) {
        n.ShowNotice(QStringLiteral("二次密码输入有误，请重新输入"));
        return;
    }
    // The stored field holds 24 bytes and the column widths follow it.
    if (EncodeGbk(fresh).size() > 24) {
        n.ShowNotice(QStringLiteral("长度超出范围"));
        return;
    }
    if (old != settings_.get().adminPassword) {
        n.ShowNotice(QStringLiteral("旧密码输入有误"));
        clearPasswords();
        return;
    }
    if (settings_.setAdminPassword(fresh) != StoreResult::Stored) {
        n.ShowFailure(NotSavedText(QStringLiteral("密码")));
        return;
    }
    n.ShowNotice(QStringLiteral("密码修改成功"));
    clearPasswords();
}

void SettingsPanel::SaveLeaveKinds() {
    QStringList kinds;
    for (const QString& k :
         leaveKinds_->text().split(QRegularExpression(QStringLiteral("[、,，\\s]+"))))
        if (!k.isEmpty()) kinds << k;
    if (kinds.isEmpty()) {
        notifier_.ShowNotice(QStringLiteral("请至少填写一个请假类别"));
        return;
    }
    switch (leave_.setKinds(kinds)) {
        case StoreResult::Stored:
            notifier_.ShowNotice(QStringLiteral("请假类别已保存"));
            break;
        case StoreResult::TooLong:
            notifier_.ShowNotice(QStringLiteral("每个类别最多6个汉字，最多16个类别"));
            return;
        case StoreResult::Failed:
            notifier_.ShowFailure(NotSavedText(QStringLiteral("请假类别")));
            break;
    }
    leaveKinds_->setText(leave_.kinds().join(u'、'));
}

void SettingsPanel::clearPasswords() {
    for (QLineEdit* e : passwords_) e->clear();
}

}  // namespace tallyra
