#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include "core/cardinput.h"
#include "core/format/readerchoice.h"
#include "testsupport.h"

using namespace tallyra;

namespace {

// A burst timer on a virtual clock: time moves only when the test says so.
class ManualTimer final : public BurstTimer {
public:
    std::function<void()> onTimeout;
    void start(int ms) override { due_ = now_ + ms; }
    void stop() override { due_ = -1; }
    void advance(int ms) {
        now_ += ms;
        if (due_ >= 0 && now_ >= due_) {
            due_ = -1;
            onTimeout();
        }
    }

private:
    qint64 now_ = 0;
    qint64 due_ = -1;
};

struct Key {
    int afterMs;
    int code;
};

constexpr int kEnter = 13;
constexpr int kKeypad0 = 96;

QList<Key> Burst(const QString& digits, int gapMs, int enterAfterMs, int base = '0') {
    QList<Key> keys;
    for (QChar c : digits) keys << Key{gapMs, base + (c.unicode() - '0')};
    keys << Key{enterAfterMs, kEnter};
    return keys;
}

}  // namespace

Q_DECLARE_METATYPE(QList<Key>)

class TestCardInput : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void bursts_data() {
        QTest::addColumn<int>("panel");
        QTest::addColumn<QList<Key>>("keys");
        QTest::addColumn<QStringList>("swipes");
        QTest::newRow("reader: 3 ms apart")
            << 4 << Burst("3000137", 3, 3) << QStringList{"3000137"};
        QTest::newRow("Enter 99 ms after") << 4 << Burst("1234", 3, 99) << QStringList{"1234"};
        QTest::newRow("Enter 150 ms after") << 4 << Burst("1234", 3, 150) << QStringList{""};
        QTest::newRow("typed by hand") << 4 << Burst("1234", 150, 150) << QStringList{""};
        QTest::newRow("hand typing, last digit kept")
            << 4 << Burst("1234", 150, 20) << QStringList{"4"};
        QTest::newRow("keypad digits") << 4 << Burst("1234", 3, 3, kKeypad0) << QStringList{""};
        QTest::newRow("13 digits")
            << 4 << Burst("1234567890123", 3, 3) << QStringList{"1234567890123"};
        QTest::newRow("personal centre") << 5 << Burst("42", 3, 3) << QStringList{"42"};
        for (int panel = 0; panel < 4; ++panel)
            QTest::addRow("panel %d ignores it", panel)
                << panel << Burst("42", 3, 3) << QStringList{};
        QList<Key> twoSwipes = Burst("11", 3, 3) + QList<Key>{{300, 0}} + Burst("22", 3, 3);
        QTest::newRow("two swipes") << 4 << twoSwipes << QStringList{"11", "22"};
        QList<Key> withLetters = Burst("12", 3, 3);
        withLetters.insert(1, Key{3, 'A'});
        QTest::newRow("other keys ignored") << 4 << withLetters << QStringList{"12"};
    }
    void bursts() {
        QFETCH(int, panel);
        QFETCH(QList<Key>, keys);
        QFETCH(QStringList, swipes);
        ManualTimer timer;
        QStringList got;
        QList<int> panels;
        CardInput input(timer, [&](const QString& card, Panel p) {
            got << card;
            panels << int(p);
        });
        timer.onTimeout = [&] { input.OnTimer2(); };
        input.setPanel(Panel(panel));
        for (const Key& k : keys) {
            timer.advance(k.afterMs);
            input.AllIN(k.code);
        }
        QCOMPARE(got, swipes);
        for (int p : panels) QCOMPARE(p, panel);
    }

    void keysJudgedByWhenTheyWereTyped_data() {
        QTest::addColumn<QList<int>>("times");  // of the digits 1, 2, 3 and Enter
        QTest::addColumn<QStringList>("swipes");
        QTest::newRow("a burst read late") << QList<int>{0, 3, 6, 9} << QStringList{"123"};
        QTest::newRow("hand typing read at once")
            << QList<int>{0, 150, 300, 450} << QStringList{""};
        QTest::newRow("slow Enter") << QList<int>{0, 3, 6, 106} << QStringList{""};
        QTest::newRow("a pause drops the start")
            << QList<int>{0, 200, 203, 206} << QStringList{"23"};
    }
    void keysJudgedByWhenTheyWereTyped() {
        // The window was busy: every key is read in one go, the timer had no chance to run.
        QFETCH(QList<int>, times);
        QFETCH(QStringList, swipes);
        ManualTimer timer;
        QStringList got;
        CardInput input(timer, [&](const QString& card, Panel) { got << card; });
        timer.onTimeout = [&] { input.OnTimer2(); };
        const int codes[] = {'1', '2', '3', kEnter};
        for (int i = 0; i < 4; ++i) input.AllIN(codes[i], 5000 + times[i]);
        QCOMPARE(got, swipes);
    }

    void enterLeavesTheBufferToTheTimeOut() {
        ManualTimer timer;
        CardInput input(timer, {});
        timer.onTimeout = [&] { input.OnTimer2(); };
        for (int code : {int('7'), int('7'), kEnter}) {
            timer.advance(3);
            input.AllIN(code);
        }
        QCOMPARE(input.CardBuffer(), "77");
        timer.advance(96);
        QCOMPARE(input.CardBuffer(), "77");
        timer.advance(1);  // 100 ms after the last digit
        QCOMPARE(input.CardBuffer(), QString());
    }

    void readerFile_data() {
        QTest::addColumn<QByteArray>("file");  // null: no reader.dat
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("usbId");
        QTest::newRow("no file") << QByteArray() << ""
                                 << "";
        QTest::newRow("empty: any keyboard") << QByteArray("") << ""
                                             << "";
        QTest::newRow("name and id")
            << QByteArray("name=Acme Reader\nid=0C2E:0B61\n") << "Acme Reader"
            << "0c2e:0b61";
        QTest::newRow("CRLF lines")
            << QByteArray("id=0c2e:0b61\r\nname=读卡器 K1\r\n") << "读卡器 K1"
            << "0c2e:0b61";
        QTest::newRow("an id without a name is any keyboard") << QByteArray("id=0c2e:0b61\n") << ""
                                                              << "";
        QTest::newRow("other lines ignored")
            << QByteArray("# from elsewhere\nname=Virtual core XTEST keyboard\nx=1\n")
            << "Virtual core XTEST keyboard"
            << "";
    }
    void readerFile() {
        QFETCH(QByteArray, file);
        QFETCH(QString, name);
        QFETCH(QString, usbId);
        QTemporaryDir dir;
        const DataFolder folder(dir.path());
        if (!file.isNull()) test::WriteAll(folder.file("reader.dat"), file);
        const ReaderChoice loaded = LoadReaderChoice(folder);
        QCOMPARE(loaded, (ReaderChoice{name, usbId}));
        QVERIFY(SaveReaderChoice(folder, loaded));
        QCOMPARE(LoadReaderChoice(folder), loaded);
    }

    void readerNotSaved() {
        QTemporaryDir dir;
        const DataFolder folder(dir.path());
        const ReaderChoice acme{"Acme Reader", "0c2e:0b61"};
        QVERIFY(SaveReaderChoice(folder, acme));
        QVERIFY(!SaveReaderChoice(DataFolder(dir.filePath("missing")), acme));
        // A folder in the way (root may write anywhere, so no read-only folder here).
        QFile::remove(folder.file("reader.dat"));
        QVERIFY(QDir(dir.path()).mkpath("reader.dat"));
        QVERIFY(!SaveReaderChoice(folder, {}));
        QVERIFY(!SaveReaderChoice(folder, acme));
    }

    void readerMatches_data() {
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QString>("chosenId");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("usbId");
        QTest::addColumn<bool>("matches");
        QTest::newRow("any keyboard") << ""
                                      << ""
                                      << "AT keyboard"
                                      << "0001:0001" << true;
        QTest::newRow("the reader") << "Acme"
                                    << "0c2e:0b61"
                                    << "Acme"
                                    << "0c2e:0b61" << true;
        QTest::newRow("same name, other product") << "Acme"
                                                  << "0c2e:0b61"
                                                  << "Acme"
                                                  << "0c2e:0b62" << false;
        QTest::newRow("same product, other interface") << "Acme"
                                                       << "0c2e:0b61"
                                                       << "Acme Consumer Control"
                                                       << "0c2e:0b61" << false;
        QTest::newRow("an X driver that does not tell the product") << "Acme"
                                                                    << "0c2e:0b61"
                                                                    << "Acme"
                                                                    << "" << true;
    }
    void readerMatches() {
        QFETCH(QString, chosen);
        QFETCH(QString, chosenId);
        QFETCH(QString, name);
        QFETCH(QString, usbId);
        QFETCH(bool, matches);
        QCOMPARE(
            (ReaderChoice{chosen, chosenId}.matches(Keyboard{name, usbId, "/dev/input/event3"})),
            matches);
    }
};

QTEST_GUILESS_MAIN(TestCardInput)
#include "TestCardInput.moc"
