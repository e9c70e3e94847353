// evdev: every keyboard under the input folder, read without grabbing it, so the keys
// still reach the window system. What a device is comes from sysfs, so a keyboard we may
// not read is still listed; the nodes themselves are read as plain streams of
// struct input_event. Keyboards that are unplugged are dropped and picked up again when
// their node comes back.
#include <fcntl.h>
#include <linux/input.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QSocketNotifier>
#include <QTimer>
#include <cerrno>
#include <climits>
#include <map>
#include <vector>

#include "platform/keycapture.h"

namespace tallyra {

namespace {

QString ReadSysfs(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    return QString::fromUtf8(f.read(4096)).trimmed();
}

// sysfs prints a capability bitmap as hexadecimal longs, the highest first.
bool HasBit(const QString& bitmap, int bit) {
    constexpr int kLongBits = int(sizeof(long) * CHAR_BIT);
    const QStringList words = bitmap.split(u' ', Qt::SkipEmptyParts);
    const qsizetype word = words.size() - 1 - bit / kLongBits;
    if (word < 0) return false;
    bool ok = false;
    const qulonglong value = words[word].toULongLong(&ok, 16);
    return ok && ((value >> (bit % kLongBits)) & 1u) != 0;
}

// The by-id links of the input folder by the node they point at; a keyboard's own
// interface ("-event-kbd") wins over its others.
std::map<QString, QString> ByIdLinks(const QString& inputFolder) {
    std::map<QString, QString> links;
    const QDir byId(QDir(inputFolder).filePath(QStringLiteral("by-id")));
    for (const QFileInfo& link : byId.entryInfoList(QDir::System | QDir::Files)) {
        const QString node = link.canonicalFilePath();
        if (node.isEmpty()) continue;
        QString& current = links[node];
        if (current.isEmpty() || link.fileName().endsWith(QLatin1String("-event-kbd")))
            current = link.absoluteFilePath();
    }
    return links;
}

// Decodes what one node delivers. Press (1) and autorepeat (2) are key-downs, as a
// repeating key sends them on every system; release (0) is not.
class EventStream {
public:
    template <typename KeyDown>
    void feed(const char* bytes, qsizetype size, KeyDown&& onKeyDown) {
        partial_.append(bytes, size);
        const qsizetype whole = partial_.size() / qsizetype(sizeof(input_event));
        for (qsizetype i = 0; i < whole; ++i) {
            input_event ev;
            memcpy(&ev, partial_.constData() + i * qsizetype(sizeof ev), sizeof ev);
            if (ev.type == EV_SYN) {
                // The kernel's buffer overran: what follows up to the next report is
                // incomplete, and a card with a digit missing must not sign anybody in.
                if (ev.code == SYN_DROPPED) dropping_ = true;
                if (ev.code == SYN_REPORT) dropping_ = false;
                continue;
            }
            if (dropping_ || ev.type != EV_KEY || (ev.value != 1 && ev.value != 2)) continue;
            const int key = VirtualKeyFromLinuxKey(ev.code);
            if (key == 0) continue;
            onKeyDown(key, qint64(ev.input_event_sec) * 1000 + ev.input_event_usec / 1000);
        }
        partial_.remove(0, whole * qsizetype(sizeof(input_event)));
    }

private:
    QByteArray partial_;
    bool dropping_ = false;
};

struct Reader {
    int fd = -1;
    QSocketNotifier* notifier = nullptr;
    Keyboard keyboard;
    EventStream stream;

    ~Reader() {
        delete notifier;
        if (fd >= 0) ::close(fd);
    }
};

class EvdevKeyCapture final : public KeyCapture {
public:
    EvdevKeyCapture(QString sysClassInput, QString inputFolder)
        : sysClassInput_(std::move(sysClassInput)), inputFolder_(std::move(inputFolder)) {}

    QString name() const override { return QStringLiteral("evdev"); }
    // A keyboard we may not read still types into our window.
    bool seesOwnWindows() const override { return false; }

    std::vector<Keyboard> keyboards() const override {
        std::vector<Keyboard> list;
        for (const auto& [node, reader] : readers_) list.push_back(reader->keyboard);
        return list;
    }

    bool start(KeyDown onKeyDown) override {
        onKeyDown_ = std::move(onKeyDown);
        rescan();
        if (readers_.empty()) return false;
        watcher_.addPath(inputFolder_);
        QObject::connect(&watcher_, &QFileSystemWatcher::directoryChanged, &context_, [this] {
            rescan();
            // A new node may not be readable until udev has set its permissions and links.
            for (int ms : {500, 2000}) QTimer::singleShot(ms, &context_, [this] { rescan(); });
        });
        return true;
    }

private:
    void rescan() {
        bool changed = false;
        std::map<QString, Keyboard> listed;
        for (EvdevKeyboard& k : ListEvdevKeyboards(sysClassInput_, inputFolder_))
            listed.emplace(k.node, std::move(k.keyboard));
        for (auto it = readers_.begin(); it != readers_.end();) {
            if (listed.count(it->first) == 0) {
                it = readers_.erase(it);
                changed = true;
            } else {
                ++it;
            }
        }
        for (auto& [node, keyboard] : listed) {
            if (auto it = readers_.find(node); it != readers_.end()) {
                if (it->second->keyboard != keyboard) {
                    it->second->keyboard = keyboard;
                    changed = true;
                }
                continue;
            }
            const int fd =
                ::open(QFile::encodeName(node).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
            if (fd < 0) continue;
            auto reader = std::make_unique<Reader>();
            reader->fd = fd;
            reader->keyboard = keyboard;
            reader->notifier = new QSocketNotifier(fd, QSocketNotifier::Read);
            QObject::connect(reader->notifier, &QSocketNotifier::activated, &context_,
                             [this, node = node] { read(node); });
            readers_.emplace(node, std::move(reader));
            changed = true;
        }
        if (changed) keyboardsChanged();
    }

    void read(const QString& node) {
        char buffer[64 * sizeof(input_event)];
        for (;;) {
            // Looked up each round: the key handlers run a swipe, which may let events run.
            const auto it = readers_.find(node);
            if (it == readers_.end()) return;
            Reader& reader = *it->second;
            const ssize_t n = ::read(reader.fd, buffer, sizeof buffer);
            if (n > 0) {
                std::vector<std::pair<int, qint64>> keys;
                reader.stream.feed(
                    buffer, n, [&keys](int key, qint64 timeMs) { keys.emplace_back(key, timeMs); });
                const Keyboard from = reader.keyboard;
                for (const auto& [key, timeMs] : keys) onKeyDown_(key, timeMs, from);
                continue;
            }
            if (n < 0 && errno == EINTR) continue;
            if (n < 0 && errno == EAGAIN) return;
            // Unplugged (or broken): drop it; the folder watch brings it back.
            reader.notifier->setEnabled(false);
            QTimer::singleShot(0, &context_, [this, node, gone = &reader] {
                const auto left = readers_.find(node);
                if (left == readers_.end() || left->second.get() != gone) return;
                readers_.erase(left);
                keyboardsChanged();
            });
            return;
        }
    }

    QObject context_;  // ends pending rescans and reads with us
    QString sysClassInput_;
    QString inputFolder_;
    std::map<QString, std::unique_ptr<Reader>> readers_;
    QFileSystemWatcher watcher_;
    KeyDown onKeyDown_;
};

}  // namespace

std::vector<EvdevKeyboard> ListEvdevKeyboards(const QString& sysClassInput,
                                              const QString& inputFolder) {
    std::vector<EvdevKeyboard> list;
    const QDir sys(sysClassInput);
    const std::map<QString, QString> byId = ByIdLinks(inputFolder);
    for (const QString& event :
         sys.entryList({QStringLiteral("event*")}, QDir::Dirs | QDir::System | QDir::NoDotAndDotDot,
                       QDir::Name)) {
        const QString device = sys.filePath(event + QStringLiteral("/device"));
        // A keyboard-wedge reader types digits and Enter.
        const QString keys = ReadSysfs(device + QStringLiteral("/capabilities/key"));
        if (!HasBit(keys, KEY_ENTER) || !HasBit(keys, KEY_1)) continue;
        EvdevKeyboard k;
        k.node = QDir(inputFolder).filePath(event);
        k.keyboard.name = ReadSysfs(device + QStringLiteral("/name"));
        const QString vendor = ReadSysfs(device + QStringLiteral("/id/vendor")).toLower();
        const QString product = ReadSysfs(device + QStringLiteral("/id/product")).toLower();
        if (!vendor.isEmpty() && !product.isEmpty()) k.keyboard.usbId = vendor + u':' + product;
        const auto link = byId.find(QFileInfo(k.node).canonicalFilePath());
        k.keyboard.where = link != byId.end() ? link->second : k.node;
        list.push_back(std::move(k));
    }
    return list;
}

std::unique_ptr<KeyCapture> MakeEvdevKeyCapture(const QString& sysClassInput,
                                                const QString& inputFolder) {
    return std::make_unique<EvdevKeyCapture>(sysClassInput, inputFolder);
}

}  // namespace tallyra
