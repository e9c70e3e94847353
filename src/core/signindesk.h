#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

#include "core/cardinput.h"
#include "core/panel.h"
#include "core/signin.h"

namespace tallyra {

class Workstation;

// The sign-in desk of a started station: the card input with its burst time-out (Timer2),
// the sign-in engine, and the half-minute tick (Timer1) that shows the clock, closes ended
// windows and moves on to a new day. The key capture hands it every key-down; the window
// tells it the panel on show and listens to what it says.
class SignInDesk : public QObject {
    Q_OBJECT
public:
    static constexpr int kTickMs = 30000;

    SignInDesk(Workstation& station, CuePlayer& cues, QObject* parent = nullptr);

    // Rebuilds what a kill left unfinished, shows the clock at once and starts the tick.
    void open();
    void setPanel(Panel panel) { input_.setPanel(panel); }
    Panel panel() const { return input_.panel(); }

    // Every key-down, by virtual-key code, whichever program has the focus.
    void AllIN(int keyCode, qint64 timeMs = -1) { input_.AllIN(keyCode, timeMs); }
    // One run of the tick, as Timer1 runs it.
    void tick();

    SignIn& signIn() { return signIn_; }
    const CardInput& cardInput() const { return input_; }
    QTimer& timer1() { return timer1_; }

Q_SIGNALS:
    // A card was swiped in `panel`; `result.index` is the person on the board, 0 for a card
    // the board does not hold.
    void swiped(const tallyra::SwipeResult& result, const QString& card, tallyra::Panel panel);
    void clockShown(const QString& text);
    void newDay();

private:
    SignIn signIn_;
    QtBurstTimer timer2_;
    CardInput input_;
    QTimer timer1_;
};

}  // namespace tallyra
