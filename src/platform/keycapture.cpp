#include "platform/keycapture.h"

#include <QRegularExpression>

namespace tallyra {

namespace {

class WindowKeyCapture final : public KeyCapture {
public:
    bool start(KeyDown) override { return true; }
    QString name() const override { return QStringLiteral("窗口内"); }
    bool seesOwnWindows() const override { return false; }
};

}  // namespace

std::unique_ptr<KeyCapture> Started(std::unique_ptr<KeyCapture> capture,
                                    const KeyCapture::KeyDown& onKeyDown) {
    if (capture && capture->start(onKeyDown)) return capture;
    return nullptr;
}

std::unique_ptr<KeyCapture> MakeWindowKeyCapture() { return std::make_unique<WindowKeyCapture>(); }

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
