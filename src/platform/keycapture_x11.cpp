// X11: raw key events of the master keyboards on the root window (XInput 2.1 and later
// deliver them whichever window has the focus, even under a grab); each names the slave
// device that sent it. The connection is our own, read from the event loop, so keys are
// handled on the user-interface thread.
#include <QSocketNotifier>
#include <cstdint>
#include <map>
#include <set>

#include "platform/keycapture.h"

// Xlib's macros (Status, Bool, None) break Qt headers included after it.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>

namespace tallyra {

namespace {

// Xlib's default error handler ends the process; a refused request must only make the
// start fail, and a device that went away between two requests must not matter.
int g_lastXError = 0;
int RecordXError(Display*, XErrorEvent* e) {
    g_lastXError = e->error_code;
    return 0;
}

class X11KeyCapture final : public KeyCapture {
public:
    ~X11KeyCapture() override {
        delete notifier_;
        if (display_) XCloseDisplay(display_);
    }

    QString name() const override { return QStringLiteral("X11 XInput2"); }

    std::vector<Keyboard> keyboards() const override {
        std::vector<Keyboard> list;
        for (const auto& [id, keyboard] : keyboards_) list.push_back(keyboard);
        return list;
    }

    bool start(KeyDown onKeyDown) override {
        onKeyDown_ = std::move(onKeyDown);
        display_ = XOpenDisplay(nullptr);
        if (!display_) return false;
        int event = 0, error = 0;
        if (!XQueryExtension(display_, "XInputExtension", &opcode_, &event, &error)) return false;
        int major = 2, minor = 2;
        if (XIQueryVersion(display_, &major, &minor) != Success) return false;
        if (major < 2 || (major == 2 && minor < 1)) return false;

        unsigned char keyBits[XIMaskLen(XI_LASTEVENT)] = {};
        XISetMask(keyBits, XI_RawKeyPress);
        unsigned char deviceBits[XIMaskLen(XI_LASTEVENT)] = {};
        XISetMask(deviceBits, XI_HierarchyChanged);
        XIEventMask masks[2];
        masks[0].deviceid = XIAllMasterDevices;
        masks[0].mask_len = sizeof keyBits;
        masks[0].mask = keyBits;
        // Devices coming and going are told only to a selection for all devices.
        masks[1].deviceid = XIAllDevices;
        masks[1].mask_len = sizeof deviceBits;
        masks[1].mask = deviceBits;
        g_lastXError = 0;
        auto* previous = XSetErrorHandler(RecordXError);
        XISelectEvents(display_, DefaultRootWindow(display_), masks, 2);
        XSync(display_, False);
        XSetErrorHandler(previous);
        if (g_lastXError != 0) return false;
        listKeyboards();

        notifier_ = new QSocketNotifier(ConnectionNumber(display_), QSocketNotifier::Read);
        QObject::connect(notifier_, &QSocketNotifier::activated, [this] { drain(); });
        drain();
        return true;
    }

private:
    // The slave keyboards attached to a master: floating ones send no raw events there.
    void listKeyboards() {
        keyboards_.clear();
        notKeyboards_.clear();
        auto* previous = XSetErrorHandler(RecordXError);
        int count = 0;
        XIDeviceInfo* devices = XIQueryDevice(display_, XIAllDevices, &count);
        const Atom productId = XInternAtom(display_, "Device Product ID", True);
        for (int i = 0; i < count; ++i) {
            const XIDeviceInfo& d = devices[i];
            if (d.use != XISlaveKeyboard || !d.enabled) continue;
            Keyboard k{QString::fromUtf8(d.name), usbId(d.deviceid, productId),
                       QStringLiteral("XInput")};
            keyboards_.emplace(d.deviceid, std::move(k));
        }
        if (devices) XIFreeDeviceInfo(devices);
        XSync(display_, False);
        XSetErrorHandler(previous);
    }

    // What the X input drivers (evdev, libinput) publish of the kernel's vendor:product.
    QString usbId(int device, Atom productId) {
        if (productId == 0) return {};
        Atom type = 0;
        int format = 0;
        unsigned long items = 0, after = 0;
        unsigned char* data = nullptr;
        QString id;
        if (XIGetProperty(display_, device, productId, 0, 2, False, XA_INTEGER, &type, &format,
                          &items, &after, &data) == Success &&
            type == XA_INTEGER && format == 32 && items == 2) {
            // XI2 returns 32-bit items as 32 bits, unlike the core protocol's longs.
            const auto* v = reinterpret_cast<const std::uint32_t*>(data);
            if (v[0] != 0 || v[1] != 0)
                id = QString::asprintf("%04x:%04x", unsigned(v[0]), unsigned(v[1]));
        }
        if (data) XFree(data);
        return id;
    }

    const Keyboard& keyboardOf(int source) {
        static const Keyboard unknown;
        auto it = keyboards_.find(source);
        if (it == keyboards_.end()) {
            // Asking the server costs round trips on every key: a source that is no keyboard
            // is asked about once, until the devices change.
            if (notKeyboards_.contains(source)) return unknown;
            listKeyboards();  // a device announced after its first key
            it = keyboards_.find(source);
            if (it == keyboards_.end()) notKeyboards_.insert(source);
        }
        return it != keyboards_.end() ? it->second : unknown;
    }

    void drain() {
        while (XPending(display_) > 0) {
            XEvent e;
            XNextEvent(display_, &e);
            XGenericEventCookie* cookie = &e.xcookie;
            if (cookie->type != GenericEvent || cookie->extension != opcode_) continue;
            if (!XGetEventData(display_, cookie)) continue;
            int key = 0, source = 0;
            qint64 time = -1;
            bool devicesChanged = false;
            if (cookie->evtype == XI_RawKeyPress) {
                const auto* raw = static_cast<const XIRawEvent*>(cookie->data);
                key = VirtualKeyFromLinuxKey(raw->detail - kNativeKeycodeOffset);
                source = raw->sourceid;
                time = qint64(raw->time);  // server milliseconds
            } else if (cookie->evtype == XI_HierarchyChanged) {
                const auto* h = static_cast<const XIHierarchyEvent*>(cookie->data);
                devicesChanged =
                    (h->flags & (XISlaveAdded | XISlaveRemoved | XISlaveAttached | XISlaveDetached |
                                 XIDeviceEnabled | XIDeviceDisabled)) != 0;
            }
            XFreeEventData(display_, cookie);
            if (key != 0) {
                const Keyboard from = keyboardOf(source);
                onKeyDown_(key, time, from);
            }
            if (devicesChanged) {
                listKeyboards();
                keyboardsChanged();
            }
        }
    }

    Display* display_ = nullptr;
    int opcode_ = 0;
    QSocketNotifier* notifier_ = nullptr;
    std::map<int, Keyboard> keyboards_;
    std::set<int> notKeyboards_;
    KeyDown onKeyDown_;
};

}  // namespace

std::unique_ptr<KeyCapture> MakeX11KeyCapture() { return std::make_unique<X11KeyCapture>(); }

}  // namespace tallyra
