#include "installer/setupwindow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStorageInfo>
#include <QStringListModel>
#include <QVBoxLayout>

#include "installer/folderlist.h"
#include "installer/setupdialogs.h"
#include "installer/setupfiles.h"
#include "installer/setupplatform.h"

namespace tallyra {

namespace {

// The nearest folder along `path` that exists, for showing in the folder list.
QString ExistingFolderAlong(const QString& path) {
    QString at = path;
    while (!QDir(at).isRoot() && !QFileInfo(at).isDir()) at = QFileInfo(at).absolutePath();
    return at;
}

}  // namespace

SetupWindow::SetupWindow(Context context, QWidget* parent)
    : QWidget(parent), ctx_(std::move(context)) {
    ctx_.setupFolder = QDir::cleanPath(QDir(ctx_.setupFolder).absolutePath());
    buildUi();
}

void SetupWindow::buildUi() {
    setObjectName(QStringLiteral("Form1"));
    auto* outer = new QVBoxLayout(this);

    label1_ = new QLabel(this);
    label1_->setObjectName(QStringLiteral("Label1"));
    QFont big = label1_->font();
    big.setPointSizeF(big.pointSizeF() * 1.3);
    big.setBold(true);
    label1_->setFont(big);
    outer->addWidget(label1_);
    label5_ = new QLabel(this);
    label5_->setObjectName(QStringLiteral("Label5"));
    outer->addWidget(label5_);

    picture1_ = new QWidget(this);
    picture1_->setObjectName(QStringLiteral("Picture1"));
    auto* panel = new QVBoxLayout(picture1_);
    panel->setContentsMargins(0, 0, 0, 0);
    auto* label2 = new QLabel(QStringLiteral("安装位置"), picture1_);
    label2->setObjectName(QStringLiteral("Label2"));
    panel->addWidget(label2);
    text1_ = new QLineEdit(QStringLiteral("D:\\Program Files"), picture1_);
    text1_->setObjectName(QStringLiteral("Text1"));
    panel->addWidget(text1_);
    auto* chooser = new QHBoxLayout;
    drive1_ = new QComboBox(picture1_);
    drive1_->setObjectName(QStringLiteral("Drive1"));
    dir1_ = new FolderList(picture1_);
    dir1_->setObjectName(QStringLiteral("Dir1"));
    auto* chooserLeft = new QVBoxLayout;
    chooserLeft->addWidget(drive1_);
    chooserLeft->addWidget(dir1_, 1);
    chooser->addLayout(chooserLeft, 1);
    list1_ = new QListView(picture1_);
    list1_->setObjectName(QStringLiteral("List1"));
    list1_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list1Model_ = new QStringListModel(this);
    list1_->setModel(list1Model_);
    chooser->addWidget(list1_, 1);
    panel->addLayout(chooser, 1);
    auto* label3 = new QLabel(
        QStringLiteral("如果您不是电脑专业用户，请按我们给的设置安装。 直接点击[安装]按纽。"),
        picture1_);
    label3->setObjectName(QStringLiteral("Label3"));
    label3->setWordWrap(true);
    panel->addWidget(label3);
    outer->addWidget(picture1_, 1);

    label4_ = new QLabel(QStringLiteral("请点击完成以结束安装"), this);
    label4_->setObjectName(QStringLiteral("Label4"));
    label4_->hide();
    outer->addWidget(label4_);
    const QString checks[3] = {QStringLiteral("创建桌面快捷方式"), QStringLiteral("运行"),
                               QStringLiteral("创建开始菜单")};
    for (int i = 0; i < 3; ++i) {
        check1_[i] = new QCheckBox(checks[i], this);
        check1_[i]->setObjectName(QStringLiteral("Check1_%1").arg(i));
        check1_[i]->setChecked(true);
        outer->addWidget(check1_[i]);
    }
    outer->addStretch();

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    command1_ = new QPushButton(QStringLiteral("安装"), this);
    command1_->setObjectName(QStringLiteral("Command1"));
    command1_->setDefault(true);
    command3_ = new QPushButton(QStringLiteral("卸载"), this);
    command3_->setObjectName(QStringLiteral("Command3"));
    command3_->hide();
    command2_ = new QPushButton(QStringLiteral("取消"), this);
    command2_->setObjectName(QStringLiteral("Command2"));
    buttons->addWidget(command1_);
    buttons->addWidget(command3_);
    buttons->addWidget(command2_);
    outer->addLayout(buttons);
    resize(640, 480);

    connect(command1_, &QPushButton::clicked, this, &SetupWindow::Command1_Click);
    connect(command3_, &QPushButton::clicked, this, &SetupWindow::Command3_Click);
    connect(command2_, &QPushButton::clicked, this, [this] { ctx_.quit(); });
    connect(drive1_, &QComboBox::currentIndexChanged, this, &SetupWindow::Drive1_Change);
    connect(dir1_, &FolderList::pathChanged, this, &SetupWindow::Dir1_Change);
    connect(text1_, &QLineEdit::textChanged, this, &SetupWindow::Text1_Change);
    // Enter in the target box does what the default button does.
    connect(text1_, &QLineEdit::returnPressed, this, [this] {
        if (command1_->isEnabled()) command1_->click();
    });
}

bool SetupWindow::Form_Load() {
    SetupLoad load = LoadSetup(*ctx_.platform, ctx_.setupFolder);
    if (!load.failure.isEmpty()) {
        ctx_.dialogs->message(load.failure, SetupTitle());
        return false;
    }
    plan_ = std::move(load.plan);
    plan_.busy = [this](bool busy) { setBusy(busy); };
    const QString app = plan_.config.appName;
    const QString v = FormatVersion(plan_.config.appVersion);
    label1_->setText(QStringLiteral("欢迎使用") + app + QStringLiteral("Ver:") + v +
                     QStringLiteral("安装向导"));
    setWindowTitle(QStringLiteral("安装") + app + QStringLiteral(" 版本:") + v);
    check1_[1]->setText(QStringLiteral("运行") + app);
    showList(plan_.dataFiles);

    // The drive list, its folder list at the proposal's parent.
    {
        const QSignalBlocker block(drive1_);
        drive1_->clear();
        for (const SetupPlatform::Volume& vol : ctx_.platform->volumes())
            drive1_->addItem(vol.label.isEmpty() || vol.label == vol.root
                                 ? vol.root
                                 : vol.root + QStringLiteral(" [") + vol.label + u']',
                             vol.root);
    }
    const QString target = ProposedTarget(*ctx_.platform, plan_);
    // The drive of the proposal (on Windows it may be D: or C:), else the home folder's.
    int drive = drive1_->findData(QStorageInfo(ExistingFolderAlong(target)).rootPath());
    if (drive < 0) drive = drive1_->findData(QStorageInfo(ctx_.platform->homeFolder()).rootPath());
    drive1_->setCurrentIndex(drive >= 0 ? drive : 0);
    if (drive1_->currentIndex() >= 0 && driveIndex_ < 0) Drive1_Change(drive1_->currentIndex());
    {
        const QSignalBlocker block(dir1_);
        dir1_->setPath(ExistingFolderAlong(QFileInfo(target).absolutePath()));
    }
    text1_->setText(target);
    command1_->setFocus();

    if (plan_.installedVersion > 0) {
        label5_->setText(QStringLiteral("当前版本:") + FormatVersion(plan_.installedVersion));
        command1_->setText(QStringLiteral("升级"));
        text1_->setText(plan_.installedPath);
        if (!text1_->text().isEmpty()) {
            text1_->setEnabled(false);
            drive1_->setEnabled(false);
            dir1_->setEnabled(false);
        }
        command3_->show();
    }
    return true;
}

void SetupWindow::showList(const QStringList& files) {
    files_ = files;
    list1Model_->setStringList(files_);
}

void SetupWindow::Drive1_Change(int index) {
    if (index < 0) return;
    const QString root = drive1_->itemData(index).toString();
    if (!ctx_.platform->isReady(root)) {
        // A drive with nothing to list: stay on the one that worked.
        const QSignalBlocker block(drive1_);
        drive1_->setCurrentIndex(driveIndex_);
        return;
    }
    driveIndex_ = index;
    // A drive choice always proposes its root, even when the list already showed it.
    if (QDir::cleanPath(root) == dir1_->path())
        Dir1_Change(dir1_->path());
    else
        dir1_->setPath(root);
}

void SetupWindow::Dir1_Change(const QString& path) {
    text1_->setText(path + u'/' + plan_.config.appName);
}

void SetupWindow::Text1_Change() {
    const QString text = text1_->text();
    const QString normal = NormaliseFolderText(text);
    if (normal == text) return;
    const bool selected = text1_->hasSelectedText();
    const int start = selected ? text1_->selectionStart() : text1_->cursorPosition();
    const int length = selected ? text1_->selectionLength() : 0;
    text1_->setText(normal);
    const int size = static_cast<int>(normal.size());
    const int at = std::min(start, size);
    if (length > 0)
        text1_->setSelection(at, std::min(length, size - at));
    else
        text1_->setCursorPosition(at);
}

void SetupWindow::Command1_Click() {
    if (installed_)
        finish();
    else
        install();
}

void SetupWindow::setBusy(bool busy) {
    command1_->setEnabled(!busy);
    command2_->setEnabled(!busy);
    command3_->setEnabled(!busy);
    picture1_->setEnabled(!busy);
}

void SetupWindow::install() {
    const InstallResult done = Install(*ctx_.platform, *ctx_.dialogs, plan_,
                                       {text1_->text(), !text1_->isEnabled(), command1_->text()});
    if (done.outcome != InstallResult::Outcome::Installed) {
        if (!done.message.isEmpty()) ctx_.dialogs->message(done.message, SetupTitle());
        return;
    }
    showList(done.systemFiles);
    picture1_->hide();
    label4_->show();
    ctx_.dialogs->message(done.message, SetupTitle());
    installed_ = true;
    install_ = done;
    command1_->setText(QStringLiteral("完成"));
    command1_->setEnabled(true);
    command3_->setEnabled(true);
    command2_->setEnabled(false);
    command1_->setFocus();  // disabling it while busy moved the focus away
}

void SetupWindow::finish() {
    const FinishResult done = Finish(*ctx_.platform, plan_,
                                     {install_.target, install_.manifest, check1_[1]->isChecked(),
                                      check1_[0]->isChecked(), check1_[2]->isChecked()});
    install_.manifest = done.manifest;
    if (!done.message.isEmpty()) ctx_.dialogs->message(done.message, SetupTitle());
    ctx_.quit();
}

void SetupWindow::Command3_Click() {
    const QString typed = text1_->text();
    if (!ctx_.dialogs->confirm(UninstallQuestion(plan_, typed), SetupTitle())) return;
    const UninstallResult done =
        Uninstall(*ctx_.platform, *ctx_.dialogs, plan_, typed, command3_->text());
    switch (done.outcome) {
        case UninstallResult::Outcome::Cancelled:
            return;
        case UninstallResult::Outcome::Refused:
            if (ctx_.dialogs->confirm(done.message, SetupTitle()))
                ClearRecord(*ctx_.platform, plan_);
            break;
        case UninstallResult::Outcome::NoFolder:
        case UninstallResult::Outcome::Removed:
            ctx_.dialogs->message(done.message, SetupTitle());
            break;
    }
    ctx_.quit();
}

}  // namespace tallyra
