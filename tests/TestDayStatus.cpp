#include <QProcess>
#include <QTest>
#include <QThread>
#include <cstdlib>

#include "childprocess.h"
#include "core/format/daystatus.h"
#include "testsupport.h"

using namespace tallyra;
using namespace tallyra::test;

class TestDayStatus : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void positions() {
        QTemporaryDir dir;
        DataFolder folder(dir.path());
        DayStatusFile f;
        QCOMPARE(f.open(folder), DayStatusFile::OpenResult::Opened);
        QVERIFY(f.write(1, 0, -1));
        QVERIFY(f.write(2, 5, 9999));
        const QByteArray b = ReadAll(folder.dayStatus());
        QCOMPARE(b.size(), 12 * 2 + 2 * 5 + 1);
        QCOMPARE(b.mid(11, 2), QByteArray("\xff\xff", 2));  // position 12 * 1 + 0
        QCOMPARE(b.mid(12 * 2 + 10 - 1, 2), QByteArray("\x0f\x27", 2));
        QCOMPARE(f.read(1, 0), -1);
        QCOMPARE(f.read(2, 5), 9999);
        QCOMPARE(f.read(4000, 3), 0);  // beyond the end
    }

    void outOfRangeIsNeverWritten_data() {
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("window");
        QTest::newRow("index 0") << 0 << 0;
        QTest::newRow("index 5001") << 5001 << 0;
        QTest::newRow("window 6") << 1 << 6;
        QTest::newRow("window -1") << 1 << -1;
    }
    void outOfRangeIsNeverWritten() {
        QFETCH(int, index);
        QFETCH(int, window);
        QTemporaryDir dir;
        DataFolder folder(dir.path());
        DayStatusFile f;
        f.open(folder);
        QVERIFY(!f.write(index, window, 5));
        QCOMPARE(f.read(index, window), 0);
        QCOMPARE(ReadAll(folder.dayStatus()).size(), 0);
    }

    void secondProcessIsRefused() {
        if (const QStringList role = ChildRole(); !role.isEmpty()) {
            const DataFolder folder(role[1]);
            DayStatusFile other;
            if (role[0] == "opens")
                std::_Exit(other.open(folder) == DayStatusFile::OpenResult::Opened ? 0 : 1);
            const bool inUse = IsFileInUse(folder.dayStatus());
            const bool refused = other.open(folder) == DayStatusFile::OpenResult::InUse;
            std::_Exit(inUse && refused ? 0 : 1);
        }
        QTemporaryDir dir;
        DataFolder folder(dir.path());
        DayStatusFile held;
        QCOMPARE(held.open(folder), DayStatusFile::OpenResult::Opened);
        QCOMPARE(RunChild({"refused", folder.root()}), 0);
        held.close();
        QVERIFY(!IsFileInUse(folder.dayStatus()));
        QCOMPARE(RunChild({"opens", folder.root()}), 0);
    }

    void startedProgramsDoNotInheritTheLock() {
        QTemporaryDir dir;
        DataFolder folder(dir.path());
        auto held = std::make_unique<DayStatusFile>();
        QCOMPARE(held->open(folder), DayStatusFile::OpenResult::Opened);
        if (!ChildRole().isEmpty()) {
            QThread::sleep(5);
            std::_Exit(0);
        }
        QProcess child;
        StartChild(child, {"sleeps"});
        QVERIFY(child.waitForStarted());
        held.reset();
        QVERIFY(!IsFileInUse(folder.dayStatus()));
        child.kill();
        child.waitForFinished();
    }

    void missingFileIsNotInUse() {
        QTemporaryDir dir;
        QVERIFY(!IsFileInUse(dir.filePath("shuju.dat")));
    }

    void readOnlyFileCountsAsInUse() {
        QTemporaryDir dir;
        WriteAll(dir.filePath("shuju.dat"), "x");
        QFile::setPermissions(dir.filePath("shuju.dat"), QFile::ReadOwner);
        if (QFile f(dir.filePath("shuju.dat")); f.open(QIODevice::ReadWrite))
            QSKIP("this user (root) opens read-only files for writing");
        QVERIFY(IsFileInUse(dir.filePath("shuju.dat")));
    }
};

QTEST_GUILESS_MAIN(TestDayStatus)
#include "TestDayStatus.moc"
