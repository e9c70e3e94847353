// evdev: every keyboard under the input folder, read without grabbing it, so the keys
// still reach the window system. Readers that are unplugged are dropped and picked up
// again when their device node comes back.
#include <fcntl.h>
#include <libevdev/libevdev.h>
#include <unistd.h>

#include <QDir>
#include <QFileSystemWatcher>
#include <QSocketNotifier>
#include <QTimer>
#include <cerrno>
#include <map>

#include "platform/keycapture.h"

namespace tallyra {

namespace {

struct Reader {
    int fd = -1;
    libevdev* device = nullptr;
    QSocketNotifier* notifier = nullptr;

    ~Reader() {
        delete notifier;
        if (device) libevdev_free(device);
        if (fd >= 0) ::close(fd);
    }
};

class EvdevKeyCapture final : public KeyCapture {
public:
    explicit EvdevKeyCapture(QString folder) : folder_(std::move(folder)) {}

    QString name() const override { return QStringLiteral("evdev"); }

    bool start(KeyDown onKeyDown) override {
        onKeyDown_ = std::move(onKeyDown);
        rescan();
        if (readers_.empty()) return false;
        watcher_.addPath(folder_);
        QObject::connect(&watcher_, &QFileSystemWatcher::directoryChanged, [this] {
            // A new node may not be readable until udev has set its permissions.
            QTimer::singleShot(500, &context_, [this] { rescan(); });
            rescan();
        });
        return true;
    }

private:
    void rescan() {
        const QStringList nodes =
            QDir(folder_).entryList({QStringLiteral("event*")}, QDir::System | QDir::Files);
        for (const QString& node : nodes) {
            const QString path = QDir(folder_).filePath(node);
            if (readers_.count(path)) continue;
            auto reader = std::make_unique<Reader>();
            reader->fd =
                ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
            if (reader->fd < 0) continue;
            if (libevdev_new_from_fd(reader->fd, &reader->device) < 0) {
                reader->device = nullptr;
                continue;
            }
            // A keyboard-wedge reader types digits and Enter.
            if (!libevdev_has_event_code(reader->device, EV_KEY, KEY_ENTER) ||
                !libevdev_has_event_code(reader->device, EV_KEY, KEY_1))
                continue;
            reader->notifier = new QSocketNotifier(reader->fd, QSocketNotifier::Read);
            QObject::connect(reader->notifier, &QSocketNotifier::activated,
                             [this, path] { read(path); });
            readers_.emplace(path, std::move(reader));
        }
    }

    void read(const QString& path) {
        auto it = readers_.find(path);
        if (it == readers_.end()) return;
        libevdev* device = it->second->device;
        input_event ev;
        unsigned flags = LIBEVDEV_READ_FLAG_NORMAL;
        for (;;) {
            const int rc = libevdev_next_event(device, flags, &ev);
            if (rc == LIBEVDEV_READ_STATUS_SYNC) {
                // Events were dropped: catch up on the device state, skip what it replays.
                flags = LIBEVDEV_READ_FLAG_SYNC;
                continue;
            }
            if (rc == -EAGAIN && flags == LIBEVDEV_READ_FLAG_SYNC) {
                flags = LIBEVDEV_READ_FLAG_NORMAL;
                continue;
            }
            if (rc != LIBEVDEV_READ_STATUS_SUCCESS) {
                if (rc != -EAGAIN) {
                    // Unplugged (or broken): drop it; the folder watch brings it back.
                    it->second->notifier->setEnabled(false);
                    QTimer::singleShot(0, &context_, [this, path] { readers_.erase(path); });
                }
                return;
            }
            if (flags == LIBEVDEV_READ_FLAG_NORMAL && ev.type == EV_KEY &&
                (ev.value == 1 || ev.value == 2)) {
                const int key = VirtualKeyFromLinuxKey(ev.code);
                const qint64 time = qint64(ev.input_event_sec) * 1000 + ev.input_event_usec / 1000;
                if (key != 0) onKeyDown_(key, time);
            }
        }
    }

    QObject context_;  // ends pending rescans with us
    QString folder_;
    std::map<QString, std::unique_ptr<Reader>> readers_;
    QFileSystemWatcher watcher_;
    KeyDown onKeyDown_;
};

}  // namespace

std::unique_ptr<KeyCapture> MakeEvdevKeyCapture(const QString& inputFolder) {
    return std::make_unique<EvdevKeyCapture>(inputFolder);
}

}  // namespace tallyra
