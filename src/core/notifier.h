#pragma once

#include <QString>

namespace tallyra {

// How the core tells the user something during normal work; never blocks.
class Notifier {
public:
    virtual ~Notifier() = default;
    virtual void ShowNotice(const QString& text) = 0;
    // Something the user did or asked for was not stored. Never the success text of that
    // action; the command-line tool prints it on stderr and exits 1.
    virtual void ShowFailure(const QString& text) { ShowNotice(text); }
};

class SilentNotifier final : public Notifier {
public:
    void ShowNotice(const QString&) override {}
};

}  // namespace tallyra
