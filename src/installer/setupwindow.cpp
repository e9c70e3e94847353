#include "installer/setupwindow.h"

#include <unistd.h>

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDeadlineTimer>
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
#include <QThread>
#include <QVBoxLayout>

#include "installer/folderlist.h"
#include "installer/listfile.h"
#include "installer/setupdialogs.h"
#include "installer/setupplatform.h"

namespace tallyra {

namespace {

const QString kTitle = QStringLiteral("提示");
const QString kSection = QStringLiteral("set");

// A folder the user may create `path` in: the nearest existing folder along it is writable.
bool CanCreateBelow(const QString& path) {
    QString at = path;
    while (!at.isEmpty() && !QFileInfo::exists(at)) at = QFileInfo(at).absolutePath();
    return QFileInfo(at).isDir() && ::access(QFile::encodeName(at).constData(), W_OK | X_OK) == 0;
}

// The nearest folder along `path` that exists, for showing in the folder list.
QString ExistingFolderAlong(const QString& path) {
    QString at = path;
    while (at != u"/" && !QFileInfo(at).isDir()) at = QFileInfo(at).absolutePath();
    return at;
}

QString ManifestHeading(const AppConfig& config) {
    return config.appName + u' ' + FormatVersion(config.appVersion) +
           QStringLiteral(
               "：安装程序写入的文件。卸载时只删除这里列出的文件和快捷方式以及程序自己的数据"
               "文件，文件夹中的其他文件保留。");
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

QString SetupWindow::settingsApplication() const {
    return QStringLiteral("BRIMLO_") + config_.appName;
}

QString SetupWindow::dataFolder() const { return ctx_.setupFolder + QStringLiteral("/data"); }

QString SetupWindow::setting(const QString& key, const QString& fallback) {
    return ctx_.platform->readSetting(settingsApplication(), kSection, key, fallback);
}

bool SetupWindow::writeSetting(const QString& key, const QString& value) {
    return ctx_.platform->writeSetting(settingsApplication(), kSection, key, value);
}

// The per-user place for programs; the home folder itself when that cannot be made.
QString SetupWindow::defaultTarget() const {
    const QString home = ctx_.platform->homeFolder();
    const QString opt = home + QStringLiteral("/.local/opt");
    return NormaliseFolderText((CanCreateBelow(opt) ? opt : home) + u'/' + config_.appName);
}

bool SetupWindow::Form_Load() {
    const AppConfigResult read = ReadAppConfig(dataFolder() + QStringLiteral("/appname.txt"));
    if (read.status != AppConfigStatus::Ok) {
        ctx_.dialogs->message(read.status == AppConfigStatus::Missing
                                  ? QStringLiteral("未找到配置文件，安装退出!")
                                  : QStringLiteral("配置文件有误，安装退出!"),
                              kTitle);
        return false;
    }
    config_ = read.config;
    const QString v = FormatVersion(config_.appVersion);
    label1_->setText(QStringLiteral("欢迎使用") + config_.appName + QStringLiteral("Ver:") + v +
                     QStringLiteral("安装向导"));
    setWindowTitle(QStringLiteral("安装") + config_.appName + QStringLiteral(" 版本:") + v);
    check1_[1]->setText(QStringLiteral("运行") + config_.appName);

    showList(SearchFolder(dataFolder()));
    for (const QString& f : std::as_const(files_))
        dataNames_.append(f.mid(dataFolder().size() + 1));

    // The drive holding the home folder, its folder list at the proposal's parent.
    {
        const QSignalBlocker block(drive1_);
        drive1_->clear();
        for (const SetupPlatform::Volume& vol : ctx_.platform->volumes())
            drive1_->addItem(vol.label.isEmpty() || vol.label == vol.root
                                 ? vol.root
                                 : vol.root + QStringLiteral(" [") + vol.label + u']',
                             vol.root);
    }
    const QString target = defaultTarget();
    const int homeDrive = drive1_->findData(QStorageInfo(ctx_.platform->homeFolder()).rootPath());
    drive1_->setCurrentIndex(homeDrive >= 0 ? homeDrive : 0);
    if (drive1_->currentIndex() >= 0 && driveIndex_ < 0) Drive1_Change(drive1_->currentIndex());
    {
        const QSignalBlocker block(dir1_);
        dir1_->setPath(ExistingFolderAlong(QFileInfo(target).absolutePath()));
    }
    text1_->setText(target);
    command1_->setFocus();

    const qint16 installed =
        ToInteger16(setting(QStringLiteral("ver"), QStringLiteral("-1"))).value_or(0);
    if (installed > 0) {
        installedVersion_ = installed;
        label5_->setText(QStringLiteral("当前版本:") + FormatVersion(installed));
        command1_->setText(QStringLiteral("升级"));
        text1_->setText(setting(QStringLiteral("path"), QString()));
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
    text1_->setText(path + u'/' + config_.appName);
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

void SetupWindow::runList(const QString& name, const std::function<void(const QString&)>& action) {
    for (const QString& item : ReadListFile(dataFolder() + u'/' + name))
        if (!item.trimmed().isEmpty()) action(item);
}

Places SetupWindow::places() const {
    return {ctx_.platform->homeFolder(), ctx_.platform->systemRoot(), dataFolder()};
}

void SetupWindow::clearRecord() {
    writeSetting(QStringLiteral("ver"), QStringLiteral("0"));
    writeSetting(QStringLiteral("path"), QString());
}

bool SetupWindow::programEnded(const QString& folder, const QString& action) {
    const QString program = programIn(folder);
    const QString status = folder + QStringLiteral("/shuju.dat");
    const QList<qint64> pids = ctx_.platform->processesUsing(program, status);
    if (pids.isEmpty() && !IsFileLocked(status)) return true;
    const QString running =
        config_.appName + QStringLiteral("正在") + folder + QStringLiteral("中运行。");
    const QString retry = QStringLiteral("请先退出它，再点击[") + action + QStringLiteral("]。");
    if (pids.isEmpty()) {
        ctx_.dialogs->message(running + retry, kTitle);
        return false;
    }
    if (!ctx_.dialogs->confirm(running + QStringLiteral("要结束正在运行的") + config_.appName +
                                   QStringLiteral("（它会保存数据后退出）并继续") + action +
                                   QStringLiteral("吗？"),
                               kTitle))
        return false;
    for (const qint64 pid : pids) ctx_.platform->endProcess(pid);
    setBusy(true);
    const QDeadlineTimer deadline(10000);
    bool ended = false;
    while (!ended && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 100);
        ended = ctx_.platform->processesUsing(program, status).isEmpty() && !IsFileLocked(status);
        if (!ended) QThread::msleep(100);
    }
    setBusy(false);
    if (!ended)
        ctx_.dialogs->message(config_.appName + QStringLiteral("没有退出，") + folder +
                                  QStringLiteral("中没有任何改动。") + retry,
                              kTitle);
    return ended;
}

void SetupWindow::install() {
    const QString typed = text1_->text();
    if (const std::optional<QString> refusal = TargetRefusal(typed, places())) {
        ctx_.dialogs->message(
            *refusal + (text1_->isEnabled() ? QStringLiteral("\n没有安装任何文件，请选择其他位置。")
                                            : QStringLiteral("\n没有安装任何文件。点击[卸载]"
                                                             "可以清除这条安装记录。")),
            kTitle);
        return;
    }
    const QString target = QDir::cleanPath(typed);
    const QString data = dataFolder();
    const QString home = ctx_.platform->homeFolder();
    if (installedVersion_ > config_.appVersion &&
        !ctx_.dialogs->confirm(
            QStringLiteral("已安装的版本较新（当前版本:") + FormatVersion(installedVersion_) +
                QStringLiteral("，本安装程序的版本:") + FormatVersion(config_.appVersion) +
                QStringLiteral("）。\n仍要用这个较旧的版本替换它吗？"),
            kTitle))
        return;
    if (!programEnded(target, command1_->text())) return;

    setBusy(true);
    const QStringList madeParents = CreateFolderPath(target);
    if (!CanWriteFolder(target)) {
        for (auto it = madeParents.crbegin(); it != madeParents.crend(); ++it) QDir().rmdir(*it);
        setBusy(false);
        ctx_.dialogs->message(QStringLiteral("无法写入安装位置：") + target +
                                  QStringLiteral("\n没有安装任何文件，请选择其他位置。"),
                              kTitle);
        return;
    }

    // An earlier install's list stays: what it made is still the program's to remove.
    const QString manifestPath = InstallManifest::pathIn(target, config_.appName);
    InstallManifest manifest;
    InstallManifest::read(manifestPath, manifest);
    manifest.files.removeIf([&target](const QString& relative) {
        const QFileInfo f(target + u'/' + relative);
        return !f.exists() && !f.isSymLink();
    });
    manifest.parents += madeParents;
    for (const QString& made : MkFolder(data, target + u'/', data.size()))
        manifest.folders.append(made.mid(target.size() + 1));
    // The program, and anything A.txt starts, must run even from a tree that lost its modes.
    QSet<QString> executables = {config_.appName};
    for (const QString& item : ReadListFile(data + QStringLiteral("/A.txt"))) {
        const QString path =
            QDir::cleanPath(ctx_.setupFolder + u'/' + QString(item).replace(u'\\', u'/'));
        if (path.startsWith(data + u'/')) executables.insert(path.mid(data.size() + 1));
    }
    int failed = 0;
    for (const QString& file : std::as_const(files_)) {
        const QString relative = file.mid(data.size() + 1);
        if (CopyFileOver(file, target + u'/' + relative, executables.contains(relative)))
            manifest.files.append(relative);
        else
            ++failed;
        QCoreApplication::processEvents();
    }
    manifest.files.removeDuplicates();
    manifest.folders.removeDuplicates();
    manifest.parents.removeDuplicates();
    const bool listed = manifest.write(manifestPath, ManifestHeading(config_));

    // The system tree goes only into folders that already exist there.
    const QString systemTree = data + QStringLiteral("/C/");
    showList(SearchFolder(data + QStringLiteral("/C")));
    for (const QString& file : std::as_const(files_))
        CopyFileOver(file, NormaliseFolderText(ctx_.platform->systemRoot() + u'/' +
                                               file.mid(systemTree.size())));

    runList(QStringLiteral("K.txt"),
            [&](const QString& item) { DeleteMatching(item, ctx_.setupFolder, home); });
    runList(QStringLiteral("S.txt"),
            [&](const QString& item) { ctx_.platform->startCommand(item, ctx_.setupFolder); });
    QStringList notStarted;
    runList(QStringLiteral("A.txt"), [&](const QString& item) {
        QString program = item;
        program.replace(u'\\', u'/');
        if (!ctx_.platform->startProgram(ctx_.setupFolder + u'/' + program, ctx_.setupFolder))
            notStarted.append(item);
    });

    const bool recorded =
        writeSetting(QStringLiteral("ver"), QString::number(config_.appVersion)) &&
        writeSetting(QStringLiteral("path"), target);

    picture1_->hide();
    label4_->show();
    QString done = QStringLiteral("安装完成");
    if (failed > 0)
        done = QStringLiteral("安装未全部完成：有%1个文件未能复制到").arg(failed) + target;
    const QString program = programIn(target);
    if (!QFileInfo(program).isExecutable())
        done += u'\n' + program +
                QStringLiteral("不能运行（这个位置不允许运行程序？），请卸载后换一个位置安装。");
    for (const QString& item : std::as_const(notStarted))
        done += QStringLiteral("\n未能启动：") + item;
    if (!listed) done += QStringLiteral("\n文件清单未能写入，卸载时只能删除安装程序自带的文件。");
    if (!recorded) done += QStringLiteral("\n安装记录未能保存，以后的升级和卸载找不到这次安装。");
    ctx_.dialogs->message(done, kTitle);
    installed_ = true;
    target_ = target;
    manifest_ = manifest;
    command1_->setText(QStringLiteral("完成"));
    command1_->setEnabled(true);
    command3_->setEnabled(true);
    command2_->setEnabled(false);
    command1_->setFocus();  // disabling it while busy moved the focus away
}

void SetupWindow::finish() {
    const QString program = programIn(target_);
    QStringList problems;
    if (check1_[1]->isChecked() && !ctx_.platform->startProgram(program, target_))
        problems << QStringLiteral("未能启动") + program;
    QString icon = config_.appName.toLower();
    for (const char* suffix : {".svg", ".png"}) {
        const QString candidate = program + QLatin1String(suffix);
        if (QFileInfo(candidate).isFile()) {
            icon = candidate;
            break;
        }
    }
    const qsizetype entries = manifest_.entries.size();
    auto entry = [&](QCheckBox* box, const QString& folder, const QString& what) {
        if (!box->isChecked()) return;
        const QString path = folder + u'/' + config_.appName + QStringLiteral(".desktop");
        if (!WriteDesktopEntry(folder, config_.appName, program, icon, target_))
            problems << QStringLiteral("未能创建") + what + QStringLiteral("：") + path;
        else if (!manifest_.entries.contains(path))
            manifest_.entries.append(path);
    };
    entry(check1_[0], ctx_.platform->desktopFolder(), QStringLiteral("桌面快捷方式"));
    entry(check1_[2], ctx_.platform->applicationsFolder(), QStringLiteral("开始菜单"));
    if (manifest_.entries.size() != entries &&
        !manifest_.write(InstallManifest::pathIn(target_, config_.appName),
                         ManifestHeading(config_)))
        problems << QStringLiteral("文件清单未能写入，卸载时不会删除快捷方式。");
    if (!problems.isEmpty()) ctx_.dialogs->message(problems.join(u'\n'), kTitle);
    ctx_.quit();
}

void SetupWindow::Command3_Click() {
    const QString typed = text1_->text();
    const QString target = typed.isEmpty() ? QString() : QDir::cleanPath(typed);
    const QString app = config_.appName;
    const QString question =
        target.isEmpty()
            ? QStringLiteral("确定要删除吗？")
            : QStringLiteral("将从") + target + QStringLiteral("卸载") + app +
                  QStringLiteral(
                      "，并删除其中的考勤记录（人员名单、设置、签到状态和各年度的签到"
                      "记录），删除后无法恢复。文件夹中的其他文件保留。\n确定要删除吗？");
    if (!ctx_.dialogs->confirm(question, kTitle)) return;
    const QString home = ctx_.platform->homeFolder();
    if (!target.isEmpty()) {
        if (const std::optional<QString> refusal = UninstallRefusal(typed, app, places())) {
            if (ctx_.dialogs->confirm(
                    *refusal + QStringLiteral("\n没有删除任何文件。\n要清除这条安装"
                                              "记录吗？清除后文件夹保持原样，安装"
                                              "程序不再提供升级和卸载。"),
                    kTitle))
                clearRecord();
            ctx_.quit();
            return;
        }
        if (!programEnded(target, command3_->text())) return;
    }
    runList(QStringLiteral("D.txt"),
            [&](const QString& item) { DeleteMatching(item, ctx_.setupFolder, home); });
    if (target.isEmpty()) {
        ctx_.dialogs->message(QStringLiteral("未找到配制文件！"), kTitle);
        ctx_.quit();
        return;
    }
    clearRecord();

    // Without a manifest (an install older than it) the shipped tree says what is ours.
    const QString manifestPath = InstallManifest::pathIn(target, app);
    InstallManifest manifest;
    Ownership owned;
    if (InstallManifest::read(manifestPath, manifest)) {
        owned.files = QSet<QString>(manifest.files.cbegin(), manifest.files.cend());
        owned.folders = QSet<QString>(manifest.folders.cbegin(), manifest.folders.cend());
    } else {
        owned.files = QSet<QString>(dataNames_.cbegin(), dataNames_.cend());
        for (const QString& name : std::as_const(dataNames_))
            for (qsizetype at = name.indexOf(u'/'); at > 0; at = name.indexOf(u'/', at + 1))
                owned.folders.insert(name.left(at));
        for (const QString& folder :
             {ctx_.platform->desktopFolder(), ctx_.platform->applicationsFolder()})
            manifest.entries.append(folder + u'/' + app + QStringLiteral(".desktop"));
    }
    owned.files.insert(QFileInfo(manifestPath).fileName());
    for (const QString& entry : std::as_const(manifest.entries))
        if (IsOwnDesktopEntry(entry, programIn(target))) QFile::remove(entry);
    const QStringList kept = DelFolder(target, owned);
    if (kept.isEmpty()) {
        QStringList made = manifest.parents;
        std::sort(made.begin(), made.end(),
                  [](const QString& a, const QString& b) { return a.size() > b.size(); });
        for (const QString& folder : std::as_const(made))
            if (target == folder || target.startsWith(folder + u'/')) QDir().rmdir(folder);
    }
    QString done = QStringLiteral("完成");
    if (!kept.isEmpty())
        done += u'\n' + target + QStringLiteral("已保留，因为其中还有不是") + app +
                QStringLiteral("安装的文件：") + kept.mid(0, 5).join(QStringLiteral("、")) +
                (kept.size() > 5 ? QStringLiteral(" 等%1项").arg(kept.size()) : QString());
    ctx_.dialogs->message(done, kTitle);
    ctx_.quit();
}

}  // namespace tallyra
