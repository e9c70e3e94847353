#pragma once

#include <QString>
#include <functional>
#include <memory>

namespace tallyra {

// System-wide key-down events, whichever program has the focus. Capture only listens:
// every key still reaches the focused program unchanged. Keys arrive on the thread that
// started the capture, by virtual-key code (main-row digits 48-57, Enter 13, keypad digits
// 96-105), taken from the physical key so the keyboard layout does not matter.
class KeyCapture {
public:
    // `timeMs`: when the key went down, in milliseconds on the backend's own clock.
    using KeyDown = std::function<void(int virtualKey, qint64 timeMs)>;
    virtual ~KeyCapture() = default;
    virtual bool start(KeyDown onKeyDown) = 0;
    virtual QString name() const = 0;
};

// The virtual-key code of a Linux input key code (X11 key codes are these plus 8); 0 for
// keys the card input has no use for.
int VirtualKeyFromLinuxKey(int code);

// The first backend that starts, in the order X11 then evdev; null when none can.
std::unique_ptr<KeyCapture> StartKeyCapture(KeyCapture::KeyDown onKeyDown);

std::unique_ptr<KeyCapture> MakeX11KeyCapture();
std::unique_ptr<KeyCapture> MakeEvdevKeyCapture(const QString& inputFolder = "/dev/input");

}  // namespace tallyra
