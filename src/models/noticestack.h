#pragma once

#include <QString>
#include <array>

namespace tallyra {

// The five notice slots at the bottom of the screen and their fade, without any window:
// slot 1 holds the newest notice. A notice starts at opacity 255, is shown at 250 at once
// and loses 5 every fade step (200 ms), so it is gone after 50 steps.
class NoticeStack {
public:
    static constexpr int kSlots = 5;
    static constexpr int kFadeIntervalMs = 200;
    static constexpr qint16 kOpaque = 255;
    static constexpr qint16 kFadeStep = 5;

    // Older notices move up one slot only while slot 1 is still visible; then one fade step
    // runs and the fade timer is on.
    void Show(const QString& text);
    // One tick of the fade timer. Turns the timer off when every slot was already clear.
    void FadeStep();

    // Slots count from 1, as on screen from the bottom.
    qint16 PopupAlpha(int slot) const { return alpha_[size_t(slot - 1)]; }
    const QString& text(int slot) const { return text_[size_t(slot - 1)]; }
    bool timerEnabled() const { return timerEnabled_; }

    // Top of a slot's window in twips (15 per pixel), for a window h twips high: slot 1
    // ends 900 twips above the bottom of the screen, each older slot sits on the one below.
    static int PopupTop(int screenHeight, int h, int slot) { return screenHeight - 900 - slot * h; }

private:
    std::array<qint16, kSlots> alpha_{};
    std::array<QString, kSlots> text_;
    bool timerEnabled_ = false;
};

}  // namespace tallyra
