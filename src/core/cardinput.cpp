#include "core/cardinput.h"

namespace tallyra {

CardInput::CardInput(BurstTimer& timer, std::function<void(const QString&, Panel)> onEnter)
    : timer_(timer), onEnter_(std::move(onEnter)) {}

void CardInput::AllIN(int keyCode, qint64 timeMs) {
    if (!TakesCards(panel_)) return;
    const bool late = timeMs >= 0 && lastDigitMs_ >= 0 && timeMs - lastDigitMs_ >= kBurstMs;
    if (late && (keyCode == kEnter || (keyCode >= kDigit0 && keyCode <= kDigit9))) OnTimer2();
    if (keyCode == kEnter) {
        // The buffer stays: the time-out empties it, 100 ms after the last digit.
        if (onEnter_) onEnter_(buffer_, panel_);
        return;
    }
    if (keyCode >= kDigit0 && keyCode <= kDigit9) {
        timer_.stop();
        timer_.start(kBurstMs);
        buffer_ += QChar(u'0' + (keyCode - kDigit0));
        if (timeMs >= 0) lastDigitMs_ = timeMs;
    }
}

void CardInput::OnTimer2() {
    buffer_.clear();
    lastDigitMs_ = -1;
    timer_.stop();
}

QtBurstTimer::QtBurstTimer(std::function<void()> onTimeout, QObject* parent) : QObject(parent) {
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, [f = std::move(onTimeout)] { f(); });
}

}  // namespace tallyra
