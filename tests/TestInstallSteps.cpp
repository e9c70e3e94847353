#include <QDir>
#include <QHash>
#include <QTemporaryDir>
#include <QtTest>

#include "installer/installsteps.h"
#include "installer/setupdialogs.h"
#include "installer/setupfiles.h"
#include "installer/setupplatform.h"
#include "scratchfiles.h"

using namespace tallyra;
using tallyra::test::Names;
using tallyra::test::ReadFile;
using tallyra::test::ScriptedSetupDialogs;
using tallyra::test::WriteFile;

namespace {

// The real files in a scratch home and system root; settings, starts and the running
// program are make-believe, so no process outlives a test.
class ScratchPlatform final : public SystemSetupPlatform {
public:
    ScratchPlatform(QString home, QString systemRoot)
        : SystemSetupPlatform(std::move(systemRoot)), home_(std::move(home)) {}
    QString readSetting(const QString& application, const QString& section, const QString& key,
                        const QString& fallback) override {
        return settings.value(application + u'/' + section + u'/' + key, fallback);
    }
    bool writeSetting(const QString& application, const QString& section, const QString& key,
                      const QString& value) override {
        if (!settingsWork) return false;
        settings[application + u'/' + section + u'/' + key] = value;
        return true;
    }
    bool startProgram(const QString& program, const QString&) override {
        started << program;
        return !unstartable.contains(program);
    }
    bool startCommand(const QString& command, const QString&) override {
        started << "sh -c " + command;
        return true;
    }
    QList<qint64> processesUsing(const QString&, const QString&) override { return running; }
    bool endProcess(qint64 pid) override {
        ended << pid;
        running.removeAll(pid);
        return true;
    }
    bool isLocked(const QString&) override { return locked; }
    QString homeFolder() override { return home_; }
    QString programsFolder() override { return home_ + "/.local/opt"; }
    QString desktopFolder() override { return home_ + "/桌面"; }
    QString applicationsFolder() override { return home_ + "/.local/share/applications"; }

    QHash<QString, QString> settings;
    bool settingsWork = true;
    QStringList started, unstartable;
    QList<qint64> running, ended;
    bool locked = false;

private:
    QString home_;
};

// The program as the data tree ships it: "Tallyra", or "Tallyra.exe" on Windows.
const QString kProgram = ProgramFileName("Tallyra");

QStringList Sorted(QStringList list) {
    list.sort();
    return list;
}

}  // namespace

class TestInstallSteps : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void installUpgradeUninstall_data();
    void installUpgradeUninstall();
    void refused_data();
    void refused();
    void questionsBeforeInstalling_data();
    void questionsBeforeInstalling();
    void installReportsWhatFailed_data();
    void installReportsWhatFailed();

private:
    SetupPlan load() {
        SetupLoad loaded = LoadSetup(*platform_, setup_);
        if (!loaded.failure.isEmpty()) qFatal("%s", qPrintable(loaded.failure));
        loaded.plan.busy = [this](bool busy) { busy_ += busy ? u'+' : u'-'; };
        return loaded.plan;
    }
    QString setting(const QString& key) {
        return platform_->settings.value("BRIMLO_Tallyra/set/" + key, "<none>");
    }
    void record(const QString& ver, const QString& path) {
        platform_->settings["BRIMLO_Tallyra/set/ver"] = ver;
        platform_->settings["BRIMLO_Tallyra/set/path"] = path;
    }
    // "~" the scratch home, "@" the scratch folder.
    QString place(QString text) const {
        return text.replace("~", home_).replace("@", scratch_->path());
    }

    std::unique_ptr<QTemporaryDir> scratch_;
    QString home_, sys_, setup_, data_, busy_;
    std::unique_ptr<ScratchPlatform> platform_;
};

void TestInstallSteps::init() {
    scratch_ = std::make_unique<QTemporaryDir>();
    home_ = scratch_->filePath("home");
    sys_ = scratch_->filePath("sys");
    setup_ = scratch_->filePath("cdrom");
    data_ = setup_ + "/data";
    QDir().mkpath(home_);
    QDir().mkpath(sys_ + "/etc");  // sys/opt does not exist: its files are not copied
    WriteFile(data_ + "/appname.txt", "Tallyra\r\n101\r\n");
    WriteFile(data_ + "/" + kProgram, "#!/bin/sh\n", true);
    WriteFile(data_ + "/bin/x.dll", "dll");
    WriteFile(data_ + "/sound/a/b/c/deep.wav", "wav");
    WriteFile(data_ + "/C/etc/tallyra.conf", "conf");
    WriteFile(data_ + "/C/opt/never.txt", "never");
    WriteFile(data_ + "/K.txt", "~/old-*.log\r\n");
    WriteFile(data_ + "/S.txt", "echo s > s-ran.txt\r\n");
    WriteFile(data_ + "/A.txt", "tools\\hello.sh\r\n");
    WriteFile(data_ + "/D.txt", "~/leftover.txt\r\n");
    WriteFile(home_ + "/old-1.log", "x");
    WriteFile(home_ + "/notes.txt", "mine");
    platform_ = std::make_unique<ScratchPlatform>(home_, sys_);
    busy_.clear();
}

void TestInstallSteps::installUpgradeUninstall_data() {
    QTest::addColumn<QStringList>("foreign");  // put into the target by its user
    QTest::addColumn<QString>("message");      // at the uninstall, "@" the target
    QTest::newRow("folder of its own") << QStringList{} << "完成";
    QTest::newRow("foreign files stay")
        << QStringList{"thesis.txt", "sound/mine.wav"}
        << "完成\n@已保留，因为其中还有不是Tallyra安装的文件：thesis.txt、sound/mine.wav";
}

void TestInstallSteps::installUpgradeUninstall() {
    SetupPlan plan = load();
    QCOMPARE(plan.dataFiles.size(), 10);
    QCOMPARE(plan.installedVersion, qint16(0));
    QCOMPARE(ProposedTarget(*platform_, plan), home_ + "/.local/opt/Tallyra");
    ScriptedSetupDialogs dialogs;
    const QString target = home_ + "/apps/Tallyra";
    const QStringList homeBefore = Names(home_);

    InstallResult done = Install(*platform_, dialogs, plan, {target + "//", false, "安装"});
    QCOMPARE(done.message, "安装完成");
    QCOMPARE(int(done.outcome), int(InstallResult::Outcome::Installed));
    QCOMPARE(done.target, target);
    QVERIFY(dialogs.messages.isEmpty() && dialogs.questions.isEmpty());
    QCOMPARE(Sorted(Names(target)), Sorted(Names(data_) << "Tallyra.manifest"));
    QCOMPARE(done.manifest.parents, (QStringList{home_ + "/apps", target}));
    QCOMPARE(ReadFile(sys_ + "/etc/tallyra.conf"), QByteArray("conf"));
    QVERIFY(!QFileInfo::exists(sys_ + "/opt"));
    QVERIFY(!QFileInfo::exists(home_ + "/old-1.log"));
    QCOMPARE(platform_->started,
             (QStringList{"sh -c echo s > s-ran.txt", setup_ + "/tools/hello.sh"}));
    QCOMPARE(setting("ver"), "101");
    QCOMPARE(setting("path"), target);
    QCOMPARE(busy_, "+");

    platform_->started.clear();
    const FinishResult finished =
        Finish(*platform_, plan, {target, done.manifest, true, true, true});
    QCOMPARE(finished.message, "");
    QCOMPARE(platform_->started, QStringList{target + "/" + kProgram});
    const QStringList launchers{
        platform_->launcherPath(home_ + "/桌面", "Tallyra"),
        platform_->launcherPath(home_ + "/.local/share/applications", "Tallyra")};
    QCOMPARE(finished.manifest.entries, launchers);
    for (const QString& launcher : launchers)
        QVERIFY(platform_->isOwnLauncher(launcher, target + "/" + kProgram));

    // An upgrade that no longer ships bin/x.dll: the copy the first install left is still
    // the program's to remove.
    QFile::remove(data_ + "/bin/x.dll");
    WriteFile(data_ + "/appname.txt", "Tallyra\n102\n");
    plan = load();
    QCOMPARE(plan.installedVersion, qint16(101));
    QCOMPARE(plan.installedPath, target);
    done = Install(*platform_, dialogs, plan, {target, true, "升级"});
    QCOMPARE(done.message, "安装完成");
    QCOMPARE(setting("ver"), "102");
    QVERIFY(done.manifest.files.contains("bin/x.dll"));
    QCOMPARE(done.manifest.entries, launchers);

    QFETCH(QStringList, foreign);
    for (const QString& f : foreign) WriteFile(target + "/" + f, "mine");
    for (const char* f : {"Rw.dat", "shuju.dat", "adnt/sols/2026.dat"})
        WriteFile(target + "/" + f, "records");  // what the program writes while it is used
    WriteFile(home_ + "/leftover.txt", "D.txt");
    plan = load();
    const UninstallResult removed = Uninstall(*platform_, dialogs, plan, target, "卸载");
    QFETCH(QString, message);
    QCOMPARE(removed.message, message.replace("@", target));
    QCOMPARE(int(removed.outcome), int(UninstallResult::Outcome::Removed));
    QCOMPARE(removed.kept.size(), foreign.size());
    QVERIFY(dialogs.messages.isEmpty() && dialogs.questions.isEmpty());
    // What the user had stays, so does the folder around it; what the install made goes.
    QStringList left = homeBefore;
    left.removeAll("old-1.log");
    for (const QString& f : foreign) left << "apps/Tallyra/" + f;
    QCOMPARE(Sorted(Names(home_)), Sorted(left));
    QCOMPARE(QFileInfo::exists(home_ + "/apps"), !foreign.isEmpty());
    QCOMPARE(setting("ver"), "0");
    QCOMPARE(setting("path"), "");
}

void TestInstallSteps::refused_data() {
    QTest::addColumn<bool>("uninstall");
    QTest::addColumn<QString>("typed");  // "~" the scratch home, "@" the scratch folder
    QTest::addColumn<bool>("fixed");
    QTest::addColumn<QString>("message");
    QTest::newRow("install into home")
        << false << "~" << false
        << "不能使用主文件夹或它的上级文件夹：~\n没有安装任何文件，请选择其他位置。";
    QTest::newRow("upgrade of a recorded home")
        << false << "~/" << true
        << "不能使用主文件夹或它的上级文件夹：~/\n没有安装任何文件。点击[卸载]可以清除这条安装"
           "记录。";
    QTest::newRow("install, relative") << false << "apps/Tallyra" << false
                                       << "apps/Tallyra 不是完整的文件夹路径（" + FullPathHint() +
                                              "）。\n没有安装任何文件，请选择其他位置。";
    QTest::newRow("install into data") << false << "@/cdrom/data/bin" << false
                                       << "不能使用安装程序的data文件夹或其中的文件夹：@/cdrom/"
                                          "data/bin\n没有安装任何文件，请选择其他位置。";
    QTest::newRow("uninstall, no program inside")
        << true << "~/Documents" << false
        << "~/Documents 中没有Tallyra，不是它的安装文件夹。\n没有删除任何文件。\n要清除这条安装"
           "记录吗？清除后文件夹保持原样，安装程序不再提供升级和卸载。";
    QTest::newRow("uninstall of the system root")
        << true << "@/sys" << false
        << "不能使用文件系统的根目录：@/sys\n没有删除任何文件。\n要清除这条安装记录吗？清除后"
           "文件夹保持原样，安装程序不再提供升级和卸载。";
}

void TestInstallSteps::refused() {
    QFETCH(bool, uninstall);
    QFETCH(QString, typed);
    QFETCH(bool, fixed);
    QFETCH(QString, message);
    WriteFile(home_ + "/Documents/letter.txt", "mine");
    typed = place(typed);
    record("101", typed);
    const QStringList before = Names(scratch_->path());
    const SetupPlan plan = load();
    ScriptedSetupDialogs dialogs;
    QString said;
    if (uninstall) {
        const UninstallResult r = Uninstall(*platform_, dialogs, plan, typed, "卸载");
        QCOMPARE(int(r.outcome), int(UninstallResult::Outcome::Refused));
        said = r.message;
    } else {
        const InstallResult r = Install(*platform_, dialogs, plan, {typed, fixed, "升级"});
        QCOMPARE(int(r.outcome), int(InstallResult::Outcome::Refused));
        said = r.message;
    }
    QCOMPARE(said, place(message));
    QVERIFY(dialogs.messages.isEmpty() && dialogs.questions.isEmpty());
    QCOMPARE(Names(scratch_->path()), before);
    QVERIFY(platform_->started.isEmpty());
    QCOMPARE(setting("ver"), "101");
    QCOMPARE(setting("path"), typed);
    QCOMPARE(busy_, "");
}

void TestInstallSteps::questionsBeforeInstalling_data() {
    QTest::addColumn<QString>("recorded");  // the installed version
    QTest::addColumn<bool>("running");      // a copy runs from the target
    QTest::addColumn<bool>("locked");       // its status file is locked
    QTest::addColumn<bool>("uninstall");
    QTest::addColumn<bool>("answer");
    QTest::addColumn<QString>("asked");  // "@" the target; empty: nothing
    QTest::addColumn<QString>("told");
    QTest::addColumn<QString>("busy");  // "+" busy, "-" no longer
    QTest::addColumn<bool>("done");
    const QString newer =
        "已安装的版本较新（当前版本:1.50，本安装程序的版本:1.01）。\n"
        "仍要用这个较旧的版本替换它吗？";
    QTest::newRow("newer installed, keep it")
        << "150" << false << false << false << false << newer << ""
        << "" << false;
    QTest::newRow("newer installed, replace it")
        << "150" << false << false << false << true << newer << ""
        << "+" << true;
    QTest::newRow("running, end it")
        << "101" << true << false << false << true
        << "Tallyra正在@中运行。要结束正在运行的Tallyra（它会保存数据后退出）并继续升级吗？"
        << ""
        << "+-+" << true;
    QTest::newRow("running, keep it")
        << "101" << true << false << false << false
        << "Tallyra正在@中运行。要结束正在运行的Tallyra（它会保存数据后退出）并继续升级吗？"
        << ""
        << "" << false;
    QTest::newRow("locked by a process out of sight")
        << "101" << false << true << false << true << ""
        << "提示|Tallyra正在@中运行。请先退出它，再点击[升级]。"
        << "" << false;
    QTest::newRow("uninstall, running, keep it")
        << "101" << true << false << true << false
        << "Tallyra正在@中运行。要结束正在运行的Tallyra（它会保存数据后退出）并继续卸载吗？"
        << ""
        << "" << false;
}

void TestInstallSteps::questionsBeforeInstalling() {
    QFETCH(QString, recorded);
    QFETCH(bool, uninstall);
    QFETCH(bool, done);
    const QString target = home_ + "/Tallyra";
    WriteFile(target + "/" + kProgram, "old");
    record(recorded, target);
    QFETCH(bool, running);
    if (running) platform_->running = {4242};
    QFETCH(bool, locked);
    platform_->locked = locked;
    const SetupPlan plan = load();
    ScriptedSetupDialogs dialogs;
    QFETCH(bool, answer);
    dialogs.answer = answer;
    if (uninstall) {
        const UninstallResult r = Uninstall(*platform_, dialogs, plan, target, "卸载");
        QCOMPARE(int(r.outcome), int(done ? UninstallResult::Outcome::Removed
                                          : UninstallResult::Outcome::Cancelled));
        QCOMPARE(r.message, done ? "完成" : "");
    } else {
        const InstallResult r = Install(*platform_, dialogs, plan, {target, true, "升级"});
        QCOMPARE(int(r.outcome),
                 int(done ? InstallResult::Outcome::Installed : InstallResult::Outcome::Cancelled));
        QCOMPARE(r.message, done ? "安装完成" : "");
    }
    QFETCH(QString, asked);
    QCOMPARE(dialogs.questions,
             asked.isEmpty() ? QStringList{} : QStringList{asked.replace("@", target)});
    QFETCH(QString, told);
    QCOMPARE(dialogs.messages,
             told.isEmpty() ? QStringList{} : QStringList{told.replace("@", target)});
    QTEST(busy_, "busy");
    QCOMPARE(platform_->ended, running && answer ? QList<qint64>{4242} : QList<qint64>{});
    QCOMPARE(ReadFile(target + "/" + kProgram) == "old", !done);
    QCOMPARE(setting("ver"), done ? "101" : recorded);
}

void TestInstallSteps::installReportsWhatFailed_data() {
    QTest::addColumn<QString>("fault");
    QTest::addColumn<bool>("installed");
    QTest::addColumn<QString>("message");  // "@" the target
    QTest::newRow("target below a file")
        << "file" << false << "无法写入安装位置：@\n没有安装任何文件，请选择其他位置。";
    QTest::newRow("a file cannot be copied")
        << "copy" << true << "安装未全部完成：有1个文件未能复制到@";
    QTest::newRow("manifest cannot be written")
        << "manifest" << true << "安装完成\n文件清单未能写入，卸载时只能删除安装程序自带的文件。";
    QTest::newRow("A.txt program cannot start")
        << "start" << true << "安装完成\n未能启动：tools\\hello.sh";
    QTest::newRow("record cannot be saved")
        << "record" << true << "安装完成\n安装记录未能保存，以后的升级和卸载找不到这次安装。";
}

void TestInstallSteps::installReportsWhatFailed() {
    QFETCH(QString, fault);
    QString target = home_ + "/Tallyra";
    if (fault == "file") {
        WriteFile(home_ + "/afile", "x");
        target = home_ + "/afile/Tallyra";
    }
    if (fault == "copy") QDir().mkpath(target + "/bin/x.dll");
    if (fault == "manifest") QDir().mkpath(target + "/Tallyra.manifest");
    if (fault == "start") platform_->unstartable << setup_ + "/tools/hello.sh";
    platform_->settingsWork = fault != "record";
    const SetupPlan plan = load();
    ScriptedSetupDialogs dialogs;
    const InstallResult r = Install(*platform_, dialogs, plan, {target, false, "安装"});
    QFETCH(QString, message);
    QCOMPARE(r.message, message.replace("@", target));
    QFETCH(bool, installed);
    QCOMPARE(int(r.outcome),
             int(installed ? InstallResult::Outcome::Installed : InstallResult::Outcome::Failed));
    QCOMPARE(r.notCopied, fault == "copy" ? QStringList{"bin/x.dll"} : QStringList{});
    QCOMPARE(busy_, installed ? "+" : "+-");
    QCOMPARE(setting("ver"), installed && fault != "record" ? "101" : "<none>");
    if (!installed) QVERIFY(platform_->started.isEmpty());
}

QTEST_GUILESS_MAIN(TestInstallSteps)
#include "TestInstallSteps.moc"
