#include <QProcess>
#include <QRegularExpression>
#include <QTest>

#include "cli/demo.h"
#include "common/datetime.h"
#include "core/format/schema.h"
#include "core/format/yearlog.h"
#include "core/timewindows.h"
#include "hostsystem.h"
#include "must.h"
#include "signinfixture.h"
#include "testsupport.h"

using namespace tallyra;
using namespace tallyra::test;

namespace {
struct Run {
    int code;
    QString out;
    QString err;
};

// Lines as text: a Windows console program ends them with CR LF.
QString Lines(const QByteArray& bytes) {
    return QString::fromUtf8(bytes).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

Run Cli(const QStringList& args) {
    QProcess p;
    p.start(qEnvironmentVariable("TALLYRA_CLI"), args);
    if (!p.waitForFinished(30000)) return {-1, {}, {}};
    return {p.exitCode(), Lines(p.readAllStandardOutput()), Lines(p.readAllStandardError())};
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
            Must(WriteCellTimes(folder, TimeTable::Cell(0, d), 0, 1439));
            Must(WriteCellFlag(folder, TimeTable::Cell(0, d), true));
        }
        Must(WriteWindowName(folder, 0, QStringLiteral("全天")));
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

    void statsExportAndImport() {
        QTemporaryDir dir;
        const DataFolder folder(dir.path());
        WriteSignInFolder(folder, 3, {});
        const double day = DateToOle(QDate(2026, 12, 7));  // a Monday
        {
            YearLog log;
            log.open(folder, 2026);
            Must(log.append({1, day, 450, 0}));
            Must(log.append({2, day, 500, 80}));
            Must(log.append({3, day + 6, 481, 9999}));  // Sunday
        }
        const QStringList at{"--data-dir", dir.path(), "--from",
                             "2026-12-01", "--to",     "2026-12-31"};
        Run r = Cli(at + QStringList{"stats"});
        QCOMPARE(r.code, 0);
        QCOMPARE(r.out,
                 "P1\t2026-12-07\t07:30\t1001\t0\t一\n"
                 "P2\t2026-12-07\t08:20\t1002\t80\t一\n"
                 "P3\t2026-12-13\t08:01\t1003\t9999\t日\n"
                 "迟到次数\t1\n迟到总时间\t80\t1."
                 "3小时\n未签到次数\t1\n请假次数\t0\n正常签到次数\t1\n记录数\t3\n");
        r = Cli(at + QStringList{"--weekdays", "2-6", "--late-min", "1", "stats"});
        QVERIFY(r.out.startsWith("P2\t"));
        QVERIFY(r.out.contains("记录数\t1\n"));
        QCOMPARE(Cli(at + QStringList{"--weekdays", "0-9", "stats"}).code, 2);
        QCOMPARE(Cli({"--data-dir", dir.path(), "--from", "2026-13-01", "stats"}).code, 2);

        const QString xlsx = dir.filePath("out.xlsx");
        QCOMPARE(Cli(at + QStringList{"export-stats", xlsx}).code, 0);
        QVERIFY(ReadAll(xlsx).startsWith("PK"));

        Schema schema = Schema::Defaults();
        for (int f = 1; f <= 5; ++f) schema.enabled[size_t(f - 1)] = 1;
        Must(SaveSchema(folder, schema));
        const QString csv = dir.filePath("in.csv");
        WriteAll(csv, QByteArray("卡号,姓名\n5000001,导入者\n"));
        r = Cli({"--data-dir", dir.path(), "import", csv});
        QCOMPARE(r.code, 0);
        QVERIFY(r.out.endsWith("导入成功\n"));
        QVERIFY(r.out.contains("未找到“年龄”项"));
        WriteAll(csv, QByteArray("nothing,here\n"));
        QCOMPARE(Cli({"--data-dir", dir.path(), "import", csv}).code, 1);
        MockClock clock(QDateTime::currentDateTime());
        SilentNotifier notifier;
        Workstation running(folder, clock, notifier);
        QCOMPARE(running.start(), Workstation::StartResult::Ready);
        QCOMPARE(Cli({"--data-dir", dir.path(), "import", csv}).code, 2);
        running.shutDown();
        Roster roster;
        LoadRoster(folder, roster, {}, {});
        QCOMPARE(roster.at(4).name, "导入者");
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

    // What was not stored, or could not be read, is said on stderr with exit status 1, and
    // nothing waits on a FIFO or reads a device without end.
    void failuresAreErrors_data() {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QStringList>("args");  // after --data-dir
        QTest::addColumn<QString>("err");
        QTest::newRow("missing folder") << "missing" << QStringList{"roster"} << "数据文件夹不存在";
        QTest::newRow("import a device")
            << "" << QStringList{"import", "/dev/zero"} << "不是普通文件";
        QTest::newRow("import a FIFO")
            << "fifo" << QStringList{"import", "@fifo"} << "不是普通文件";
        QTest::newRow("roster a FIFO") << "roster fifo" << QStringList{"roster"} << "Rw.dat";
        QTest::newRow("swipe into an immutable log")
            << "immutable log" << QStringList{"swipe", "1001"} << "未能保存";
        QTest::newRow("import into an immutable roster")
            << "immutable roster" << QStringList{"import", "@csv"} << "导入未完成";
    }
    void failuresAreErrors() {
        QFETCH(QString, setup);
        QFETCH(QStringList, args);
        QFETCH(QString, err);
        QTemporaryDir dir;
        const DataFolder folder(dir.path());
        // One person and a window that ended at 00:00, so a swipe now is a late one.
        WriteSignInFolder(folder, 1, {});
        for (int d = 1; d <= 7; ++d) {
            Must(WriteCellTimes(folder, TimeTable::Cell(0, d), 0, 0));
            Must(WriteCellFlag(folder, TimeTable::Cell(0, d), true));
        }
        Must(SaveSchema(folder, Schema::Defaults()));
        const QString fifo = dir.filePath("in.fifo"), csv = dir.filePath("in.csv");
        WriteAll(csv, QByteArray("卡号,姓名\n5000001,导入者\n"));
        const QString year = QString::number(QDate::currentDate().year());
        const QString log = folder.yearLog(year.toInt());
        QString immutable;
        if (setup == "fifo" && !MakeFifo(fifo)) QSKIP("no FIFOs in this file system");
        if (setup == "roster fifo") {
            QFile::remove(folder.roster());
            if (!MakeFifo(folder.roster())) QSKIP("no FIFOs in this file system");
        }
        if (setup.startsWith("immutable")) {
            immutable = setup.endsWith("log") ? log : folder.roster();
            QDir().mkpath(folder.yearLogFolder());
            if (!QFile::exists(immutable)) WriteAll(immutable, {});
            if (QProcess::execute("chattr", {"+i", immutable}) != 0) QSKIP("no chattr here");
        }
        const QString root = setup == "missing" ? dir.filePath("nowhere") : dir.path();
        for (QString& a : args) a.replace("@fifo", fifo).replace("@csv", csv);
        const QByteArray logBefore = ReadAll(log);
        const Run r = Cli(QStringList{"--data-dir", root} + args);
        if (!immutable.isEmpty()) QProcess::execute("chattr", {"-i", immutable});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains(err), qPrintable(r.err));
        QVERIFY2(!r.out.contains("成功"), qPrintable(r.out));
        QCOMPARE(ReadAll(log), logBefore);
        QVERIFY(!QFileInfo::exists(dir.filePath("nowhere")));
    }

    void checkChangesNothing() {
        QTemporaryDir dir;
        QCOMPARE(Cli({"--data-dir", dir.path(), "check"}).code, 0);
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                 QStringList{});
    }

    void badUsage() {
        QCOMPARE(Cli({}).code, 2);
        QCOMPARE(Cli({"--data-dir", "/tmp", "explode"}).code, 2);
        QCOMPARE(Cli({"reader", "allow", "*"}).code, 2);
        QCOMPARE(Cli({"reader", "allow"}).code, 2);
        QCOMPARE(Cli({"reader", "list"}).code, 0);
    }

    void readerRuleNotWritten() {
        // Refused either way: not root, or the rule's folder does not exist.
        QTemporaryDir dir;
        const QString rules = dir.filePath("missing/70-tallyra-reader.rules");
        const Run r = Cli({"--rules", rules, "reader", "allow", "0c2e:0b61"});
        QCOMPARE(r.code, 1);
        QCOMPARE(r.out, QString());
        QVERIFY2(r.err.contains("nothing was changed") || r.err.contains("was not allowed"),
                 qPrintable(r.err));
        QVERIFY(!QFile::exists(rules));
    }
};

QTEST_GUILESS_MAIN(TestCli)
#include "TestCli.moc"
