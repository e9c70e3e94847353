#include "platform/keycapture.h"

#include <linux/input-event-codes.h>

#include <QGuiApplication>
#include <QRegularExpression>

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

namespace {

class WindowKeyCapture final : public KeyCapture {
public:
    bool start(KeyDown) override { return true; }
    QString name() const override { return QStringLiteral("窗口内"); }
    bool seesOwnWindows() const override { return false; }
};

std::unique_ptr<KeyCapture> Started(std::unique_ptr<KeyCapture> capture,
                                    const KeyCapture::KeyDown& onKeyDown) {
    if (capture && capture->start(onKeyDown)) return capture;
    return nullptr;
}

}  // namespace

std::unique_ptr<KeyCapture> MakeWindowKeyCapture() { return std::make_unique<WindowKeyCapture>(); }

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

QString UdevReaderRule(const QString& id) {
    // Only what cannot widen the match: no patterns, quotes, escapes or line breaks.
    static const QRegularExpression usb(
        QRegularExpression::anchoredPattern(QStringLiteral("([0-9a-f]{4}):([0-9a-f]{4})")));
    static const QRegularExpression byId(QRegularExpression::anchoredPattern(
        QStringLiteral("/dev/(input/by-id/[A-Za-z0-9._:+@=-]+)")));
    QString match;
    if (const auto m = usb.match(id.toLower()); m.hasMatch()) {
        match = QStringLiteral("ATTRS{id/vendor}==\"%1\", ATTRS{id/product}==\"%2\"")
                    .arg(m.captured(1), m.captured(2));
    } else if (const auto path = byId.match(id);
               path.hasMatch() && !id.contains(QLatin1String(".."))) {
        match = QStringLiteral("SYMLINK==\"%1\"").arg(path.captured(1));
    } else {
        return {};
    }
    return QStringLiteral(
               "ACTION!=\"remove\", SUBSYSTEM==\"input\", KERNEL==\"event*\", %1, "
               "TAG+=\"uaccess\"")
        .arg(match);
}

}  // namespace tallyra
