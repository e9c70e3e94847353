#include "installer/installsteps.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <QThread>
#include <algorithm>

#include "installer/listfile.h"
#include "installer/setupdialogs.h"
#include "installer/setupfiles.h"
#include "installer/setupplatform.h"

namespace tallyra {

namespace {

const QString kSection = QStringLiteral("set");

QString SettingsApplication(const SetupPlan& plan) {
    return QStringLiteral("BRIMLO_") + plan.config.appName;
}

QString ReadSetting(SetupPlatform& platform, const SetupPlan& plan, const QString& key,
                    const QString& fallback) {
    return platform.readSetting(SettingsApplication(plan), kSection, key, fallback);
}

bool WriteSetting(SetupPlatform& platform, const SetupPlan& plan, const QString& key,
                  const QString& value) {
    return platform.writeSetting(SettingsApplication(plan), kSection, key, value);
}

void Busy(const SetupPlan& plan, bool busy) {
    if (plan.busy) plan.busy(busy);
}

Places PlacesOf(SetupPlatform& platform, const SetupPlan& plan) {
    return {platform.homeFolder(), platform.systemRoot(), plan.dataFolder()};
}

void RunList(const SetupPlan& plan, const QString& name,
             const std::function<void(const QString&)>& action) {
    for (const QString& item : ReadListFile(plan.dataFolder() + u'/' + name))
        if (!item.trimmed().isEmpty()) action(item);
}

QString ManifestHeading(const AppConfig& config) {
    return config.appName + u' ' + FormatVersion(config.appVersion) +
           QStringLiteral(
               "：安装程序写入的文件。卸载时只删除这里列出的文件和快捷方式以及程序自己的数据"
               "文件，文件夹中的其他文件保留。");
}

// True once no copy of the program runs from or on `folder`; asks to end a running one
// and waits for it. False (after telling the user) when it still runs.
bool EndRunningCopy(SetupPlatform& platform, SetupDialogs& dialogs, const SetupPlan& plan,
                    const QString& folder, const QString& action) {
    const QString app = plan.config.appName;
    const QString program = plan.programIn(folder);
    const QString status = folder + QStringLiteral("/shuju.dat");
    const QList<qint64> pids = platform.processesUsing(program, status);
    if (pids.isEmpty() && !platform.isLocked(status)) return true;
    const QString running = app + QStringLiteral("正在") + folder + QStringLiteral("中运行。");
    const QString retry = QStringLiteral("请先退出它，再点击[") + action + QStringLiteral("]。");
    if (pids.isEmpty()) {
        dialogs.message(running + retry, SetupTitle());
        return false;
    }
    if (!dialogs.confirm(running + QStringLiteral("要结束正在运行的") + app +
                             QStringLiteral("（它会保存数据后退出）并继续") + action +
                             QStringLiteral("吗？"),
                         SetupTitle()))
        return false;
    for (const qint64 pid : pids) platform.endProcess(pid);
    Busy(plan, true);
    const QDeadlineTimer deadline(10000);
    bool ended = false;
    while (!ended && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 100);
        ended = platform.processesUsing(program, status).isEmpty() && !platform.isLocked(status);
        if (!ended) QThread::msleep(100);
    }
    Busy(plan, false);
    if (!ended)
        dialogs.message(app + QStringLiteral("没有退出，") + folder +
                            QStringLiteral("中没有任何改动。") + retry,
                        SetupTitle());
    return ended;
}

}  // namespace

QString SetupTitle() { return QStringLiteral("提示"); }

QString SetupPlan::dataFolder() const { return setupFolder + QStringLiteral("/data"); }

QString SetupPlan::programIn(const QString& folder) const {
    return folder + u'/' + ProgramFileName(config.appName);
}

SetupLoad LoadSetup(SetupPlatform& platform, const QString& setupFolder) {
    SetupLoad load;
    load.plan.setupFolder = QDir::cleanPath(QDir(setupFolder).absolutePath());
    const AppConfigResult read =
        ReadAppConfig(load.plan.dataFolder() + QStringLiteral("/appname.txt"));
    if (read.status != AppConfigStatus::Ok) {
        load.failure = read.status == AppConfigStatus::Missing
                           ? QStringLiteral("未找到配置文件，安装退出!")
                           : QStringLiteral("配置文件有误，安装退出!");
        load.plan = {};
        return load;
    }
    SetupPlan& plan = load.plan;
    plan.config = read.config;
    plan.dataFiles = SearchFolder(plan.dataFolder());
    const qint16 installed =
        ToInteger16(ReadSetting(platform, plan, QStringLiteral("ver"), QStringLiteral("-1")))
            .value_or(0);
    if (installed > 0) {
        plan.installedVersion = installed;
        plan.installedPath = ReadSetting(platform, plan, QStringLiteral("path"), QString());
    }
    return load;
}

QString ProposedTarget(SetupPlatform& platform, const SetupPlan& plan) {
    return NormaliseFolderText(platform.programsFolder() + u'/' + plan.config.appName);
}

InstallResult Install(SetupPlatform& platform, SetupDialogs& dialogs, const SetupPlan& plan,
                      const InstallRequest& request) {
    InstallResult result;
    const QString& typed = request.target;
    if (const std::optional<QString> refusal = TargetRefusal(typed, PlacesOf(platform, plan))) {
        result.outcome = InstallResult::Outcome::Refused;
        result.message =
            *refusal + (request.fixed ? QStringLiteral("\n没有安装任何文件。点击[卸载]"
                                                       "可以清除这条安装记录。")
                                      : QStringLiteral("\n没有安装任何文件，请选择其他位置。"));
        return result;
    }
    const QString target = QDir::cleanPath(typed);
    const QString data = plan.dataFolder();
    const QString home = platform.homeFolder();
    const AppConfig& config = plan.config;
    result.target = target;
    if (plan.installedVersion > config.appVersion &&
        !dialogs.confirm(
            QStringLiteral("已安装的版本较新（当前版本:") + FormatVersion(plan.installedVersion) +
                QStringLiteral("，本安装程序的版本:") + FormatVersion(config.appVersion) +
                QStringLiteral("）。\n仍要用这个较旧的版本替换它吗？"),
            SetupTitle()))
        return result;
    if (!EndRunningCopy(platform, dialogs, plan, target, request.action)) return result;

    Busy(plan, true);
    const QStringList madeParents = CreateFolderPath(target);
    if (!CanWriteFolder(target)) {
        for (auto it = madeParents.crbegin(); it != madeParents.crend(); ++it) QDir().rmdir(*it);
        Busy(plan, false);
        result.outcome = InstallResult::Outcome::Failed;
        result.message = QStringLiteral("无法写入安装位置：") + target +
                         QStringLiteral("\n没有安装任何文件，请选择其他位置。");
        return result;
    }

    // An earlier install's list stays: what it made is still the program's to remove.
    const QString manifestPath = InstallManifest::pathIn(target, config.appName);
    InstallManifest& manifest = result.manifest;
    InstallManifest::read(manifestPath, manifest);
    manifest.files.removeIf([&target](const QString& relative) {
        const QFileInfo f(target + u'/' + relative);
        return !f.exists() && !f.isSymLink();
    });
    manifest.parents += madeParents;
    for (const QString& made : MkFolder(data, target + u'/', data.size()))
        manifest.folders.append(made.mid(target.size() + 1));
    // The program, and anything A.txt starts, must run even from a tree that lost its modes.
    QSet<QString> executables = {ProgramFileName(config.appName)};
    for (const QString& item : ReadListFile(data + QStringLiteral("/A.txt"))) {
        const QString path =
            QDir::cleanPath(plan.setupFolder + u'/' + QString(item).replace(u'\\', u'/'));
        if (path.startsWith(data + u'/')) executables.insert(path.mid(data.size() + 1));
    }
    for (const QString& file : std::as_const(plan.dataFiles)) {
        const QString relative = file.mid(data.size() + 1);
        if (CopyFileOver(file, target + u'/' + relative, executables.contains(relative)))
            manifest.files.append(relative);
        else
            result.notCopied.append(relative);
        QCoreApplication::processEvents();
    }
    manifest.files.removeDuplicates();
    manifest.folders.removeDuplicates();
    manifest.parents.removeDuplicates();
    result.listed = manifest.write(manifestPath, ManifestHeading(config));

    // The system tree goes only into folders that already exist there.
    const QString systemTree = data + QStringLiteral("/C/");
    result.systemFiles = SearchFolder(data + QStringLiteral("/C"));
    for (const QString& file : std::as_const(result.systemFiles))
        CopyFileOver(
            file, NormaliseFolderText(platform.systemRoot() + u'/' + file.mid(systemTree.size())));

    RunList(plan, QStringLiteral("K.txt"),
            [&](const QString& item) { DeleteMatching(item, plan.setupFolder, home); });
    RunList(plan, QStringLiteral("S.txt"),
            [&](const QString& item) { platform.startCommand(item, plan.setupFolder); });
    RunList(plan, QStringLiteral("A.txt"), [&](const QString& item) {
        QString program = item;
        program.replace(u'\\', u'/');
        if (!platform.startProgram(plan.setupFolder + u'/' + program, plan.setupFolder))
            result.notStarted.append(item);
    });

    result.recorded =
        WriteSetting(platform, plan, QStringLiteral("ver"), QString::number(config.appVersion)) &&
        WriteSetting(platform, plan, QStringLiteral("path"), target);

    result.outcome = InstallResult::Outcome::Installed;
    QString done = QStringLiteral("安装完成");
    if (!result.notCopied.isEmpty())
        done = QStringLiteral("安装未全部完成：有%1个文件未能复制到").arg(result.notCopied.size()) +
               target;
    const QString program = plan.programIn(target);
    if (!QFileInfo(program).isExecutable())
        done += u'\n' + program +
                QStringLiteral("不能运行（这个位置不允许运行程序？），请卸载后换一个位置安装。");
    for (const QString& item : std::as_const(result.notStarted))
        done += QStringLiteral("\n未能启动：") + item;
    if (!result.listed)
        done += QStringLiteral("\n文件清单未能写入，卸载时只能删除安装程序自带的文件。");
    if (!result.recorded)
        done += QStringLiteral("\n安装记录未能保存，以后的升级和卸载找不到这次安装。");
    result.message = done;
    return result;
}

FinishResult Finish(SetupPlatform& platform, const SetupPlan& plan, const FinishRequest& request) {
    const QString app = plan.config.appName;
    const QString program = plan.programIn(request.target);
    FinishResult result{request.manifest, {}};
    QStringList problems;
    if (request.run && !platform.startProgram(program, request.target))
        problems << QStringLiteral("未能启动") + program;
    InstallManifest& manifest = result.manifest;
    const qsizetype entries = manifest.entries.size();
    auto launcher = [&](bool wanted, const QString& folder, const QString& what) {
        if (!wanted) return;
        const QString path = platform.launcherPath(folder, app);
        if (!platform.writeLauncher(folder, app, program, request.target))
            problems << QStringLiteral("未能创建") + what + QStringLiteral("：") + path;
        else if (!manifest.entries.contains(path))
            manifest.entries.append(path);
    };
    launcher(request.desktop, platform.desktopFolder(), QStringLiteral("桌面快捷方式"));
    launcher(request.menu, platform.applicationsFolder(), QStringLiteral("开始菜单"));
    if (manifest.entries.size() != entries &&
        !manifest.write(InstallManifest::pathIn(request.target, app), ManifestHeading(plan.config)))
        problems << QStringLiteral("文件清单未能写入，卸载时不会删除快捷方式。");
    result.message = problems.join(u'\n');
    return result;
}

QString UninstallQuestion(const SetupPlan& plan, const QString& typed) {
    if (typed.isEmpty()) return QStringLiteral("确定要删除吗？");
    return QStringLiteral("将从") + QDir::cleanPath(typed) + QStringLiteral("卸载") +
           plan.config.appName +
           QStringLiteral(
               "，并删除其中的考勤记录（人员名单、设置、签到状态和各年度的签到"
               "记录），删除后无法恢复。文件夹中的其他文件保留。\n确定要删除吗？");
}

UninstallResult Uninstall(SetupPlatform& platform, SetupDialogs& dialogs, const SetupPlan& plan,
                          const QString& typed, const QString& action) {
    UninstallResult result;
    const QString target = typed.isEmpty() ? QString() : QDir::cleanPath(typed);
    const QString app = plan.config.appName;
    const QString home = platform.homeFolder();
    if (!target.isEmpty()) {
        if (const std::optional<QString> refusal =
                UninstallRefusal(typed, app, PlacesOf(platform, plan))) {
            result.outcome = UninstallResult::Outcome::Refused;
            result.message = *refusal + QStringLiteral(
                                            "\n没有删除任何文件。\n要清除这条安装"
                                            "记录吗？清除后文件夹保持原样，安装"
                                            "程序不再提供升级和卸载。");
            return result;
        }
        if (!EndRunningCopy(platform, dialogs, plan, target, action)) return result;
    }
    RunList(plan, QStringLiteral("D.txt"),
            [&](const QString& item) { DeleteMatching(item, plan.setupFolder, home); });
    if (target.isEmpty()) {
        result.outcome = UninstallResult::Outcome::NoFolder;
        result.message = QStringLiteral("未找到配制文件！");
        return result;
    }
    ClearRecord(platform, plan);

    // Without a manifest (an install older than it) the shipped tree says what is ours.
    const QString manifestPath = InstallManifest::pathIn(target, app);
    InstallManifest manifest;
    Ownership owned;
    if (InstallManifest::read(manifestPath, manifest)) {
        owned.files = QSet<QString>(manifest.files.cbegin(), manifest.files.cend());
        owned.folders = QSet<QString>(manifest.folders.cbegin(), manifest.folders.cend());
    } else {
        const QString data = plan.dataFolder();
        for (const QString& file : std::as_const(plan.dataFiles)) {
            const QString name = file.mid(data.size() + 1);
            owned.files.insert(name);
            for (qsizetype at = name.indexOf(u'/'); at > 0; at = name.indexOf(u'/', at + 1))
                owned.folders.insert(name.left(at));
        }
        for (const QString& folder : {platform.desktopFolder(), platform.applicationsFolder()})
            manifest.entries.append(platform.launcherPath(folder, app));
    }
    owned.files.insert(QFileInfo(manifestPath).fileName());
    for (const QString& entry : std::as_const(manifest.entries))
        if (platform.isOwnLauncher(entry, plan.programIn(target))) QFile::remove(entry);
    result.kept = DelFolder(target, owned);
    const QStringList& kept = result.kept;
    if (kept.isEmpty()) {
        QStringList made = manifest.parents;
        std::sort(made.begin(), made.end(),
                  [](const QString& a, const QString& b) { return a.size() > b.size(); });
        for (const QString& folder : std::as_const(made))
            if (target == folder || target.startsWith(folder + u'/')) QDir().rmdir(folder);
    }
    result.outcome = UninstallResult::Outcome::Removed;
    result.message = QStringLiteral("完成");
    if (!kept.isEmpty())
        result.message +=
            u'\n' + target + QStringLiteral("已保留，因为其中还有不是") + app +
            QStringLiteral("安装的文件：") + kept.mid(0, 5).join(QStringLiteral("、")) +
            (kept.size() > 5 ? QStringLiteral(" 等%1项").arg(kept.size()) : QString());
    return result;
}

void ClearRecord(SetupPlatform& platform, const SetupPlan& plan) {
    WriteSetting(platform, plan, QStringLiteral("ver"), QStringLiteral("0"));
    WriteSetting(platform, plan, QStringLiteral("path"), QString());
}

}  // namespace tallyra
