#include <QTest>

#include "core/timewindows.h"
#include "testsupport.h"

using namespace tallyra;
using namespace tallyra::test;

class TestTimeWindows : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void goldenCell() {
        QTemporaryDir dir;
        DataFolder folder(dir.path());
        QByteArray b(392, '\0');
        b.replace(18, 2, Le16(450));   // start of cell 9 at offset 2k
        b.replace(118, 2, Le16(480));  // end at 100 + 2k
        b[209] = 1;                    // flag at 200 + k
        b.replace(300 + 16 * 2, 12, QByteArray(12, ' '));
        b.replace(300 + 16 * 1, 12,
                  QByteArray("\xd4\xe7\xb6\xc1  \0\0\0\0\0\0", 12));  // "早读", then zeros
        WriteAll(folder.timeWindows(), b);
        const TimeTable t = LoadTimeWindows(folder);
        QCOMPARE(t.cellCaption(9), "07:30~08:00");
        QVERIFY(t.isSet(1, 3));  // cell 9 is window 1 on Tuesday
        QVERIFY(!t.set[8]);
        QCOMPARE(t.cellCaption(0), "00:00~00:00");
        QCOMPARE(t.names[1], "早读");
        QCOMPARE(t.names[2], "");
        QCOMPARE(t.displayName(2), "2");  // twelve blanks show as the window number
        QCOMPARE(t.displayName(1), "早读");
    }

    void anyNonZeroFlagIsSet() {
        QTemporaryDir dir;
        DataFolder folder(dir.path());
        QByteArray b(392, '\0');
        b[200 + 5] = char(0x80);
        WriteAll(folder.timeWindows(), b);
        QVERIFY(LoadTimeWindows(folder).set[5]);
    }

    void writersTouchOnlyTheirItem() {
        QTemporaryDir dir;
        DataFolder folder(dir.path());
        WriteAll(folder.timeWindows(), QByteArray(392, '\x11'));
        QVERIFY(WriteCellFlag(folder, 41, false));
        QVERIFY(WriteCellTimes(folder, 3, 600, 630));
        QVERIFY(WriteWindowName(folder, 5, "一二三四五六七八"));  // 16 bytes: cut to 6 characters
        QByteArray expected(392, '\x11');
        expected[241] = 0;
        expected.replace(6, 2, Le16(600));
        expected.replace(106, 2, Le16(630));
        expected.replace(380, 12, QByteArray("\xd2\xbb\xb6\xfe\xc8\xfd\xcb\xc4\xce\xe5\xc1\xf9"));
        QCOMPARE(ReadAll(folder.timeWindows()), expected);
        QVERIFY(!WriteCellFlag(folder, 42, true));
        QVERIFY(!WriteWindowName(folder, 6, "x"));
    }

    void renameKeepsTwelveCharacters() {
        QTemporaryDir dir;
        DataFolder folder(dir.path());
        QVERIFY(WriteWindowName(folder, 0, "ABCDEFGHIJKLMNO"));
        QCOMPARE(LoadTimeWindows(folder).names[0], "ABCDEFGHIJKL");
        QVERIFY(WriteWindowName(folder, 0, "ab"));
        QCOMPARE(LoadTimeWindows(folder).names[0], "ab");
    }

    void missingFileIsAllOff() {
        QTemporaryDir dir;
        const TimeTable t = LoadTimeWindows(DataFolder(dir.path()));
        for (int k = 0; k < kCellCount; ++k) QVERIFY(!t.set[k]);
        QCOMPARE(t.displayName(0), "0");
        QCOMPARE(t.displayName(5), "5");
    }

    void todayWindows() {
        TimeTable t;
        for (int w = 0; w < 6; ++w) {
            t.starts[TimeTable::Cell(w, 2)] = qint16(100 * w);
            t.ends[TimeTable::Cell(w, 2)] = qint16(100 * w + 30);
        }
        t.starts[TimeTable::Cell(3, 3)] = 999;
        const TodayWindows today = ComputeTodayWindows(t, 2);
        for (int w = 0; w < 6; ++w) {
            QCOMPARE(today.start(w), 100 * w);
            QCOMPARE(today.end(w), 100 * w + 30);
        }
        QCOMPARE(ComputeTodayWindows(t, 9).start(1), 0);
    }

    void minutesOutOfRangeStayAsStored() {
        TimeTable t;
        t.starts[0] = -30;
        t.ends[0] = 1500;
        QCOMPARE(t.cellCaption(0), "00:-30~25:00");
        const TodayWindows today = ComputeTodayWindows(t, 1);
        QCOMPARE(today.start(0), -30);
        QCOMPARE(today.end(0), 1500);
    }
};

QTEST_APPLESS_MAIN(TestTimeWindows)
#include "TestTimeWindows.moc"
