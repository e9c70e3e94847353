#pragma once

#include <QString>

namespace tallyra {

// How the core tells the user something during normal work; never blocks.
class Notifier {
public:
    virtual ~Notifier() = default;
    virtual void ShowNotice(const QString& text) = 0;
};

class SilentNotifier final : public Notifier {
public:
    void ShowNotice(const QString&) override {}
};

}  // namespace tallyra
