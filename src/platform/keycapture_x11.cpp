// X11: raw key events of the master keyboards on the root window (XInput 2.1 and later
// deliver them whichever window has the focus, even under a grab). The connection is our
// own, read from the event loop, so keys are handled on the user-interface thread.
#include <QSocketNotifier>

#include "platform/keycapture.h"

// Xlib's macros (Status, Bool, None) break Qt headers included after it.
#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>

namespace tallyra {

namespace {

// Xlib's default error handler ends the process; a refused request must only make the
// start fail.
int g_lastXError = 0;
int RecordXError(Display*, XErrorEvent* e) {
    g_lastXError = e->error_code;
    return 0;
}

// X11 key codes of the evdev keymap are the Linux key codes plus 8.
constexpr int kX11KeycodeOffset = 8;

class X11KeyCapture final : public KeyCapture {
public:
    ~X11KeyCapture() override {
        delete notifier_;
        if (display_) XCloseDisplay(display_);
    }

    QString name() const override { return QStringLiteral("X11 XInput2"); }

    bool start(KeyDown onKeyDown) override {
        onKeyDown_ = std::move(onKeyDown);
        display_ = XOpenDisplay(nullptr);
        if (!display_) return false;
        int event = 0, error = 0;
        if (!XQueryExtension(display_, "XInputExtension", &opcode_, &event, &error)) return false;
        int major = 2, minor = 2;
        if (XIQueryVersion(display_, &major, &minor) != Success) return false;
        if (major < 2 || (major == 2 && minor < 1)) return false;

        unsigned char bits[XIMaskLen(XI_LASTEVENT)] = {};
        XISetMask(bits, XI_RawKeyPress);
        XIEventMask mask;
        mask.deviceid = XIAllMasterDevices;
        mask.mask_len = sizeof bits;
        mask.mask = bits;
        g_lastXError = 0;
        auto* previous = XSetErrorHandler(RecordXError);
        XISelectEvents(display_, DefaultRootWindow(display_), &mask, 1);
        XSync(display_, False);
        XSetErrorHandler(previous);
        if (g_lastXError != 0) return false;

        notifier_ = new QSocketNotifier(ConnectionNumber(display_), QSocketNotifier::Read);
        QObject::connect(notifier_, &QSocketNotifier::activated, [this] { drain(); });
        drain();
        return true;
    }

private:
    void drain() {
        while (XPending(display_) > 0) {
            XEvent e;
            XNextEvent(display_, &e);
            XGenericEventCookie* cookie = &e.xcookie;
            if (cookie->type != GenericEvent || cookie->extension != opcode_) continue;
            if (!XGetEventData(display_, cookie)) continue;
            int key = 0;
            qint64 time = -1;
            if (cookie->evtype == XI_RawKeyPress) {
                const auto* raw = static_cast<const XIRawEvent*>(cookie->data);
                key = VirtualKeyFromLinuxKey(raw->detail - kX11KeycodeOffset);
                time = qint64(raw->time);  // server milliseconds
            }
            XFreeEventData(display_, cookie);
            if (key != 0) onKeyDown_(key, time);
        }
    }

    Display* display_ = nullptr;
    int opcode_ = 0;
    QSocketNotifier* notifier_ = nullptr;
    KeyDown onKeyDown_;
};

}  // namespace

std::unique_ptr<KeyCapture> MakeX11KeyCapture() { return std::make_unique<X11KeyCapture>(); }

}  // namespace tallyra
