// Linux: which capture a session allows, and the key codes of the kernel's input layer.
#include <linux/input-event-codes.h>

#include <QGuiApplication>
#include <QKeyEvent>

#include "platform/keycapture.h"

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

int VirtualKeyOf(const QKeyEvent& key) {
    return VirtualKeyFromLinuxKey(int(key.nativeScanCode()) - kNativeKeycodeOffset);
}

std::unique_ptr<KeyCapture> StartKeyCapture(KeyCapture::KeyDown onKeyDown) {
    const bool wayland = qEnvironmentVariable("XDG_SESSION_TYPE") == QLatin1String("wayland") ||
                         qEnvironmentVariableIsSet("WAYLAND_DISPLAY");
    const bool x11 = qEnvironmentVariableIsSet("DISPLAY") &&
                     QGuiApplication::platformName() != QLatin1String("wayland");
    if (wayland) {
        if (auto c = Started(MakeEvdevKeyCapture(), onKeyDown)) return c;
        if (x11) {
            if (auto c = Started(MakeX11KeyCapture(), onKeyDown)) {
                c->setLimit(QStringLiteral("无权读取键盘设备：只有X11窗口在前时才能刷卡"));
                return c;
            }
        }
        auto c = Started(MakeWindowKeyCapture(), onKeyDown);
        c->setLimit(QStringLiteral("无法读取系统按键：只有本程序窗口在前时才能刷卡"));
        return c;
    }
    if (x11) {
        if (auto c = Started(MakeX11KeyCapture(), onKeyDown)) return c;
    }
    return Started(MakeEvdevKeyCapture(), onKeyDown);
}

}  // namespace tallyra
