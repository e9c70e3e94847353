#include "platform/keycapture.h"

#include <linux/input-event-codes.h>

#include <QGuiApplication>

namespace tallyra {

int VirtualKeyFromLinuxKey(int code) {
    switch (code) {
        case KEY_0:
            return '0';
        case KEY_ENTER:
        case KEY_KPENTER:
            return 13;
        case KEY_KP0:
            return 96;
        case KEY_KP1:
            return 97;
        case KEY_KP2:
            return 98;
        case KEY_KP3:
            return 99;
        case KEY_KP4:
            return 100;
        case KEY_KP5:
            return 101;
        case KEY_KP6:
            return 102;
        case KEY_KP7:
            return 103;
        case KEY_KP8:
            return 104;
        case KEY_KP9:
            return 105;
        default:
            break;
    }
    if (code >= KEY_1 && code <= KEY_9) return '1' + (code - KEY_1);
    return 0;
}

std::unique_ptr<KeyCapture> StartKeyCapture(KeyCapture::KeyDown onKeyDown) {
    // Under Wayland an X11 client sees only the keys of other X11 clients.
    const bool x11 = qEnvironmentVariableIsSet("DISPLAY") &&
                     QGuiApplication::platformName() != QLatin1String("wayland");
    if (x11) {
        auto capture = MakeX11KeyCapture();
        if (capture && capture->start(onKeyDown)) return capture;
    }
    auto capture = MakeEvdevKeyCapture();
    if (capture && capture->start(onKeyDown)) return capture;
    return nullptr;
}

}  // namespace tallyra
