#include <QTest>

#include "common/gbk.h"

using namespace tallyra;

class TestGbk : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void roundTrip_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("ascii") << "Tallyra 1" << QByteArray("Tallyra 1");
        QTest::newRow("chinese") << "中文" << QByteArray("\xd6\xd0\xce\xc4");
        QTest::newRow("mixed") << "a中" << QByteArray("a\xd6\xd0");
        QTest::newRow("euro is one byte") << "€" << QByteArray("\x80");
        QTest::newRow("empty") << "" << QByteArray();
    }
    void roundTrip() {
        QFETCH(QString, text);
        QFETCH(QByteArray, bytes);
        QCOMPARE(EncodeGbk(text), bytes);
        QCOMPARE(DecodeGbk(bytes), text);
    }

    void undecodable_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("bad trail byte keeps the blank")
            << QByteArray("\x81\x20", 2) << QString::fromUtf16(u"\uFFFD ");
        QTest::newRow("lead byte cut at the end")
            << QByteArray("a\xd6", 2) << QString::fromUtf16(u"a\uFFFD");
        QTest::newRow("zero bytes are kept")
            << QByteArray("a\0b", 3) << QStringView(u"a\0b", 3).toString();
    }
    void undecodable() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        QCOMPARE(DecodeGbk(bytes), text);
    }

    void unencodable() {
        QCOMPARE(EncodeGbk(QString::fromUcs4(U"a\U0001F600b")), QByteArray("a?b"));
    }

    void fitting_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("max");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("fits") << "中文" << 4 << QByteArray("\xd6\xd0\xce\xc4");
        QTest::newRow("never half a character") << "中文" << 3 << QByteArray("\xd6\xd0");
        QTest::newRow("ascii cut") << "abcdef" << 4 << QByteArray("abcd");
        QTest::newRow("nothing fits") << "中" << 1 << QByteArray();
    }
    void fitting() {
        QFETCH(QString, text);
        QFETCH(int, max);
        QFETCH(QByteArray, bytes);
        QCOMPARE(EncodeGbkFitting(text, max), bytes);
    }
};

QTEST_APPLESS_MAIN(TestGbk)
#include "TestGbk.moc"
