#pragma once

#include <QTextStream>
#include <functional>

#include "core/format/datafolder.h"
#include "core/notifier.h"

namespace tallyra {

class SignIn;
class Workstation;

constexpr int kCliFailed = 1;
constexpr int kCliUsage = 2;
constexpr int kCliInUse = 2;

// Notices of a command: what happened on stdout, what was not stored on stderr (and the
// command then fails).
class PrintingNotifier final : public Notifier {
public:
    PrintingNotifier(QTextStream& out, QTextStream& err) : out_(out), err_(err) {}
    void ShowNotice(const QString& text) override {
        if (!muted) out_ << text << Qt::endl;
    }
    void ShowFailure(const QString& text) override {
        err_ << text << Qt::endl;
        failed = true;
    }
    bool muted = false;  // start-up notices are the window's, not the command's
    bool failed = false;

private:
    QTextStream& out_;
    QTextStream& err_;
};

// Runs `work` on a started workstation at the current time, as the window would: refused
// (kCliInUse) while Tallyra runs on the folder, so nothing is changed under it.
int WithWorkstation(const DataFolder& folder, QTextStream& out, QTextStream& err,
                    const std::function<int(Workstation&, SignIn&)>& work);

}  // namespace tallyra
