#include "core/signindesk.h"

namespace tallyra {

SignInDesk::SignInDesk(Workstation& station, CuePlayer& cues, QObject* parent)
    : QObject(parent),
      signIn_(station, cues),
      timer2_([this] { input_.OnTimer2(); }, this),
      input_(timer2_, [this](const QString& card, Panel panel) {
          Q_EMIT swiped(signIn_.ProcessSwipe(card, panel), card, panel);
      }) {
    timer2_.setObjectName(QStringLiteral("Timer2"));
    timer1_.setObjectName(QStringLiteral("Timer1"));
    timer1_.setInterval(kTickMs);
    connect(&timer1_, &QTimer::timeout, this, &SignInDesk::tick);
    signIn_.setNewDayHandler([this] { Q_EMIT newDay(); });
}

void SignInDesk::open() {
    signIn_.RecoverDay();
    tick();
    timer1_.start();
}

void SignInDesk::tick() { Q_EMIT clockShown(signIn_.OnTimer1()); }

}  // namespace tallyra
