#include <QTest>

#include "common/datetime.h"
#include "core/format/daystatus.h"
#include "core/rollover.h"
#include "must.h"
#include "testsupport.h"

using namespace tallyra;
using namespace tallyra::test;

class TestRollover : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void cases_data() {
        QTest::addColumn<QDate>("lastStart");  // invalid: no urs.dat
        QTest::addColumn<QDate>("today");
        QTest::addColumn<bool>("statusKept");
        QTest::addColumn<bool>("newYear");
        QTest::newRow("first start ever") << QDate() << QDate(2026, 12, 8) << false << true;
        QTest::newRow("same day") << QDate(2026, 12, 8) << QDate(2026, 12, 8) << true << false;
        QTest::newRow("next day") << QDate(2026, 12, 7) << QDate(2026, 12, 8) << false << false;
        QTest::newRow("after days off")
            << QDate(2026, 11, 20) << QDate(2026, 12, 8) << false << false;
        QTest::newRow("new year") << QDate(2026, 12, 31) << QDate(2027, 1, 1) << false << true;
        QTest::newRow("clock set back a year")
            << QDate(2027, 3, 1) << QDate(2026, 3, 1) << false << true;
    }
    void cases() {
        QFETCH(QDate, lastStart);
        QFETCH(QDate, today);
        QFETCH(bool, statusKept);
        QFETCH(bool, newYear);
        QTemporaryDir dir;
        DataFolder folder(dir.path());
        RecordingNotifier notifier;
        if (lastStart.isValid()) QVERIFY(!WriteLastStart(folder, lastStart).failed());
        WriteAll(folder.dayStatus(), "yesterday");
        DayStatusFile status;
        QCOMPARE(status.open(folder), DayStatusFile::OpenResult::Opened);

        const RolloverResult r = RollOverDay(folder, today, status, notifier);
        QVERIFY(!r.error.failed());
        // Emptied in place, under the lock: the file stays, so no other copy can slip in.
        QCOMPARE(ReadAll(folder.dayStatus()).size(), statusKept ? 9 : 0);
        QCOMPARE(r.newDay, !statusKept);
        QCOMPARE(r.newYear, newYear);
        QCOMPARE(notifier.notices, newYear ? QStringList{"欢迎新一年"} : QStringList{});
        QCOMPARE(r.currentYear, today.year());
        QCOMPARE(ReadLastStart(folder), today);
    }

    void urs() {
        QTemporaryDir dir;
        DataFolder folder(dir.path());
        SilentNotifier n;
        DayStatusFile status;
        QCOMPARE(status.open(folder), DayStatusFile::OpenResult::Opened);
        const RolloverResult r = RollOverDay(folder, QDate(2014, 3, 18), status, n);
        QCOMPARE(r.dateCaption, "2014年03月18日");
        QCOMPARE(r.weekdayCaption, "星期二");
        QCOMPARE(r.weekday, 3);
        QByteArray expected("\x07\x00", 2);
        expected += QByteArray("\x00\x00\x00\x00\x80\x5e\xe4\x40", 8);
        QCOMPARE(ReadAll(folder.lastRun()), expected);
    }

    void damagedUrsIsNoDate_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("wrong tag") << QByteArray("\x05\x00\x00\x00\x00\x00\x80\x5e\xe4\x40", 10);
        QTest::newRow("nan date") << QByteArray("\x07\x00\x00\x00\x00\x00\x00\x00\xf8\x7f", 10);
        QTest::newRow("truncated") << QByteArray("\x07\x00\x00", 3);
    }
    void damagedUrsIsNoDate() {
        QFETCH(QByteArray, bytes);
        QTemporaryDir dir;
        DataFolder folder(dir.path());
        WriteAll(folder.lastRun(), bytes);
        QVERIFY(!ReadLastStart(folder).isValid());
        SilentNotifier n;
        DayStatusFile status;
        QCOMPARE(status.open(folder), DayStatusFile::OpenResult::Opened);
        QVERIFY(RollOverDay(folder, QDate(2014, 3, 18), status, n).newYear);
        QCOMPARE(ReadLastStart(folder), QDate(2014, 3, 18));
    }
};

QTEST_APPLESS_MAIN(TestRollover)
#include "TestRollover.moc"
