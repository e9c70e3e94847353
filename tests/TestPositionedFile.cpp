#include <QTest>

#include "core/format/positionedfile.h"
#include "testsupport.h"

using namespace tallyra;
using namespace tallyra::test;

class TestPositionedFile : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void createsMissingFile() {
        QTemporaryDir dir;
        const QString path = dir.filePath("new.dat");
        PositionedFile f;
        QVERIFY(f.open(path));
        QVERIFY(QFile::exists(path));
        QCOMPARE(f.size(), 0);
    }

    void readOnlyDoesNotCreate() {
        QTemporaryDir dir;
        PositionedFile f;
        QVERIFY(!f.open(dir.filePath("none.dat"), PositionedFile::Mode::ReadOnly));
        QVERIFY(!QFile::exists(dir.filePath("none.dat")));
        QCOMPARE(f.read(1, 4), QByteArray(4, '\0'));  // a closed file reads zeros
    }

    void positionsAreOneBasedLittleEndian() {
        QTemporaryDir dir;
        PositionedFile f;
        QVERIFY(f.open(dir.filePath("a.dat")));
        QVERIFY(f.writeNumber<qint16>(3, 0x1234));
        QVERIFY(f.writeNumber<float>(5, 1.0f));
        QCOMPARE(ReadAll(dir.filePath("a.dat")), QByteArray("\0\0\x34\x12\0\0\x80\x3f", 8));
        QCOMPARE(f.readNumber<qint16>(3), qint16(0x1234));
        QCOMPARE(f.readNumber<float>(5), 1.0f);
    }

    void zerosPastTheEnd() {
        QTemporaryDir dir;
        WriteAll(dir.filePath("b.dat"), QByteArray("\x01\x02", 2));
        PositionedFile f;
        QVERIFY(f.open(dir.filePath("b.dat")));
        QCOMPARE(f.read(1, 4), QByteArray("\x01\x02\0\0", 4));
        QCOMPARE(f.readNumber<qint32>(2), 2);
        QCOMPARE(f.readNumber<double>(100), 0.0);
        QCOMPARE(f.read(0, 2), QByteArray(2, '\0'));  // position 0 does not exist
    }

    void writesOnlyTheirField() {
        QTemporaryDir dir;
        WriteAll(dir.filePath("c.dat"), QByteArray(10, 'x'));
        PositionedFile f;
        QVERIFY(f.open(dir.filePath("c.dat")));
        QVERIFY(f.writeFixedText(3, 4, "中文字"));  // 6 bytes of text in a 4-byte field
        QCOMPARE(ReadAll(dir.filePath("c.dat")), QByteArray("xx\xd6\xd0\xce\xc4xxxx"));
        QVERIFY(f.writeFixedText(3, 4, "a"));
        QCOMPARE(ReadAll(dir.filePath("c.dat")), QByteArray("xxa   xxxx"));
        QCOMPARE(f.readFixedText(3, 4), QStringLiteral("a"));
    }

    void fixedTextStopsAtZero() {
        QCOMPARE(DecodeFixedText(QByteArray(" ab\0cd  ", 8)), QStringLiteral("ab"));
        QCOMPARE(DecodeFixedText(QByteArray("      ")), QString());
    }

    void writesReachTheFileAtOnce() {
        QTemporaryDir dir;
        PositionedFile f;
        QVERIFY(f.open(dir.filePath("d.dat")));
        QVERIFY(f.write(5, "abc"));
        // Another reader sees the bytes while the handle is still open.
        QCOMPARE(ReadAll(dir.filePath("d.dat")), QByteArray("\0\0\0\0abc", 7));
    }
};

QTEST_APPLESS_MAIN(TestPositionedFile)
#include "TestPositionedFile.moc"
