#pragma once

#include <QString>
#include <functional>
#include <memory>
#include <vector>

#include "core/format/readerchoice.h"

class QKeyEvent;

namespace tallyra {

// System-wide key-down events, whichever program has the focus. Capture only listens:
// every key still reaches the focused program unchanged. Keys arrive on the thread that
// started the capture, by virtual-key code (main-row digits 48-57, Enter 13, keypad digits
// 96-105), taken from the physical key so the keyboard layout does not matter, together
// with the keyboard that typed them.
class KeyCapture {
public:
    // `timeMs`: when the key went down, in milliseconds on the backend's own clock.
    using KeyDown = std::function<void(int virtualKey, qint64 timeMs, const Keyboard& from)>;
    virtual ~KeyCapture() = default;
    virtual bool start(KeyDown onKeyDown) = 0;
    virtual QString name() const = 0;
    // The keyboards whose keys it reads now.
    virtual std::vector<Keyboard> keyboards() const { return {}; }
    // False when keys typed into our own windows may pass it by; the windows then hand
    // them over themselves.
    virtual bool seesOwnWindows() const { return true; }

    // Called after a keyboard came or went.
    void onKeyboardsChanged(std::function<void()> f) { keyboardsChanged_ = std::move(f); }
    // What the user must be told about where this capture is blind; empty when it is not.
    const QString& limit() const { return limit_; }
    void setLimit(QString text) { limit_ = std::move(text); }

protected:
    void keyboardsChanged() {
        if (keyboardsChanged_) keyboardsChanged_();
    }

private:
    std::function<void()> keyboardsChanged_;
    QString limit_;
};

// The virtual-key code of a key one of our own windows received; 0 for keys the card input
// has no use for.
int VirtualKeyOf(const QKeyEvent& key);

// The virtual-key code of a Linux input key code; 0 for keys the card input has no use for.
int VirtualKeyFromLinuxKey(int code);
// X11 and Wayland key codes (XInput's, a QKeyEvent's native scan code) are the Linux key
// codes plus this.
constexpr int kNativeKeycodeOffset = 8;

// `capture` once it started, else null.
std::unique_ptr<KeyCapture> Started(std::unique_ptr<KeyCapture> capture,
                                    const KeyCapture::KeyDown& onKeyDown);

// The best capture the system allows (keycapture_linux.cpp, keycapture_win.cpp). Windows:
// the low-level keyboard hook, null when it cannot be set. Linux: a Wayland session hands an X11
// client only the keys typed into X11 windows, so there the devices are read first and X11 is the
// fallback (with a limit to tell); elsewhere X11 first, then the devices. Null when none can start
// outside Wayland; under Wayland at worst the keys our own window receives.
std::unique_ptr<KeyCapture> StartKeyCapture(KeyCapture::KeyDown onKeyDown);

std::unique_ptr<KeyCapture> MakeX11KeyCapture();
// Windows: the keyboards Raw Input lists, as the hook capture names them.
std::vector<Keyboard> ListRawInputKeyboards();

// Keys of our own windows only, for a session where nothing else can be read.
std::unique_ptr<KeyCapture> MakeWindowKeyCapture();

// A keyboard under the input folder as sysfs describes it, readable by us or not.
struct EvdevKeyboard {
    QString node;  // the event node under the input folder
    Keyboard keyboard;
};
std::vector<EvdevKeyboard> ListEvdevKeyboards(
    const QString& sysClassInput = QStringLiteral("/sys/class/input"),
    const QString& inputFolder = QStringLiteral("/dev/input"));
std::unique_ptr<KeyCapture> MakeEvdevKeyCapture(
    const QString& sysClassInput = QStringLiteral("/sys/class/input"),
    const QString& inputFolder = QStringLiteral("/dev/input"));

// The udev rule that lets the user at the seat read one keyboard: `id` is its
// vendor:product or its /dev/input/by-id path. Empty for anything else.
QString UdevReaderRule(const QString& id);

}  // namespace tallyra
