#include "models/noticestack.h"

namespace tallyra {

void NoticeStack::Show(const QString& text) {
    if (alpha_[0] != 0) {
        for (int k = kSlots - 1; k > 0; --k) alpha_[size_t(k)] = alpha_[size_t(k - 1)];
        for (int k = kSlots - 1; k > 0; --k) text_[size_t(k)] = text_[size_t(k - 1)];
    }
    alpha_[0] = kOpaque;
    text_[0] = text;
    FadeStep();
    timerEnabled_ = true;
}

void NoticeStack::FadeStep() {
    int cleared = 0;
    for (qint16& a : alpha_) {
        a = qint16(a - kFadeStep);
        if (a < 0) {
            a = 0;
            ++cleared;
        }
    }
    if (cleared == kSlots) timerEnabled_ = false;
}

}  // namespace tallyra
