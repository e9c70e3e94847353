#pragma once

#include <QTemporaryDir>

#include "app/mainwindow.h"
#include "app/session.h"
#include "board/noticepopups.h"
#include "cli/demo.h"
#include "core/workstation.h"
#include "scripteddialogs.h"
#include "signinfixture.h"

namespace tallyra::test {

// Keys arrive when the test says so.
class FakeCapture final : public KeyCapture {
public:
    explicit FakeCapture(KeyDown* out) : out_(out) {}
    bool start(KeyDown onKeyDown) override {
        *out_ = std::move(onKeyDown);
        return true;
    }
    QString name() const override { return QStringLiteral("fake"); }

private:
    KeyDown* out_;
};

// The demo folder on a Tuesday; its first window, 早读, runs 07:10-07:40.
struct AppRig {
    QTemporaryDir dir;
    DataFolder folder{dir.path()};
    MockClock clock{QDateTime(QDate(2026, 12, 8), QTime(7, 45))};
    ScriptedDialogs dialogs;
    RecordingCuePlayer cues;
    KeyCapture::KeyDown keys;
    AppRig() { WriteDemoFolder(folder, clock.today()); }
    Session::Parts parts(bool captureWorks = true) {
        Session::Parts p{dir.path(), &clock, &dialogs, &cues, {}, false};
        p.startCapture = [this, captureWorks](KeyCapture::KeyDown down) {
            std::unique_ptr<KeyCapture> c;
            if (captureWorks) {
                c = std::make_unique<FakeCapture>(&keys);
                c->start(std::move(down));
            }
            return c;
        };
        return p;
    }
    void type(const QString& digits) {
        for (QChar c : digits) keys(c.unicode(), -1);
        keys(13, -1);
    }
};

}  // namespace tallyra::test
