#include <fcntl.h>
#include <linux/input.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include "platform/cueplayer_canberra.h"
#include "platform/keycapture.h"
#include "platform/readergate.h"
#include "testsupport.h"

using namespace tallyra;

namespace {

struct Ev {
    int type, code, value;
};
using Stream = QList<Ev>;

Ev Key(int code, int value = 1) { return {EV_KEY, code, value}; }
const Ev kSyn{EV_SYN, SYN_REPORT, 0};
const Ev kDropped{EV_SYN, SYN_DROPPED, 0};

// A card as a wedge reader types it: press and release of each key, a report after each.
Stream Card(const QList<int>& keys) {
    Stream s;
    for (int k : keys) s << Key(k) << kSyn << Key(k, 0) << kSyn;
    return s;
}

// A machine's input devices as sysfs and /dev/input show them, with FIFOs for the event
// nodes: what the test writes into one is what that keyboard typed.
struct FakeInput {
    QTemporaryDir dir;
    QString sys = dir.filePath("sys");
    QString dev = dir.filePath("input");
    std::map<QString, int> writers;
    qint64 clockMs = 1000;

    FakeInput() { QDir().mkpath(dev + "/by-id"); }
    ~FakeInput() {
        for (auto& [node, fd] : writers) ::close(fd);
    }
    // Capabilities: a keyboard has Enter (28) and 1 (2) in the lowest word.
    void plug(const QString& event, const QString& name, const QString& vendor,
              const QString& product, const QString& keys = "1 fffffffffffffffe") {
        const QString device = sys + "/" + event + "/device";
        QDir().mkpath(device + "/id");
        QDir().mkpath(device + "/capabilities");
        test::WriteAll(device + "/name", name.toUtf8() + "\n");
        test::WriteAll(device + "/id/vendor", vendor.toUtf8() + "\n");
        test::WriteAll(device + "/id/product", product.toUtf8() + "\n");
        test::WriteAll(device + "/capabilities/key", keys.toUtf8() + "\n");
        const QByteArray node = QFile::encodeName(dev + "/" + event);
        ::mkfifo(node.constData(), 0600);
        writers[event] = ::open(node.constData(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    }
    void unplug(const QString& event) {
        QDir(sys + "/" + event).removeRecursively();
        QFile::remove(dev + "/" + event);
        ::close(writers[event]);
        writers.erase(event);
    }
    int unread(const QString& event) {
        int bytes = -1;
        ::ioctl(writers[event], FIONREAD, &bytes);
        return bytes;
    }
    void type(const QString& event, const Stream& stream) {
        for (const Ev& e : stream) {
            input_event ev{};
            clockMs += 3;
            ev.input_event_sec = clockMs / 1000;
            ev.input_event_usec = (clockMs % 1000) * 1000;
            ev.type = quint16(e.type);
            ev.code = quint16(e.code);
            ev.value = e.value;
            QVERIFY(::write(writers[event], &ev, sizeof ev) == sizeof ev);
        }
    }
};

// Keys come when the test says; keys typed into our windows are not seen.
class BlindCapture final : public KeyCapture {
public:
    bool start(KeyDown onKeyDown) override {
        down = std::move(onKeyDown);
        return true;
    }
    QString name() const override { return "blind"; }
    std::vector<Keyboard> keyboards() const override { return list; }
    bool seesOwnWindows() const override { return false; }
    KeyDown down;
    std::vector<Keyboard> list;
};

const Keyboard kReader{"Acme Reader", "0c2e:0b61", {}};
const Keyboard kDesk{"AT Translated Set 2 keyboard", "0001:0001", {}};

}  // namespace

Q_DECLARE_METATYPE(Stream)

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
        FakeInput input;
        const auto none = [](int, qint64, const Keyboard&) {};
        QVERIFY(!MakeEvdevKeyCapture(input.sys, input.dev)->start(none));
        // A mouse has no Enter and no digits.
        input.plug("event0", "Mouse", "046d", "c077", "1f0000 0 0 0 0");
        QVERIFY(!MakeEvdevKeyCapture(input.sys, input.dev)->start(none));
        QVERIFY(!MakeEvdevKeyCapture(input.sys + "/missing", input.dev)->start(none));
        // A keyboard whose node we may not open (here: none at all) is listed, not read.
        input.plug("event1", "Acme Reader", "0c2e", "0b61");
        QFile::remove(input.dev + "/event1");
        QCOMPARE(ListEvdevKeyboards(input.sys, input.dev).size(), size_t(1));
        QVERIFY(!MakeEvdevKeyCapture(input.sys, input.dev)->start(none));
    }

    void evdevStreams_data() {
        QTest::addColumn<QString>("reader");  // the chosen reader; empty: any keyboard
        QTest::addColumn<QString>("typedOn");
        QTest::addColumn<Stream>("stream");
        QTest::addColumn<QList<int>>("keys");
        const Stream card = Card({KEY_3, KEY_0, KEY_1, KEY_ENTER});
        QTest::newRow("reader, any keyboard") << ""
                                              << "event0" << card << QList<int>{51, 48, 49, 13};
        QTest::newRow("desk keyboard, any keyboard")
            << ""
            << "event1" << card << QList<int>{51, 48, 49, 13};
        QTest::newRow("reader chosen") << "Acme Reader"
                                       << "event0" << card << QList<int>{51, 48, 49, 13};
        QTest::newRow("desk keyboard while the reader is chosen")
            << "Acme Reader"
            << "event1" << card << QList<int>{};
        QTest::newRow("repeat counts, release does not")
            << ""
            << "event0" << Stream{Key(KEY_7), kSyn, Key(KEY_7, 2), kSyn, Key(KEY_7, 0), kSyn}
            << QList<int>{55, 55};
        QTest::newRow("keypad and letters")
            << ""
            << "event1" << Stream{Key(KEY_KP4), Key(KEY_A), Key(KEY_KPENTER), kSyn}
            << QList<int>{100, 13};
        QTest::newRow("dropped events up to the next report")
            << ""
            << "event0" << Stream{Key(KEY_1), kSyn, Key(KEY_2), kDropped, Key(KEY_3),
                                  Key(KEY_4), kSyn, Key(KEY_5), kSyn}
            << QList<int>{49, 50, 53};
        QTest::newRow("other event types")
            << ""
            << "event0" << Stream{{EV_MSC, MSC_SCAN, 0x70004}, {EV_LED, 0, 1}, Key(KEY_9), kSyn}
            << QList<int>{57};
    }
    void evdevStreams() {
        QFETCH(QString, reader);
        QFETCH(QString, typedOn);
        QFETCH(Stream, stream);
        QFETCH(QList<int>, keys);
        FakeInput input;
        input.plug("event0", "Acme Reader", "0c2e", "0b61");
        input.plug("event1", "AT Translated Set 2 keyboard", "0001", "0001");
        input.plug("event2", "Mouse", "046d", "c077", "1f0000 0 0 0 0");
        QVERIFY(QFile::link("../event0", input.dev + "/by-id/usb-Acme_Reader_42-event-kbd"));
        test::RecordingNotifier notices;
        QList<int> got;
        ReaderGate gate(reader.isEmpty() ? ReaderChoice{} : ReaderChoice{reader, "0c2e:0b61"},
                        notices, [&](int key, qint64) { got << key; });
        auto capture = MakeEvdevKeyCapture(input.sys, input.dev);
        QVERIFY(capture->start(gate.keyDown()));
        gate.attach(capture.get());
        const std::vector<Keyboard> expected{
            {"Acme Reader", "0c2e:0b61", input.dev + "/by-id/usb-Acme_Reader_42-event-kbd"},
            {"AT Translated Set 2 keyboard", "0001:0001", input.dev + "/event1"}};
        QCOMPARE(gate.keyboards(), expected);
        input.type(typedOn, stream);
        QTRY_COMPARE(input.unread(typedOn), 0);  // read in one go, handed on as read
        QCOMPARE(got, keys);
        QCOMPARE(notices.notices, QStringList{});
    }

    void readerUnpluggedAndBack() {
        FakeInput input;
        input.plug("event0", "Acme Reader", "0c2e", "0b61");
        input.plug("event1", "AT Translated Set 2 keyboard", "0001", "0001");
        test::RecordingNotifier notices;
        QString card;
        ReaderGate gate(ReaderChoice::Of(kReader), notices,
                        [&](int key, qint64) { card += QChar(key == 13 ? u'#' : char16_t(key)); });
        auto capture = MakeEvdevKeyCapture(input.sys, input.dev);
        QVERIFY(capture->start(gate.keyDown()));
        gate.attach(capture.get());
        QSignalSpy tested(&gate, &ReaderGate::burstTyped);
        gate.setTesting(true);

        input.unplug("event0");
        QTRY_COMPARE(notices.notices, QStringList{"读卡器已断开"});
        QVERIFY(!gate.readerPresent());
        input.plug("event2", "USB Keyboard", "04d9", "1603");  // any other keyboard: no word
        input.plug("event0", "Acme Reader", "0c2e", "0b61");
        QTRY_COMPARE(notices.notices, (QStringList{"读卡器已断开", "读卡器已连接"}));
        QTRY_COMPARE(gate.keyboards().size(), size_t(3));
        input.type("event0", Card({KEY_4, KEY_2, KEY_ENTER}));
        QTRY_COMPARE(card, "42#");
        QCOMPARE(tested.size(), 1);
        QCOMPARE(tested[0][0].value<Keyboard>().name, "Acme Reader");
    }

    void windowKeysCountOnce_data() {
        QTest::addColumn<QString>("reader");
        QTest::addColumn<QString>(
            "steps");  // r: the reader typed, d: the desk keyboard, w: our window got
        QTest::addColumn<QString>("keys");
        QTest::newRow("capture first") << ""
                                       << "r1 w1"
                                       << "1";
        QTest::newRow("window first") << ""
                                      << "w1 r1"
                                      << "1";
        QTest::newRow("only the window saw it") << ""
                                                << "w2"
                                                << "2";
        QTest::newRow("two keys, one seen twice") << ""
                                                  << "r5 r5 w5"
                                                  << "55";
        QTest::newRow("desk keyboard into our window") << ""
                                                       << "d3 w3"
                                                       << "3";
        QTest::newRow("desk keyboard, reader chosen") << "Acme Reader"
                                                      << "d3 w3"
                                                      << "";
        QTest::newRow("unseen keyboard, reader in sight") << "Acme Reader"
                                                          << "w4"
                                                          << "";
        QTest::newRow("unseen keyboard, reader out of sight") << "Gone Reader"
                                                              << "w4"
                                                              << "4";
    }
    void windowKeysCountOnce() {
        QFETCH(QString, reader);
        QFETCH(QString, steps);
        QFETCH(QString, keys);
        BlindCapture capture;
        capture.list = {kReader, kDesk};
        test::RecordingNotifier notices;
        QString got;
        ReaderGate gate(ReaderChoice{reader, {}}, notices,
                        [&](int key, qint64) { got += QChar(char16_t(key)); });
        capture.start(gate.keyDown());
        gate.attach(&capture);
        for (const QString& step : steps.split(' ')) {
            const int key = step[1].unicode();
            if (step[0] == 'w')
                gate.windowKeyDown(key);
            else
                capture.down(key, -1, step[0] == 'r' ? kReader : kDesk);
        }
        QTest::qWait(ReaderGate::kTwinMs * 2);
        QCOMPARE(got, keys);
    }

    void udevRules_data() {
        QTest::addColumn<QString>("id");
        QTest::addColumn<QString>("match");  // empty: refused
        QTest::newRow("vendor:product")
            << "0C2E:0b61"
            << "ATTRS{id/vendor}==\"0c2e\", ATTRS{id/product}==\"0b61\"";
        QTest::newRow("by-id") << "/dev/input/by-id/usb-Acme_Reader_4.2-event-kbd"
                               << "SYMLINK==\"input/by-id/usb-Acme_Reader_4.2-event-kbd\"";
        QTest::newRow("short product") << "0c2e:0b6"
                                       << "";
        QTest::newRow("trailing line break") << "0c2e:0b61\n"
                                             << "";
        QTest::newRow("pattern") << "/dev/input/by-id/*"
                                 << "";
        QTest::newRow("quote") << "/dev/input/by-id/a\",MODE=\"0666"
                               << "";
        QTest::newRow("out of by-id") << "/dev/input/by-id/../event3"
                                      << "";
        QTest::newRow("event node") << "/dev/input/event3"
                                    << "";
    }
    void udevRules() {
        QFETCH(QString, id);
        QFETCH(QString, match);
        const QString rule = UdevReaderRule(id);
        if (match.isEmpty()) {
            QCOMPARE(rule, QString());
            return;
        }
        QCOMPARE(rule, "ACTION!=\"remove\", SUBSYSTEM==\"input\", KERNEL==\"event*\", " + match +
                           ", TAG+=\"uaccess\"");
    }

    // A missing or unplayable cue is silent, and the cues we ship are plain PCM waves that
    // every player (libcanberra, PlaySound) takes: a RIFF/WAVE file whose fmt chunk says
    // PCM and whose data chunk holds what the header promises.
    void cuesAreHarmless() {
        QTemporaryDir dir;
        test::WriteAll(dir.filePath("3.wav"), QByteArray("RIFF not really a wave"));
        CanberraCuePlayer player(dir.path());
        player.play(QStringLiteral("0.wav"));  // missing
        player.play(QStringLiteral("3.wav"));  // unplayable
        CanberraCuePlayer shipped(QStringLiteral(TALLYRA_SOUND_DIR));
        for (const char* f : {"0.wav", "3.wav", "4.wav"}) {
            const QByteArray w = test::ReadAll(QStringLiteral(TALLYRA_SOUND_DIR "/") + f);
            const auto u16 = [&](int at) { return qFromLittleEndian<quint16>(w.constData() + at); };
            const auto u32 = [&](int at) { return qFromLittleEndian<quint32>(w.constData() + at); };
            QVERIFY2(w.size() > 44 && w.startsWith("RIFF") && w.mid(8, 8) == "WAVEfmt ", f);
            QCOMPARE(u32(4), quint32(w.size() - 8));
            QCOMPARE(u16(20), quint16(1));  // PCM
            QVERIFY(u16(22) == 1 || u16(22) == 2);
            QVERIFY(u32(24) >= 8000 && u32(24) <= 48000);
            const int data = 20 + int(u32(16));
            QCOMPARE(w.mid(data, 4), QByteArray("data"));
            QVERIFY(u32(data + 4) > 0 && data + 8 + qint64(u32(data + 4)) <= w.size());
            shipped.play(QString::fromLatin1(f));
        }
    }
};

QTEST_GUILESS_MAIN(TestPlatform)
#include "TestPlatform.moc"
