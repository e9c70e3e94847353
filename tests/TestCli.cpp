#include <QProcess>
#include <QRegularExpression>
#include <QTest>

#include "cli/demo.h"
#include "signinfixture.h"
#include "testsupport.h"

using namespace tallyra;
using namespace tallyra::test;

namespace {
struct Run {
    int code;
    QString out;
};

Run Cli(const QStringList& args) {
    QProcess p;
    p.start(qEnvironmentVariable("TALLYRA_CLI"), args);
    if (!p.waitForFinished(30000)) return {-1, {}};
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput())};
}
}  // namespace

class TestCli : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { QVERIFY(!qEnvironmentVariable("TALLYRA_CLI").isEmpty()); }

    void demoThenRosterAndWindows() {
        QTemporaryDir dir;
        QCOMPARE(Cli({"--data-dir", dir.path(), "demo"}).code, 0);
        QCOMPARE(Cli({"--data-dir", dir.path(), "demo"}).code, 1);  // refuses to overwrite
        const Run roster = Cli({"--data-dir", dir.path(), "roster"});
        QCOMPARE(roster.code, 0);
        const QStringList lines = roster.out.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 40);
        const QStringList first = lines.first().split('\t');
        QCOMPARE(first.size(), 26);
        QCOMPARE(first[0], "1");
        QCOMPARE(first[1], "3000137");
        QCOMPARE(first[2], "黄丽");

        const Run windows = Cli({"--data-dir", dir.path(), "windows"});
        QCOMPARE(windows.code, 0);
        const QStringList rows = windows.out.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(rows.size(), 8);
        QCOMPARE(rows[0], "\t早读\t上午\t午间\t下午\t放学\t晚自习");
        QVERIFY(rows[1].startsWith("周日\t07:10~07:40 [不设定]"));
        QVERIFY(rows[2].startsWith("周一\t07:10~07:40\t07:50~08:15"));

        QCOMPARE(Cli({"--data-dir", dir.path(), "check"}).code, 0);
    }

    void swipeAndTick() {
        // One window over the whole day, every day, so the result does not hang on the hour.
        QTemporaryDir dir;
        const DataFolder folder(dir.path());
        WriteSignInFolder(folder, 2, {});
        for (int d = 1; d <= 7; ++d) {
            WriteCellTimes(folder, TimeTable::Cell(0, d), 0, 1439);
            WriteCellFlag(folder, TimeTable::Cell(0, d), true);
        }
        WriteWindowName(folder, 0, QStringLiteral("全天"));
        const QStringList at{"--data-dir", dir.path()};
        Run r = Cli(at + QStringList{"swipe", Card(1)});
        QCOMPARE(r.code, 0);
        QCOMPARE(r.out, "P1[全天]签到成功\n");
        QCOMPARE(Cli(at + QStringList{"swipe", Card(1)}).out, "P1[全天]已经签到，无须重复刷卡。\n");
        QCOMPARE(Cli(at + QStringList{"--panel", "5", "swipe", Card(1)}).out, QString());
        QCOMPARE(Cli(at + QStringList{"swipe", "99"}).out, "卡号不存在\n");
        QCOMPARE(Cli(at + QStringList{"--panel", "3", "swipe", Card(1)}).code, 2);

        r = Cli(at + QStringList{"tick"});
        QCOMPARE(r.code, 0);
        QVERIFY2(QRegularExpression("^\\d\\d:\\d\\d\n$").match(r.out).hasMatch(),
                 qPrintable(r.out));

        // While the program runs on the folder, both leave it alone.
        MockClock clock(QDateTime::currentDateTime());
        SilentNotifier notifier;
        Workstation running(folder, clock, notifier);
        QCOMPARE(running.start(), Workstation::StartResult::Ready);
        QCOMPARE(Cli(at + QStringList{"swipe", Card(2)}).code, 2);
        QCOMPARE(Cli(at + QStringList{"tick"}).code, 2);
        running.shutDown();
        QCOMPARE(running.dayStatus().isOpen(), false);
        QCOMPARE(Cli(at + QStringList{"swipe", Card(2)}).out, "P2[全天]签到成功\n");
    }

    void checkReportsDamage() {
        QTemporaryDir dir;
        QByteArray slot("\x01\x00X", 3);
        ResizeZeroed(slot, 256);
        slot[3 + 8 + 17 + 6 + 56] = 99;  // choice of field 9
        WriteAll(dir.filePath("Rw.dat"), slot);
        const Run r = Cli({"--data-dir", dir.path(), "check"});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.out.contains("Rw.dat record 1: choice of field 9 is 99"), qPrintable(r.out));
    }

    void badUsage() {
        QCOMPARE(Cli({}).code, 2);
        QCOMPARE(Cli({"--data-dir", "/tmp", "explode"}).code, 2);
    }
};

QTEST_GUILESS_MAIN(TestCli)
#include "TestCli.moc"
