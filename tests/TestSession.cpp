#include <sys/stat.h>

#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QTest>

#include "apprig.h"
#include "core/cardinput.h"
#include "core/format/datacheck.h"
#include "core/format/readerchoice.h"
#include "gui/settingspanel.h"
#include "must.h"
#include "platform/readergate.h"

using namespace tallyra;
using namespace tallyra::test;

class TestSession : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void noCaptureEndsTheProgram() {
        AppRig rig;
        Session session(rig.parts(false));
        QVERIFY(!session.StartUp());
        QCOMPARE(rig.dialogs.messages, QStringList{"获取键盘事件失败"});
        // Nothing of the data was taken: the next start runs normally.
        session.ShutDown();
        Session again(rig.parts());
        QVERIFY(again.StartUp());
    }

    // A new station is usable at once: the files it lacks (or that an earlier first start
    // left empty) get the field table's defaults; a file that holds anything is kept.
    void firstStart_data() {
        QTest::addColumn<QStringList>("files");  // written before the start
        QTest::addColumn<QString>("content");    // "empty", or a short Dmode.dat
        QTest::newRow("empty folder") << QStringList{} << "";
        QTest::newRow("only Rw.dat") << QStringList{"Rw.dat"} << "empty";
        QTest::newRow("every file zero bytes")
            << QStringList{"Rw.dat",   "Dmode.dat", "enids8.dat", "enids9.dat", "enids10.dat",
                           "aset.dat", "time.dat",  "urs.dat",    "shuju.dat"}
            << "empty";
        QTest::newRow("a short Dmode.dat") << QStringList{"Dmode.dat"} << "short";
    }
    void firstStart() {
        QFETCH(QStringList, files);
        QFETCH(QString, content);
        AppRig rig;
        QTemporaryDir empty;
        const DataFolder folder(empty.path());
        // Field 1 titled 号码 and used, in the first 1201 bytes only.
        QByteArray shortSchema = QByteArray("\xba\xc5\xc2\xeb") + QByteArray(20, ' ');
        ResizeZeroed(shortSchema, 1201);
        shortSchema[1200] = 1;
        for (const QString& f : files)
            WriteAll(folder.file(f), content == "short" ? shortSchema : "");
        Session::Parts parts = rig.parts();
        parts.dataFolder = empty.path();
        Session session(parts);
        QVERIFY(session.StartUp());
        QVERIFY(rig.dialogs.messages.isEmpty());
        QVERIFY(session.window().adminMode());  // no password yet
        // Whatever the program wrote passes the folder check (the short file is the user's).
        if (content != "short") QCOMPARE(CheckDataFolder(folder), QStringList{});
        const TextGridModel& roster = session.station().rosterGrid();
        const TextGridModel& board = session.station().board();
        QCOMPARE(board.rows(), kBoardFirstPerson);
        if (content == "short") {
            QCOMPARE(ReadAll(folder.schema()), shortSchema);  // never rewritten
            QCOMPARE(roster.text(0, 1), "号码");
            QCOMPARE(roster.columnWidth(2), 0);
            return;
        }
        const QStringList titles{"卡号", "姓名", "年龄", "性别", "工龄"};
        for (int f = 1; f <= 5; ++f) {
            QCOMPARE(roster.text(0, f), titles[f - 1]);
            QVERIFY(roster.columnWidth(f) >= 900);
        }
        QCOMPARE(roster.columnWidth(6), 0);  // not used until switched on
        for (int c = 1; c <= 2; ++c) QVERIFY(board.columnWidth(c) >= 900);
        QCOMPARE(session.station().timeTable().get().displayName(0), "一");
        QCOMPARE(session.station().schema().get().twoValueLabel(19, true), "是");
        // A person added now can be seen and edited.
        session.window().ShowPanel(2);
        rig.dialogs.setNextAnswer(QStringLiteral("1"));
        Find<QPushButton>(session.window(), "Command3_5")->click();
        QCOMPARE(roster.text(kRosterFirstPerson, 2), "[NEW]");
    }

    void aSecondCopyIsRefused() {
        AppRig rig;
        Session first(rig.parts());
        QVERIFY(first.StartUp());
        Session second(rig.parts());
        QVERIFY(!second.StartUp());
        QCOMPARE(rig.dialogs.messages, QStringList{"未获得运行权限！"});
    }

    // A start never goes on from a file it could not read, and never waits on one.
    void aStartThatCannotTrustAFileIsRefused_data() {
        QTest::addColumn<QString>("file");  // what stands in the demo folder's place
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("message");  // how the box begins ("" = the start goes on)
        QTest::newRow("missing folder") << ""
                                        << "missing"
                                        << "数据文件夹不存在：";
        QTest::newRow("settings a FIFO") << "aset.dat"
                                         << "fifo"
                                         << "数据文件无法读取：";
        QTest::newRow("roster a folder") << "Rw.dat"
                                         << "folder"
                                         << "数据文件无法读取：";
        QTest::newRow("definitions a FIFO") << "Dmode.dat"
                                            << "fifo"
                                            << "数据文件无法读取：";
        QTest::newRow("day status a FIFO") << "shuju.dat"
                                           << "fifo"
                                           << "未获得运行权限！\n";
        QTest::newRow("year log a folder") << "adnt/sols/2026.dat"
                                           << "folder"
                                           << "数据文件无法读取：";
        // An immutable settings file is read as it is: the password still holds.
        QTest::newRow("settings immutable") << "aset.dat"
                                            << "immutable"
                                            << "";
    }
    void aStartThatCannotTrustAFileIsRefused() {
        QFETCH(QString, file);
        QFETCH(QString, fault);
        QFETCH(QString, message);
        AppRig rig;
        Must(SaveAdminPassword(rig.folder, "secret"));
        Session::Parts parts = rig.parts();
        const QString path = rig.folder.file(file);
        if (fault == "missing") {
            parts.dataFolder = rig.dir.filePath("nowhere");
        } else {
            QFile::remove(path);
            QDir().mkpath(QFileInfo(path).absolutePath());
            if (fault == "fifo") QCOMPARE(mkfifo(QFile::encodeName(path).constData(), 0644), 0);
            if (fault == "folder") QVERIFY(QDir().mkpath(path));
            if (fault == "immutable") {
                Must(SaveAdminPassword(rig.folder, "secret"));
                if (QProcess::execute("chattr", {"+i", path}) != 0) QSKIP("no chattr here");
            }
        }
        Session session(parts);
        const bool started = session.StartUp();
        if (fault == "immutable") QProcess::execute("chattr", {"-i", path});
        QCOMPARE(started, message.isEmpty());
        if (started) {
            QVERIFY(!session.window().adminMode());
            return;
        }
        QCOMPARE(rig.dialogs.messages.size(), 1);
        QVERIFY2(rig.dialogs.messages[0].startsWith(message), qPrintable(rig.dialogs.messages[0]));
        if (!file.isEmpty()) QVERIFY(rig.dialogs.messages[0].contains(file.section('/', -1)));
        QVERIFY(!QFileInfo::exists(rig.dir.filePath("nowhere")));
    }

    void aCardTypedAnywhereSignsIn() {
        AppRig rig;
        Session session(rig.parts());
        QVERIFY(session.StartUp());
        QCOMPARE(session.window().findChild<QLabel*>("Label3_2")->text(), "07:45");
        rig.type(QStringLiteral("3000137"));
        const QString name = session.station().roster().person(1).name;
        QCOMPARE(session.popups().stack().text(1), name + "[早读]补签成功 (迟签5分钟)");
        QCOMPARE(session.popups().popup(1)->label()->text(), session.popups().stack().text(1));
        QCOMPARE(rig.cues.played, QStringList{"0.wav"});
        QCOMPARE(session.station().board().text(4, 3), "○  5");
        QCOMPARE(session.station().dayStatus().read(1, 0), qint16(5));

        // Outside the sign-in panels the same card does nothing.
        session.window().ShowPanel(2);
        rig.type(QStringLiteral("3000174"));
        QCOMPARE(session.station().dayStatus().read(2, 0), qint16(0));
    }

    void onlyTheChosenReaderSignsIn() {
        AppRig rig;
        const Keyboard reader{"Acme Reader", "0c2e:0b61", "/dev/input/by-id/usb-Acme-event-kbd"};
        const Keyboard desk{"AT Translated Set 2 keyboard", "0001:0001", "/dev/input/event3"};
        rig.keyboards = {desk, reader};
        QVERIFY(SaveReaderChoice(rig.folder, ReaderChoice::Of(reader)));
        Session session(rig.parts());
        QVERIFY(session.StartUp());
        rig.type(QStringLiteral("3000137"), desk);
        QCOMPARE(session.station().dayStatus().read(1, 0), qint16(0));
        rig.type(QStringLiteral("3000137"), reader);
        QCOMPARE(session.station().dayStatus().read(1, 0), qint16(5));

        auto* list = session.window().findChild<QComboBox*>("ReaderList");
        QCOMPARE(list->count(), 3);
        QCOMPARE(list->itemText(0), "任意键盘");
        QCOMPARE(list->currentText(), reader.caption());
        session.window().settingsPanel()->ChooseReader(0);
        QCOMPARE(LoadReaderChoice(rig.folder), ReaderChoice{});
        QTest::qWait(CardInput::kBurstMs + 20);  // the last card's digits time out
        rig.type(QStringLiteral("3000174"), desk);
        QCOMPARE(session.station().dayStatus().read(2, 0), qint16(5));

        // Not saved: said so, and the choice stays as the file has it.
        QFile::remove(rig.folder.file("reader.dat"));
        QVERIFY(QDir(rig.dir.path()).mkpath("reader.dat"));
        session.window().settingsPanel()->ChooseReader(2);
        QCOMPARE(session.popups().stack().text(1), "读卡器选择未保存");
        QVERIFY(session.readerGate().choice().anyKeyboard());
        QCOMPARE(list->currentIndex(), 0);

        // The reader unplugged: said so, and kept in the list with a mark.
        QVERIFY(QDir(rig.dir.path()).rmdir("reader.dat"));
        session.window().settingsPanel()->ChooseReader(2);
        rig.keyboards = {desk};
        rig.capture->plugged();
        QCOMPARE(session.popups().stack().text(1), "读卡器已断开");
        QCOMPARE(list->currentText(), "Acme Reader  (0c2e:0b61)（已断开）");
    }

    void theTickClosesTheWindow() {
        AppRig rig;
        rig.clock.set(QDateTime(QDate(2026, 12, 8), QTime(7, 41, 10)));
        Session session(rig.parts());
        QVERIFY(session.StartUp());  // the first tick runs at start-up
        QVERIFY(session.popups().stack().text(1).endsWith("等39人已登记[未签]"));
        QCOMPARE(session.station().board().text(2, 3), "0/39");
        QCOMPARE(session.station().yearLog().recordCount(), 39);
    }
};

QTEST_MAIN(TestSession)
#include "TestSession.moc"
