#include "gui/noticepopups.h"

#include <QGuiApplication>
#include <QLabel>
#include <QScreen>

#include "models/grids.h"

namespace tallyra {

namespace {

QRect ScreenGeometry() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->geometry() : QRect(0, 0, 1024, 768);
}

}  // namespace

NoticePopup::NoticePopup(int slot, bool translucent)
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                           Qt::X11BypassWindowManagerHint | Qt::WindowDoesNotAcceptFocus |
                           Qt::WindowTransparentForInput),
      label_(new QLabel(this)),
      translucent_(translucent) {
    static const char* const kForms[] = {"FMsg1", "Fmsg2", "Fmsg3", "Fmsg4", "Fmsg5"};
    static const char* const kDesignTexts[] = {"1123iioi", "1123", "1123", "1123", "1123dd"};
    setObjectName(QLatin1String(kForms[slot - 1]));
    label_->setObjectName(QStringLiteral("Label1"));
    label_->setText(QLatin1String(kDesignTexts[slot - 1]));
    label_->setAlignment(Qt::AlignCenter);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    // A notice still showing must not keep the program alive once its window is closed.
    setAttribute(Qt::WA_QuitOnClose, false);
    setFocusPolicy(Qt::NoFocus);
    if (translucent_) {
        setAttribute(Qt::WA_TranslucentBackground);
    } else {
        setAutoFillBackground(true);
    }
    applyColour();
}

void NoticePopup::setTextColour(const QColor& colour) {
    colour_ = colour;
    applyColour();
}

void NoticePopup::applyColour() {
    QPalette p = palette();
    if (translucent_) {
        p.setColor(QPalette::WindowText, colour_);
    } else {
        // Without blending the window cannot fade, so the text fades into its strip.
        const QColor strip = colour_.lightness() < 128 ? QColor(248, 248, 240) : QColor(24, 24, 24);
        const double a = alpha_ / 255.0;
        const QColor text =
            QColor::fromRgbF(strip.redF() + (colour_.redF() - strip.redF()) * a,
                             strip.greenF() + (colour_.greenF() - strip.greenF()) * a,
                             strip.blueF() + (colour_.blueF() - strip.blueF()) * a);
        p.setColor(QPalette::Window, strip);
        p.setColor(QPalette::WindowText, text);
    }
    setPalette(p);
    label_->setPalette(p);
}

void NoticePopup::SetTr(int alpha) {
    alpha = std::clamp(alpha, 0, 255);
    if (alpha == alpha_ && (alpha == 0) == isHidden()) return;
    alpha_ = alpha;
    if (alpha_ == 0) {
        // Fully transparent is the same as not there, and costs the window system nothing.
        hide();
        return;
    }
    setWindowOpacity(alpha_ / 255.0);
    if (!translucent_) applyColour();
    if (isHidden()) {
        show();
        raise();
    }
}

NoticePopups::NoticePopups(bool translucent, QObject* parent) : QObject(parent) {
    for (int k = 1; k <= NoticeStack::kSlots; ++k)
        popups_[size_t(k - 1)] = new NoticePopup(k, translucent);
    timmsg_.setObjectName(QStringLiteral("Timmsg"));
    timmsg_.setInterval(NoticeStack::kFadeIntervalMs);
    connect(&timmsg_, &QTimer::timeout, this, &NoticePopups::fadeStep);
    place();
}

NoticePopups::~NoticePopups() {
    for (NoticePopup* p : popups_) delete p;
}

void NoticePopups::ShowNotice(const QString& text) {
    stack_.Show(text);
    sync();
}

void NoticePopups::fadeStep() {
    stack_.FadeStep();
    sync();
}

void NoticePopups::sync() {
    for (int k = 1; k <= NoticeStack::kSlots; ++k) {
        NoticePopup* p = popup(k);
        if (p->label()->text() != stack_.text(k)) p->label()->setText(stack_.text(k));
        p->SetTr(stack_.PopupAlpha(k));
        // Stay above windows shown since: the notice must be seen over every program.
        if (p->isVisible()) p->raise();
    }
    if (stack_.timerEnabled() && !timmsg_.isActive()) timmsg_.start();
    if (!stack_.timerEnabled()) timmsg_.stop();
}

void NoticePopups::ApplyPopupFont(const QFont& font) {
    for (NoticePopup* p : popups_) p->label()->setFont(font);
    place();
}

void NoticePopups::ApplyPopupColour(const QColor& colour) {
    for (NoticePopup* p : popups_) p->setTextColour(colour);
}

void NoticePopups::place() {
    const QRect screen = ScreenGeometry();
    const int h = popup(1)->label()->sizeHint().height();
    for (int k = 1; k <= NoticeStack::kSlots; ++k) {
        NoticePopup* p = popup(k);
        const int top =
            NoticeStack::PopupTop(screen.height() * kTwipsPerPixel, h * kTwipsPerPixel, k) /
            kTwipsPerPixel;
        p->setGeometry(screen.x(), screen.y() + top, screen.width(), h);
        p->label()->setGeometry(0, 0, screen.width(), h);
    }
}

}  // namespace tallyra
