#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QStringListModel>
#include <QTemporaryDir>
#include <QtTest>

#include "installer/folderlist.h"
#include "installer/setupdialogs.h"
#include "installer/setupplatform.h"
#include "installer/setupwindow.h"
#include "scratchfiles.h"

using namespace tallyra;
using tallyra::test::Names;
using tallyra::test::ReadFile;
using tallyra::test::ScriptedSetupDialogs;
using tallyra::test::WriteFile;

namespace {

// The real platform in a scratch home and system root; starts are recorded as well.
class ScratchPlatform final : public SystemSetupPlatform {
public:
    ScratchPlatform(QString home, QString systemRoot)
        : SystemSetupPlatform(std::move(systemRoot)), home_(std::move(home)) {}
    bool startProgram(const QString& program, const QString& folder) override {
        started << program;
        return SystemSetupPlatform::startProgram(program, folder);
    }
    bool startCommand(const QString& command, const QString& folder) override {
        started << "sh -c " + command;
        return SystemSetupPlatform::startCommand(command, folder);
    }
    QList<Volume> volumes() override { return {{"/", ""}, {home_, "home"}, {"/no-medium", "USB"}}; }
    bool isReady(const QString& root) override {
        return root != "/no-medium" && SystemSetupPlatform::isReady(root);
    }
    QString homeFolder() override { return home_; }
    QString desktopFolder() override { return home_ + "/桌面"; }
    QString applicationsFolder() override { return home_ + "/.local/share/applications"; }

    QStringList started;

private:
    QString home_;
};

// A stand-in for the running program: holds the lock on a day status file until ended.
std::unique_ptr<QProcess> HoldLock(const QString& file) {
    auto p = std::make_unique<QProcess>();
    p->start("sh",
             {"-c", "exec 9<>\"$1\" && flock -x 9 && echo locked && exec sleep 60", "sh", file});
    if (!p->waitForReadyRead(5000)) qFatal("no lock holder");
    return p;
}

QStringList Sorted(QStringList list) {
    list.sort();
    return list;
}

}  // namespace

class TestSetupWindow : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void startShowsNameVersionAndFiles();
    void versionInHundredths();
    void missingOrBadConfigEnds_data();
    void missingOrBadConfigEnds();
    void defaultFallsBackToHome();
    void installCopiesTreesRunsListsAndRecords();
    void unwritableTargetIsReported();
    void installRefused_data();
    void installRefused();
    void finishWithEachBox_data();
    void finishWithEachBox();
    void installedVersionIsDetected_data();
    void installedVersionIsDetected();
    void upgradeOverwritesTheRecord();
    void uninstallAnswerNoLeavesEverything();
    void confirmationDefaultsToNo();
    void uninstallRemovesOnlyOwnFiles_data();
    void uninstallRemovesOnlyOwnFiles();
    void uninstallGuard_data();
    void uninstallGuard();
    void uninstallWithoutRecordedPath();
    void chooserAppendsAppNameOnce();
    void typedPathCollapsesWithCaretKept();
    void driveWithoutMediumKeepsChooser();

private:
    SetupWindow& open(bool expectLoaded = true);
    template <typename T>
    T* child(const char* name) {
        T* w = window_->findChild<T*>(name);
        if (!w) qFatal("no child %s", name);
        return w;
    }
    QString setting(const QString& key) {
        QSettings s(QSettings::IniFormat, QSettings::UserScope, "BRIMLO_Tallyra");
        return s.value("set/" + key, "<none>").toString();
    }
    void record(const QString& ver, const QString& path) {
        QSettings s(QSettings::IniFormat, QSettings::UserScope, "BRIMLO_Tallyra");
        s.setValue("set/ver", ver);
        s.setValue("set/path", path);
    }
    // Typed into the target box and Enter pressed, as an administrator does; an upgrade's
    // box is fixed, so its button is clicked.
    void install(const QString& target) {
        auto* box = child<QLineEdit>("Text1");
        box->setText(target);
        if (box->isEnabled())
            QTest::keyClick(box, Qt::Key_Return);
        else
            window_->Command1_Click();
    }

    std::unique_ptr<QTemporaryDir> scratch_;
    QString home_, sys_, setup_, data_;
    std::unique_ptr<ScratchPlatform> platform_;
    ScriptedSetupDialogs dialogs_;
    std::unique_ptr<SetupWindow> window_;
    int quits_ = 0;
};

void TestSetupWindow::init() {
    scratch_ = std::make_unique<QTemporaryDir>();
    home_ = scratch_->filePath("home");
    sys_ = scratch_->filePath("sys");
    setup_ = scratch_->filePath("cdrom");
    data_ = setup_ + "/data";
    QDir().mkpath(home_);
    QDir().mkpath(sys_ + "/etc");  // sys/opt does not exist: its files are not copied
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, home_ + "/.config");

    WriteFile(data_ + "/appname.txt", "Tallyra\r\n101\r\n");
    WriteFile(data_ + "/Tallyra", "#!/bin/sh\necho started > \"$PWD/started.txt\"\n", true);
    WriteFile(data_ + "/bin/x.dll", "dll");
    WriteFile(data_ + "/sound/a/b/c/deep.wav", "wav");
    WriteFile(data_ + "/C/etc/tallyra.conf", "conf");
    WriteFile(data_ + "/C/opt/never.txt", "never");
    WriteFile(data_ + "/K.txt", "~/old-*.log\r\n\"~/stale, shortcut.desktop\"\r\n");
    WriteFile(data_ + "/S.txt", "echo s > s-ran.txt\r\n");
    WriteFile(data_ + "/A.txt", "tools\\hello.sh\r\n");
    WriteFile(data_ + "/D.txt", "~/.local/share/applications/Tallyra.desktop\r\n");
    WriteFile(setup_ + "/tools/hello.sh", "#!/bin/sh\necho a > a-ran.txt\n", true);
    WriteFile(home_ + "/old-1.log", "x");
    WriteFile(home_ + "/stale, shortcut.desktop", "x");
    WriteFile(home_ + "/notes.txt", "mine");
    platform_ = std::make_unique<ScratchPlatform>(home_, sys_);
    dialogs_ = ScriptedSetupDialogs();
    quits_ = 0;
}

void TestSetupWindow::cleanup() {
    window_.reset();
    platform_.reset();
    scratch_.reset();
}

SetupWindow& TestSetupWindow::open(bool expectLoaded) {
    window_ = std::make_unique<SetupWindow>(
        SetupWindow::Context{setup_, platform_.get(), &dialogs_, [this] { ++quits_; }});
    const bool loaded = window_->Form_Load();
    if (loaded != expectLoaded) qFatal("Form_Load gave %d", int(loaded));
    window_->show();
    return *window_;
}

void TestSetupWindow::startShowsNameVersionAndFiles() {
    open();
    QCOMPARE(child<QLabel>("Label1")->text(), "欢迎使用TallyraVer:1.01安装向导");
    QCOMPARE(window_->windowTitle(), "安装Tallyra 版本:1.01");
    QCOMPARE(child<QCheckBox>("Check1_1")->text(), "运行Tallyra");
    QCOMPARE(child<QLineEdit>("Text1")->text(), home_ + "/.local/opt/Tallyra");
    QCOMPARE(child<QPushButton>("Command1")->text(), "安装");
    QVERIFY(child<QPushButton>("Command3")->isHidden());
    QVERIFY(child<QLineEdit>("Text1")->isEnabled());
    const QStringList listed =
        qobject_cast<QStringListModel*>(child<QListView>("List1")->model())->stringList();
    QCOMPARE(listed.size(), 10);
    QVERIFY(listed.contains(data_ + "/sound/a/b/c/deep.wav"));
    QVERIFY(listed.contains(data_ + "/C/etc/tallyra.conf"));
    for (int i = 0; i < 3; ++i)
        QVERIFY(child<QCheckBox>(qPrintable(QString("Check1_%1").arg(i)))->isChecked());
}

void TestSetupWindow::versionInHundredths() {
    WriteFile(data_ + "/appname.txt", "Tallyra\n5\n");
    open();
    QCOMPARE(child<QLabel>("Label1")->text(), "欢迎使用TallyraVer:0.05安装向导");
    QCOMPARE(window_->windowTitle(), "安装Tallyra 版本:0.05");
}

void TestSetupWindow::missingOrBadConfigEnds_data() {
    QTest::addColumn<QByteArray>("content");  // empty: no file
    QTest::addColumn<QString>("message");
    QTest::newRow("missing") << QByteArray() << "提示|未找到配置文件，安装退出!";
    QTest::newRow("no version") << QByteArray("Tallyra") << "提示|配置文件有误，安装退出!";
}

void TestSetupWindow::missingOrBadConfigEnds() {
    QFETCH(QByteArray, content);
    QFile::remove(data_ + "/appname.txt");
    if (!content.isEmpty()) WriteFile(data_ + "/appname.txt", content);
    open(false);
    QTEST(dialogs_.messages.join('\n'), "message");
}

void TestSetupWindow::defaultFallsBackToHome() {
    WriteFile(home_ + "/.local", "a file where the folder would be");
    open();
    QCOMPARE(child<QLineEdit>("Text1")->text(), home_ + "/Tallyra");
}

void TestSetupWindow::installCopiesTreesRunsListsAndRecords() {
    // Unpacked from an archive that kept no modes.
    QFile::setPermissions(data_ + "/Tallyra", QFile::ReadOwner | QFile::WriteOwner);
    open();
    const QString target = home_ + "/apps/new/Tallyra";
    install(target + "/");
    QCOMPARE(dialogs_.messages, QStringList{"提示|安装完成"});
    for (const char* f : {"Tallyra", "bin/x.dll", "sound/a/b/c/deep.wav", "C/etc/tallyra.conf",
                          "appname.txt", "K.txt", "D.txt"})
        QVERIFY2(QFileInfo(target + "/" + f).isFile(), f);
    QVERIFY(QFileInfo(target + "/Tallyra").isExecutable());
    const QString manifest = QString::fromUtf8(ReadFile(target + "/Tallyra.manifest"));
    for (const QString& line : QStringList{"file bin/x.dll", "folder sound/a/b/c",
                                           "parent " + home_ + "/apps", "parent " + target})
        QVERIFY2(manifest.contains(line + "\n"), qPrintable(line));
    QCOMPARE(ReadFile(sys_ + "/etc/tallyra.conf"), QByteArray("conf"));
    QVERIFY(!QFileInfo::exists(sys_ + "/opt"));
    // K.txt
    QVERIFY(!QFileInfo::exists(home_ + "/old-1.log"));
    QVERIFY(!QFileInfo::exists(home_ + "/stale, shortcut.desktop"));
    QVERIFY(QFileInfo::exists(home_ + "/notes.txt"));
    // S.txt and A.txt run detached from the setup folder.
    QCOMPARE(platform_->started,
             (QStringList{"sh -c echo s > s-ran.txt", setup_ + "/tools/hello.sh"}));
    QTRY_VERIFY(QFileInfo::exists(setup_ + "/s-ran.txt"));
    QTRY_VERIFY(QFileInfo::exists(setup_ + "/a-ran.txt"));
    QCOMPARE(setting("ver"), "101");
    QCOMPARE(setting("path"), target);
    QCOMPARE(child<QPushButton>("Command1")->text(), "完成");
    QVERIFY(!child<QPushButton>("Command2")->isEnabled());
    QVERIFY(child<QWidget>("Picture1")->isHidden());
    QVERIFY(child<QLabel>("Label4")->isVisible());
    QCOMPARE(quits_, 0);
}

void TestSetupWindow::unwritableTargetIsReported() {
    WriteFile(home_ + "/afile", "x");
    open();
    install(home_ + "/afile/Tallyra");
    QCOMPARE(dialogs_.messages.size(), 1);
    QVERIFY(dialogs_.messages[0].contains("无法写入安装位置"));
    QVERIFY(!dialogs_.messages[0].contains("安装完成"));
    QCOMPARE(setting("ver"), "<none>");
    QVERIFY(platform_->started.isEmpty());
    QCOMPARE(child<QPushButton>("Command1")->text(), "安装");
    QVERIFY(child<QPushButton>("Command2")->isEnabled());
    QVERIFY(!child<QWidget>("Picture1")->isHidden());
    // The user picks another folder and goes on.
    dialogs_.messages.clear();
    install(home_ + "/Tallyra");
    QCOMPARE(dialogs_.messages, QStringList{"提示|安装完成"});
}

void TestSetupWindow::installRefused_data() {
    QTest::addColumn<QString>("target");    // "~" the scratch home, "@" the scratch folder
    QTest::addColumn<QString>("recorded");  // an installed version in ~/Tallyra
    QTest::addColumn<bool>("running");      // a copy runs in ~/Tallyra
    QTest::addColumn<QString>("says");
    QTest::newRow("inside data") << "@/cdrom/data/bin/Tallyra"
                                 << "" << false << "data文件夹";
    QTest::newRow("inside data through a link") << "~/ld/sub"
                                                << "" << false << "data文件夹";
    QTest::newRow("home typed") << "~"
                                << "" << false << "主文件夹";
    QTest::newRow("home, trailing slash") << "~/"
                                          << "" << false << "主文件夹";
    QTest::newRow("parent of home") << "@"
                                    << "" << false << "主文件夹";
    QTest::newRow("file system root") << "/"
                                      << "" << false << "根目录";
    QTest::newRow("system root") << "@/sys"
                                 << "" << false << "根目录";
    QTest::newRow("target is a link") << "~/lnk"
                                      << "" << false << "符号链接";
    QTest::newRow("newer version installed") << "~/Tallyra"
                                             << "150" << false << "已安装的版本较新";
    QTest::newRow("program running") << "~/Tallyra"
                                     << "" << true << "正在";
    QTest::newRow("running, upgrade") << "~/Tallyra"
                                      << "101" << true << "正在";
}

void TestSetupWindow::installRefused() {
    QFETCH(QString, target);
    QFETCH(QString, recorded);
    QFETCH(bool, running);
    WriteFile(home_ + "/Tallyra/Tallyra", "old");
    WriteFile(home_ + "/victim/keep.txt", "mine");
    QVERIFY(QFile::link(data_, home_ + "/ld"));
    QVERIFY(QFile::link(home_ + "/victim", home_ + "/lnk"));
    const std::unique_ptr<QProcess> program =
        running ? HoldLock(home_ + "/Tallyra/shuju.dat") : nullptr;
    if (!recorded.isEmpty()) record(recorded, home_ + "/Tallyra");
    target.replace("~", home_).replace("@", scratch_->path());
    const QStringList before = Names(scratch_->path());
    open();
    install(target);
    QFETCH(QString, says);
    QVERIFY2((dialogs_.messages + dialogs_.questions).join('\n').contains(says),
             qPrintable((dialogs_.messages + dialogs_.questions).join('\n')));
    QCOMPARE(Names(scratch_->path()), before);
    QCOMPARE(ReadFile(home_ + "/Tallyra/Tallyra"), QByteArray("old"));
    QCOMPARE(setting("ver"), recorded.isEmpty() ? "<none>" : recorded);
    QVERIFY(child<QPushButton>("Command1")->text() != "完成");
    if (program) QCOMPARE(program->state(), QProcess::Running);
}

void TestSetupWindow::finishWithEachBox_data() {
    QTest::addColumn<bool>("desktop");
    QTest::addColumn<bool>("run");
    QTest::addColumn<bool>("menu");
    QTest::addColumn<bool>("startable");
    QTest::newRow("none") << false << false << false << true;
    QTest::newRow("desktop") << true << false << false << true;
    QTest::newRow("run") << false << true << false << true;
    QTest::newRow("menu") << false << false << true << true;
    QTest::newRow("all") << true << true << true << true;
    QTest::newRow("run, program cannot start") << false << true << false << false;
}

void TestSetupWindow::finishWithEachBox() {
    QFETCH(bool, desktop);
    QFETCH(bool, run);
    QFETCH(bool, menu);
    WriteFile(data_ + "/Tallyra.svg", "<svg/>");
    QFile::remove(data_ + "/A.txt");
    QFile::remove(data_ + "/S.txt");
    open();
    const QString target = home_ + "/opt dir/Tallyra";
    child<QCheckBox>("Check1_0")->setChecked(desktop);
    child<QCheckBox>("Check1_1")->setChecked(run);
    child<QCheckBox>("Check1_2")->setChecked(menu);
    install(target);
    QCOMPARE(child<QPushButton>("Command1")->text(), "完成");
    QFETCH(bool, startable);
    if (!startable) QFile::setPermissions(target + "/Tallyra", QFile::ReadOwner);
    dialogs_.messages.clear();
    window_->Command1_Click();
    QCOMPARE(quits_, 1);
    QCOMPARE(platform_->started, run ? QStringList{target + "/Tallyra"} : QStringList{});
    if (run && startable) QTRY_VERIFY(QFileInfo::exists(target + "/started.txt"));
    QCOMPARE(dialogs_.messages,
             startable ? QStringList{} : QStringList{"提示|未能启动" + target + "/Tallyra"});
    const QString desktopEntry = home_ + "/桌面/Tallyra.desktop";
    const QString menuEntry = home_ + "/.local/share/applications/Tallyra.desktop";
    QCOMPARE(QFileInfo::exists(desktopEntry), desktop);
    QCOMPARE(QFileInfo::exists(menuEntry), menu);
    for (const QString& entry : {desktopEntry, menuEntry}) {
        if (!QFileInfo::exists(entry)) continue;
        const QByteArray text = ReadFile(entry);
        QVERIFY(text.contains(("Exec=\"" + target + "/Tallyra\"\n").toUtf8()));
        QVERIFY(text.contains(("Icon=" + target + "/Tallyra.svg\n").toUtf8()));
        QVERIFY(QFileInfo(entry).isExecutable());
    }
}

void TestSetupWindow::installedVersionIsDetected_data() {
    QTest::addColumn<QString>("ver");
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("upgrade");
    QTest::newRow("installed") << "101"
                               << "/srv/Tallyra" << true;
    QTest::newRow("installed, no path") << "101"
                                        << "" << true;
    QTest::newRow("after an uninstall") << "0"
                                        << "" << false;
    QTest::newRow("not a number") << "abc"
                                  << "/srv/Tallyra" << false;
}

void TestSetupWindow::installedVersionIsDetected() {
    QFETCH(QString, ver);
    QFETCH(QString, path);
    QFETCH(bool, upgrade);
    record(ver, path);
    open();
    QCOMPARE(child<QPushButton>("Command1")->text(), upgrade ? "升级" : "安装");
    QCOMPARE(child<QPushButton>("Command3")->isVisible(), upgrade);
    QCOMPARE(child<QLabel>("Label5")->text(), upgrade ? "当前版本:1.01" : "");
    if (!upgrade) return;
    QCOMPARE(child<QLineEdit>("Text1")->text(), path);
    const bool fixed = !path.isEmpty();
    QCOMPARE(child<QLineEdit>("Text1")->isEnabled(), !fixed);
    QCOMPARE(child<QComboBox>("Drive1")->isEnabled(), !fixed);
    QCOMPARE(child<FolderList>("Dir1")->isEnabled(), !fixed);
}

void TestSetupWindow::upgradeOverwritesTheRecord() {
    const QString target = home_ + "/Tallyra";
    WriteFile(target + "/Tallyra", "old");
    record("101", target);
    WriteFile(data_ + "/appname.txt", "Tallyra\n102\n");
    const std::unique_ptr<QProcess> running = HoldLock(target + "/shuju.dat");
    open();
    QCOMPARE(child<QPushButton>("Command1")->text(), "升级");
    dialogs_.answers = {true};  // end the running copy first
    window_->Command1_Click();
    QCOMPARE(dialogs_.questions.size(), 1);
    QVERIFY(dialogs_.questions[0].startsWith("Tallyra正在" + target + "中运行。"));
    QCOMPARE(running->state(), QProcess::NotRunning);
    QCOMPARE(dialogs_.messages, QStringList{"提示|安装完成"});
    QCOMPARE(setting("ver"), "102");
    QVERIFY(ReadFile(target + "/Tallyra").startsWith("#!/bin/sh"));
}

void TestSetupWindow::uninstallAnswerNoLeavesEverything() {
    const QString target = home_ + "/Tallyra";
    WriteFile(target + "/Tallyra", "exe");
    WriteFile(home_ + "/.local/share/applications/Tallyra.desktop", "entry");
    record("101", target);
    open();
    dialogs_.answer = false;
    window_->Command3_Click();
    QCOMPARE(dialogs_.questions.size(), 1);
    QVERIFY(dialogs_.questions[0].contains(target));
    QVERIFY(dialogs_.questions[0].contains("考勤记录"));
    QVERIFY(dialogs_.questions[0].endsWith("\n确定要删除吗？"));
    QVERIFY(dialogs_.messages.isEmpty());
    QCOMPARE(quits_, 0);
    QVERIFY(QFileInfo::exists(target + "/Tallyra"));
    QVERIFY(QFileInfo::exists(home_ + "/.local/share/applications/Tallyra.desktop"));
    QCOMPARE(setting("ver"), "101");
    QCOMPARE(setting("path"), target);
}

void TestSetupWindow::confirmationDefaultsToNo() {
    QtSetupDialogs dialogs;
    QTimer press;
    QObject::connect(&press, &QTimer::timeout, [] {
        if (QWidget* box = QApplication::activeModalWidget()) QTest::keyClick(box, Qt::Key_Return);
    });
    press.start(20);
    QVERIFY(!dialogs.confirm("确定要删除吗？", "提示"));
}

void TestSetupWindow::uninstallRemovesOnlyOwnFiles_data() {
    QTest::addColumn<QString>("target");      // "~" is the scratch home
    QTest::addColumn<QStringList>("before");  // laid out first; "a -> b" is a link to ~/b
    QTest::addColumn<bool>("viaSetup");       // else an older install without a manifest
    QTest::addColumn<QStringList>("left");    // files in the home afterwards, settings aside
    QTest::addColumn<QString>("kept");        // what the message names as staying
    QTest::newRow("folder of its own") << "~/Tallyra" << QStringList{"Desktop/Tallyra.desktop"}
                                       << true << QStringList{"Desktop/Tallyra.desktop"} << "";
    QTest::newRow("into Documents with foreign files")
        << "~/Documents" << QStringList{"Documents/thesis.txt", "Documents/年级/2025/成绩.xls"}
        << true << QStringList{"Documents/thesis.txt", "Documents/年级/2025/成绩.xls"}
        << "thesis.txt、年级/2025/成绩.xls";
    QTest::newRow("links inside the target")
        << "~/Tallyra"
        << QStringList{"victim/keep.txt", "Tallyra/sound -> victim",
                       "Tallyra/Tallyra -> victim/keep.txt"}
        << true << QStringList{"victim/keep.txt"} << "";
    QTest::newRow("older install without a manifest")
        << "~/Tallyra" << QStringList{"Tallyra/mine.txt"} << false
        << QStringList{"Tallyra/mine.txt"} << "mine.txt";
}

void TestSetupWindow::uninstallRemovesOnlyOwnFiles() {
    QFETCH(QString, target);
    QFETCH(QStringList, before);
    QFETCH(bool, viaSetup);
    target.replace("~", home_);
    for (const char* f : {"K.txt", "S.txt", "A.txt"}) QFile::remove(data_ + "/" + f);
    const QStringList home = Names(home_);
    for (const QString& item : before) {
        const QStringList link = item.split(" -> ");
        if (link.size() == 1) {
            WriteFile(home_ + "/" + item, "mine");
        } else {
            QDir().mkpath(QFileInfo(home_ + "/" + link[0]).absolutePath());
            QVERIFY(QFile::link(home_ + "/" + link[1], home_ + "/" + link[0]));
        }
    }
    if (viaSetup) {
        open();
        child<QCheckBox>("Check1_1")->setChecked(false);
        install(target);
        QCOMPARE(dialogs_.messages, QStringList{"提示|安装完成"});
        window_->Command1_Click();  // both entries
    } else {
        for (const QString& f : SearchFolder(data_)) WriteFile(target + f.mid(data_.size()), "x");
        for (const QString& folder : {home_ + "/桌面", home_ + "/.local/share/applications"})
            QVERIFY(WriteDesktopEntry(folder, "Tallyra", target + "/Tallyra", "tallyra", target));
        record("101", target);
    }
    QVERIFY(QFileInfo::exists(home_ + "/桌面/Tallyra.desktop"));
    QVERIFY(QFileInfo::exists(home_ + "/.local/share/applications/Tallyra.desktop"));
    // What the program writes while it is used.
    for (const char* f : {"Rw.dat", "shuju.dat", "reader.dat", "calendar.dat", "leave.dat",
                          "register.txt", "adnt/sols/2026.dat"})
        WriteFile(target + "/" + f, "records");
    if (QFileInfo::exists(home_ + "/victim"))  // nothing was written through the links
        QCOMPARE(Names(home_ + "/victim"), QStringList{"keep.txt"});

    dialogs_ = ScriptedSetupDialogs();
    open();
    dialogs_.answer = true;
    window_->Command3_Click();
    QFETCH(QString, kept);
    QCOMPARE(dialogs_.messages,
             QStringList{kept.isEmpty() ? "提示|完成"
                                        : "提示|完成\n" + target + "已保留，因为其中还有不是" +
                                              "Tallyra安装的文件：" + kept});
    QCOMPARE(quits_, viaSetup ? 2 : 1);
    QFETCH(QStringList, left);
    QCOMPARE(Sorted(Names(home_).filter(QRegularExpression("^(?!\\.config/)"))),
             Sorted(home + left));
    // The folder goes when the install made it and nothing else is in it.
    QCOMPARE(QFileInfo::exists(target), !kept.isEmpty() || !before.filter("Tallyra/").isEmpty());
    QCOMPARE(setting("ver"), "0");
}

void TestSetupWindow::uninstallGuard_data() {
    QTest::addColumn<QString>("path");  // "~" is the scratch home
    QTest::addColumn<bool>("clear");    // the answer to clearing the record
    QTest::newRow("file system root") << "/" << true;
    QTest::newRow("home") << "~" << false;
    QTest::newRow("home, trailing slash") << "~/" << true;
    QTest::newRow("no program inside") << "~/Documents" << false;
    QTest::newRow("target is a link") << "~/lnk" << true;
    QTest::newRow("inside data through a link") << "~/ld/bin" << true;
}

void TestSetupWindow::uninstallGuard() {
    QFETCH(QString, path);
    QFETCH(bool, clear);
    path.replace("~", home_);
    WriteFile(home_ + "/Documents/letter.txt", "mine");
    WriteFile(home_ + "/Tallyra/Tallyra", "exe");
    WriteFile(home_ + "/.local/share/applications/Tallyra.desktop", "entry");
    QVERIFY(QFile::link(home_ + "/Tallyra", home_ + "/lnk"));
    QVERIFY(QFile::link(data_, home_ + "/ld"));
    record("101", path);
    const QStringList before = Names(scratch_->path());
    open();
    dialogs_.answers = {true, clear};
    window_->Command3_Click();
    QCOMPARE(dialogs_.questions.size(), 2);
    QVERIFY(dialogs_.questions[1].contains("没有删除任何文件"));
    QVERIFY(dialogs_.messages.isEmpty());
    QCOMPARE(quits_, 1);
    QCOMPARE(Names(scratch_->path()).filter(QRegularExpression("^(?!home/\\.config/)")),
             before.filter(QRegularExpression("^(?!home/\\.config/)")));
    QCOMPARE(setting("ver"), clear ? "0" : "101");
    QCOMPARE(setting("path"), clear ? "" : path);
}

void TestSetupWindow::uninstallWithoutRecordedPath() {
    WriteFile(home_ + "/.local/share/applications/Tallyra.desktop", "entry");
    record("101", "");
    open();
    dialogs_.answer = true;
    window_->Command3_Click();
    QCOMPARE(dialogs_.messages, QStringList{"提示|未找到配制文件！"});
    QCOMPARE(quits_, 1);
    QVERIFY(!QFileInfo::exists(home_ + "/.local/share/applications/Tallyra.desktop"));
    QCOMPARE(setting("ver"), "101");
}

void TestSetupWindow::chooserAppendsAppNameOnce() {
    open();
    auto* dir1 = child<FolderList>("Dir1");
    auto* text1 = child<QLineEdit>("Text1");
    dir1->setPath("/");
    QCOMPARE(text1->text(), "/Tallyra");
    QDir().mkpath(home_ + "/Tallyra");
    dir1->setPath(home_ + "/Tallyra");
    QCOMPARE(text1->text(), home_ + "/Tallyra/Tallyra");
    // Activating an entry goes into that folder.
    dir1->setPath(home_);
    const QList<QListWidgetItem*> found = dir1->findItems("Tallyra", Qt::MatchExactly);
    QCOMPARE(found.size(), 1);
    Q_EMIT dir1->itemActivated(found[0]);
    QCOMPARE(dir1->path(), home_ + "/Tallyra");
    QCOMPARE(text1->text(), home_ + "/Tallyra/Tallyra");
}

void TestSetupWindow::typedPathCollapsesWithCaretKept() {
    open();
    auto* text1 = child<QLineEdit>("Text1");
    text1->clear();
    text1->setFocus();
    QTest::keyClicks(text1, "D:/Apps//X");
    QCOMPARE(text1->text(), "D:/Apps/X");
    QCOMPARE(text1->cursorPosition(), 9);
    QTest::keyClicks(text1, "\\\\Y");
    QCOMPARE(text1->text(), "D:/Apps/X/Y");
    // A slash typed in the middle: the caret stays where the typing left it.
    text1->setCursorPosition(2);
    QTest::keyClicks(text1, "/");
    QCOMPARE(text1->text(), "D:/Apps/X/Y");
    QCOMPARE(text1->cursorPosition(), 3);
    text1->setCursorPosition(8);    // after "D:/Apps/"
    QTest::keyClicks(text1, "/Z");  // the caret keeps its place in the shorter text
    QCOMPARE(text1->text(), "D:/Apps/XZ/Y");
    QCOMPARE(text1->cursorPosition(), 10);
}

void TestSetupWindow::driveWithoutMediumKeepsChooser() {
    open();
    auto* drive1 = child<QComboBox>("Drive1");
    auto* text1 = child<QLineEdit>("Text1");
    const QString drive = drive1->currentData().toString();
    const QString before = text1->text();
    QVERIFY(!drive.isEmpty());
    drive1->setCurrentIndex(drive1->findData("/no-medium"));
    QCOMPARE(drive1->currentData().toString(), drive);
    QCOMPARE(text1->text(), before);
    drive1->setCurrentIndex(drive1->findData(home_));
    QCOMPARE(text1->text(), home_ + "/Tallyra");
    QCOMPARE(child<FolderList>("Dir1")->path(), home_);
}

QTEST_MAIN(TestSetupWindow)
#include "TestSetupWindow.moc"
