#include <QProcess>
#include <QTest>
#include <QThread>
#include <cstdlib>

#include "childprocess.h"
#include "cli/demo.h"
#include "common/datetime.h"
#include "core/workstation.h"
#include "models/statsgridmodel.h"
#include "must.h"
#include "testsupport.h"

using namespace tallyra;
using namespace tallyra::test;

class TestWorkstation : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void startsOnTheDemoFolder() {
        QTemporaryDir dir;
        DataFolder folder(dir.path());
        const QDate tuesday(2026, 12, 8);
        QCOMPARE(WriteDemoFolder(folder, tuesday), QString());
        QVERIFY(!WriteDemoFolder(folder, tuesday).isEmpty());  // never over an existing roster
        MockClock clock(QDateTime(tuesday, QTime(7, 20)));
        RecordingNotifier notifier;
        Workstation station(folder, clock, notifier);
        QCOMPARE(station.start(), Workstation::StartResult::Ready);
        QCOMPARE(notifier.notices, QStringList({"欢迎新一年", "数据已经载入完毕"}));
        QCOMPARE(station.rollover().weekday, 3);

        TextGridModel& board = station.board();
        QCOMPARE(board.rows(), 4 + 39);  // the last demo person takes no part in sign-in
        QCOMPARE(board.text(0, 0), "SID");
        QCOMPARE(board.text(1, 2), "实到/应到");
        QCOMPARE(board.text(0, 3), "早读");
        QCOMPARE(board.rowHeight(3), 0);
        QCOMPARE(board.columnWidth(0), 0);
        TextGridModel& roster = station.rosterGrid();
        QCOMPARE(roster.rows(), 2 + 40);
        QCOMPARE(roster.text(0, 2), "姓名");
        QCOMPARE(roster.rowHeight(1), 0);
        QCOMPARE(StatsGridModel(&station.roster().roster()).text(0, 4), "迟签时间");
        QCOMPARE(station.todayWindows().start(0), 7 * 60 + 10);
        QVERIFY(station.yearLog().isOpen());
        QVERIFY(station.dayStatus().isOpen());

        // A second copy on the same folder is refused while the first runs.
        Workstation second(folder, clock, notifier);
        QCOMPARE(second.start(), Workstation::StartResult::InUse);
        station.shutDown();
        Workstation third(folder, clock, notifier);
        QCOMPARE(third.start(), Workstation::StartResult::Ready);
    }

    void rosterColumnWidths_data() {
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<int>("stored");
        QTest::addColumn<int>("shown");
        QTest::newRow("not used") << false << 1500 << 0;
        // Wide enough for its title, 自定义 (six narrow columns of eight pixels and a margin).
        QTest::newRow("used, no width") << true << 0 << 1020;
        QTest::newRow("used, too wide") << true << 4000 << 2500;
        QTest::newRow("used, stored width") << true << 1300 << 1300;
    }
    void rosterColumnWidths() {
        QFETCH(bool, enabled);
        QFETCH(int, stored);
        QFETCH(int, shown);
        QTemporaryDir dir;
        DataFolder folder(dir.path());
        Schema schema = Schema::Defaults();
        schema.enabled[7] = enabled ? 1 : 0;  // field 8
        Must(SaveSchema(folder, schema));
        std::array<qint16, 26> widths{};
        widths[8] = qint16(stored);
        Must(SaveRosterColumnWidths(folder, widths));
        MockClock clock(QDateTime(QDate(2026, 12, 8), QTime(9, 0)));
        SilentNotifier n;
        Workstation station(folder, clock, n);
        QCOMPARE(station.start(), Workstation::StartResult::Ready);
        QCOMPARE(station.rosterGrid().columnWidth(8), shown);
    }

    void windowsNotSetTodayHaveNoColumn() {
        QTemporaryDir dir;
        DataFolder folder(dir.path());
        const QDate monday(2026, 12, 7);
        for (int w = 0; w < 6; ++w)
            Must(WriteCellFlag(folder, TimeTable::Cell(w, 2), w != 3));  // cell 22 clear
        Must(SaveSignInColumnWidths(folder, {0, 1500, 1500, 1000, 1000, 0, 1000, 1000, 1000}));
        MockClock clock(QDateTime(monday, QTime(9, 0)));
        SilentNotifier n;
        Workstation station(folder, clock, n);
        station.start();
        QCOMPARE(station.board().columnWidth(6), 0);
        QCOMPARE(station.board().columnWidth(5), 0);  // a saved width of 0 stays hidden
        QCOMPARE(station.board().columnWidth(4), 1000);
        QCOMPARE(station.board().text(0, 4), "");  // no stored name: the header stays empty
    }

    void sameDayKeepsMarks() {
        QTemporaryDir dir;
        DataFolder folder(dir.path());
        const QDate day(2026, 12, 8);
        WriteDemoFolder(folder, day);
        MockClock clock(QDateTime(day, QTime(7, 20)));
        SilentNotifier n;
        {
            Workstation station(folder, clock, n);
            station.start();
            WriteStatus(folder, 1, 0, -1);
            station.shutDown();
        }
        Workstation again(folder, clock, n);
        again.start();
        QCOMPARE(again.board().text(4, 3), "√");
        again.shutDown();
        clock.set(QDateTime(day.addDays(1), QTime(7, 0)));
        Workstation nextDay(folder, clock, n);
        nextDay.start();
        QCOMPARE(nextDay.board().text(4, 3), "");
    }

    // A copy refused on a new day writes nothing: the next real start still finds
    // yesterday's record and begins the day. The copy may be in this process or in another
    // one stopped while it holds the lock (two starts racing).
    void aRefusedStartChangesNothing_data() {
        QTest::addColumn<bool>("otherProcess");
        QTest::newRow("second copy") << false;
        QTest::newRow("copy stopped at the lock in another process") << true;
    }
    void aRefusedStartChangesNothing() {
        QFETCH(bool, otherProcess);
        if (const QStringList role = ChildRole(); !role.isEmpty()) {
            // Holds the lock until the parent has tried: says so with one file, is released
            // by the other.
            DayStatusFile lock;
            if (lock.open(DataFolder(role[0])) != DayStatusFile::OpenResult::Opened) std::_Exit(1);
            WriteAll(role[1], "locked");
            while (!QFile::exists(role[2])) QThread::msleep(20);
            std::_Exit(0);
        }
        QTemporaryDir dir;
        DataFolder folder(dir.path());
        const QDate day(2026, 12, 8);
        WriteDemoFolder(folder, day);
        MockClock clock(QDateTime(day, QTime(7, 20)));
        SilentNotifier n;
        {
            Workstation first(folder, clock, n);
            QCOMPARE(first.start(), Workstation::StartResult::Ready);
            WriteStatus(folder, 1, 0, -1);
            first.shutDown();
        }
        clock.set(QDateTime(day.addDays(1), QTime(7, 20)));
        QProcess child;
        QTemporaryDir handshake;
        const QString locked = handshake.filePath("locked"),
                      release = handshake.filePath("release");
        std::unique_ptr<DayStatusFile> held;
        if (otherProcess) {
            StartChild(child, {folder.root(), locked, release});
            QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(locked), 30000);
        } else {
            held = std::make_unique<DayStatusFile>();
            QCOMPARE(held->open(folder), DayStatusFile::OpenResult::Opened);
        }
        const QByteArray urs = ReadAll(folder.lastRun()), status = ReadAll(folder.dayStatus());
        Workstation refused(folder, clock, n);
        QCOMPARE(refused.start(), Workstation::StartResult::InUse);
        QCOMPARE(ReadAll(folder.lastRun()), urs);
        QCOMPARE(ReadAll(folder.dayStatus()), status);
        if (otherProcess) {
            WriteAll(release, "go");
            QVERIFY(child.waitForFinished(30000));
            QCOMPARE(child.exitCode(), 0);
        }
        held.reset();
        Workstation next(folder, clock, n);
        QCOMPARE(next.start(), Workstation::StartResult::Ready);
        QCOMPARE(next.dayStatus().read(1, 0), kStatusNone);  // the day began
        QCOMPARE(ReadLastStart(folder), day.addDays(1));
    }
};

QTEST_GUILESS_MAIN(TestWorkstation)
#include "TestWorkstation.moc"
