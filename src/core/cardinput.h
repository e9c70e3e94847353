#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>

#include "core/panel.h"

namespace tallyra {

// A one-shot time-out that (re)starts from now; its owner calls back on expiry.
class BurstTimer {
public:
    virtual ~BurstTimer() = default;
    virtual void start(int milliseconds) = 0;
    virtual void stop() = 0;
};

// Collects the digits a card reader types into CardBuffer. The reader types its digits in
// a fast burst and Enter right after; a digit that comes more than 100 ms after the one
// before finds the buffer already emptied, so hand typing never forms a number. The buffer
// is the only place a keystroke is kept, and only until the time-out.
class CardInput {
public:
    static constexpr int kBurstMs = 100;
    static constexpr int kEnter = 13;
    static constexpr int kDigit0 = 48;
    static constexpr int kDigit9 = 57;

    // `onEnter` gets the buffer and the panel on show when Enter comes in a panel that takes
    // cards.
    CardInput(BurstTimer& timer, std::function<void(const QString&, Panel)> onEnter);

    void setPanel(Panel panel) { panel_ = panel; }
    Panel panel() const { return panel_; }

    // Every key-down, by virtual-key code, whichever program has the focus. `timeMs` is
    // when the key went down, if the capture knows: keys that queued up while the window
    // was busy are then still judged by when they were typed, not when they were read.
    void AllIN(int keyCode, qint64 timeMs = -1);
    // The burst time-out.
    void OnTimer2();

    const QString& CardBuffer() const { return buffer_; }

private:
    BurstTimer& timer_;
    std::function<void(const QString&, Panel)> onEnter_;
    QString buffer_;
    qint64 lastDigitMs_ = -1;
    Panel panel_ = Panel::SignIn;
};

// The burst time-out on a QTimer.
class QtBurstTimer final : public QObject, public BurstTimer {
    Q_OBJECT
public:
    explicit QtBurstTimer(std::function<void()> onTimeout, QObject* parent = nullptr);
    void start(int milliseconds) override { timer_.start(milliseconds); }
    void stop() override { timer_.stop(); }

private:
    QTimer timer_;
};

}  // namespace tallyra
