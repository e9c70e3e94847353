#pragma once

#include <QColor>
#include <QFont>
#include <QObject>
#include <QTimer>
#include <QWidget>
#include <array>

#include "core/notifier.h"
#include "models/noticestack.h"

class QLabel;

namespace tallyra {

// One notice line: a window without border at full screen width that never takes the
// focus or a click, so the program in front keeps every keystroke.
class NoticePopup : public QWidget {
    Q_OBJECT
public:
    NoticePopup(int slot, bool translucent);
    // Opacity 0 (gone) to 255.
    void SetTr(int alpha);
    int alpha() const { return alpha_; }
    QLabel* label() const { return label_; }
    void setTextColour(const QColor& colour);

private:
    void applyColour();

    QLabel* label_;
    bool translucent_;
    QColor colour_{Qt::black};
    int alpha_ = 0;
};

// The five notice popups stacked upwards from 60 pixels above the bottom of the screen,
// newest at the bottom, each fading out over ten seconds.
class NoticePopups : public QObject, public Notifier {
    Q_OBJECT
public:
    // `translucent`: the window system blends windows, so only the text is drawn; otherwise
    // each line sits on a plain strip.
    explicit NoticePopups(bool translucent, QObject* parent = nullptr);
    ~NoticePopups() override;

    void ShowNotice(const QString& text) override;
    void ApplyPopupFont(const QFont& font);
    void ApplyPopupColour(const QColor& colour);

    NoticePopup* popup(int slot) const { return popups_[size_t(slot - 1)]; }
    const NoticeStack& stack() const { return stack_; }
    QTimer& timmsg() { return timmsg_; }
    // One fade step, as the timer runs it.
    void fadeStep();

private:
    void sync();
    void place();

    NoticeStack stack_;
    std::array<NoticePopup*, NoticeStack::kSlots> popups_{};
    QTimer timmsg_;
};

}  // namespace tallyra
