#pragma once

#include "gui/dialogs.h"
#include "platform/keycapture.h"

namespace tallyra::bench {

// A window under measurement asks nobody anything and listens to no keyboard.
class QuietDialogs final : public Dialogs {
public:
    void message(const QString&, bool) override {}
    std::optional<QString> input(const QString&, const QString&, const QString&) override {
        return std::nullopt;
    }
    std::optional<QFont> font(const QFont&) override { return std::nullopt; }
    std::optional<QColor> colour(const QColor&) override { return std::nullopt; }
    std::optional<QString> openFile(const QString&, const QString&) override { return {}; }
    std::optional<QString> saveFile(const QString&, const QString&) override { return {}; }
};

class NoCapture final : public KeyCapture {
public:
    bool start(KeyDown) override { return true; }
    QString name() const override { return QStringLiteral("none"); }
};

}  // namespace tallyra::bench
