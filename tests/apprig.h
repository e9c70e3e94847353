#pragma once

#include <QTemporaryDir>
#include <QTest>

#include "app/mainwindow.h"
#include "app/session.h"
#include "cli/demo.h"
#include "core/workstation.h"
#include "gui/noticepopups.h"
#include "gui/statisticspanel.h"
#include "scripteddialogs.h"
#include "signinfixture.h"

namespace tallyra::test {

// A control of the window by its objectName. A control that is not there fails the check
// that asked for it and stands in as a hidden stray of its kind, so a renamed control costs
// one failed check, not the whole test binary.
template <typename T = QWidget>
T* Find(QWidget& w, const QString& name) {
    if (T* found = w.findChild<T*>(name)) return found;
    QTest::qFail(qPrintable(QStringLiteral("no control ") + name), __FILE__, __LINE__);
    auto* stray = new T(&w);
    stray->setObjectName(QStringLiteral("missing ") + name);
    stray->hide();
    return stray;
}

// Keys arrive when the test says so, from the keyboards the test lists.
class FakeCapture final : public KeyCapture {
public:
    FakeCapture(KeyDown* out, const std::vector<Keyboard>* keyboards)
        : out_(out), keyboards_(keyboards) {}
    bool start(KeyDown onKeyDown) override {
        *out_ = std::move(onKeyDown);
        return true;
    }
    QString name() const override { return QStringLiteral("fake"); }
    std::vector<Keyboard> keyboards() const override { return *keyboards_; }
    void plugged() { keyboardsChanged(); }

private:
    KeyDown* out_;
    const std::vector<Keyboard>* keyboards_;
};

// The demo folder on a Tuesday; its first window, 早读, runs 07:10-07:40.
struct AppRig {
    QTemporaryDir dir;
    DataFolder folder{dir.path()};
    MockClock clock{QDateTime(QDate(2026, 12, 8), QTime(7, 45))};
    ScriptedDialogs dialogs;
    RecordingCuePlayer cues;
    KeyCapture::KeyDown keys;
    std::vector<Keyboard> keyboards;
    FakeCapture* capture = nullptr;
    AppRig() { WriteDemoFolder(folder, clock.today()); }
    Session::Parts parts(bool captureWorks = true) {
        Session::Parts p{dir.path(), &clock, &dialogs, &cues, {}, false};
        p.startCapture = [this, captureWorks](KeyCapture::KeyDown down) {
            std::unique_ptr<KeyCapture> c;
            if (captureWorks) {
                auto fake = std::make_unique<FakeCapture>(&keys, &keyboards);
                capture = fake.get();
                fake->start(std::move(down));
                c = std::move(fake);
            }
            return c;
        };
        return p;
    }
    void type(const QString& digits, const Keyboard& from = {}) {
        for (QChar c : digits) keys(c.unicode(), -1, from);
        keys(13, -1, from);
    }
};

}  // namespace tallyra::test
