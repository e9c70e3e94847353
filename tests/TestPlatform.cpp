#include <linux/input-event-codes.h>

#include <QTemporaryDir>
#include <QTest>

#include "platform/cueplayer_canberra.h"
#include "platform/keycapture.h"
#include "testsupport.h"

using namespace tallyra;

class TestPlatform : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void keysByPhysicalKey_data() {
        QTest::addColumn<int>("linuxKey");
        QTest::addColumn<int>("virtualKey");
        QTest::newRow("1") << KEY_1 << 49;
        QTest::newRow("9") << KEY_9 << 57;
        QTest::newRow("0 after 9 on the row") << KEY_0 << 48;
        QTest::newRow("Enter") << KEY_ENTER << 13;
        QTest::newRow("keypad Enter") << KEY_KPENTER << 13;
        QTest::newRow("keypad 0") << KEY_KP0 << 96;
        QTest::newRow("keypad 1") << KEY_KP1 << 97;
        QTest::newRow("keypad 5") << KEY_KP5 << 101;
        QTest::newRow("keypad 7") << KEY_KP7 << 103;
        QTest::newRow("keypad 9") << KEY_KP9 << 105;
        QTest::newRow("minus") << KEY_MINUS << 0;
        QTest::newRow("Q") << KEY_Q << 0;
        QTest::newRow("Escape") << KEY_ESC << 0;
    }
    void keysByPhysicalKey() {
        QFETCH(int, linuxKey);
        QFETCH(int, virtualKey);
        QCOMPARE(VirtualKeyFromLinuxKey(linuxKey), virtualKey);
    }

    void evdevNeedsAKeyboard() {
        QTemporaryDir dir;
        QVERIFY(!MakeEvdevKeyCapture(dir.path())->start([](int, qint64) {}));
        // A node that is not an input device does not count.
        test::WriteAll(dir.filePath("event0"), QByteArray(64, '\0'));
        QVERIFY(!MakeEvdevKeyCapture(dir.path())->start([](int, qint64) {}));
        QVERIFY(!MakeEvdevKeyCapture(dir.filePath("missing"))->start([](int, qint64) {}));
    }

    void cuesAreHarmless() {
        QTemporaryDir dir;
        test::WriteAll(dir.filePath("3.wav"), QByteArray("RIFF not really a wave"));
        CanberraCuePlayer player(dir.path());
        player.play(QStringLiteral("0.wav"));  // missing
        player.play(QStringLiteral("3.wav"));  // unplayable
        player.play(QStringLiteral("3.wav"));
        CanberraCuePlayer shipped(QStringLiteral(TALLYRA_SOUND_DIR));
        for (const char* f : {"0.wav", "3.wav", "4.wav"}) {
            QVERIFY(QFile::exists(QStringLiteral(TALLYRA_SOUND_DIR "/") + f));
            shipped.play(QString::fromLatin1(f));
        }
    }
};

QTEST_GUILESS_MAIN(TestPlatform)
#include "TestPlatform.moc"
