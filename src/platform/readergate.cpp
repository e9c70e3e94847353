#include "platform/readergate.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <algorithm>

#include "core/cardinput.h"

namespace tallyra {

namespace {

// Keys of our own windows have no device to tell; the test names them so.
const Keyboard& WindowKeyboard() {
    static const Keyboard k{QStringLiteral("窗口内"), {}, {}};
    return k;
}

}  // namespace

ReaderGate::ReaderGate(ReaderChoice choice, Notifier& notifier, ToCard toCard)
    : choice_(std::move(choice)), notifier_(notifier), toCard_(std::move(toCard)) {
    clock_.start();
    twinTimer_.setSingleShot(true);
    twinTimer_.setTimerType(Qt::PreciseTimer);
    connect(&twinTimer_, &QTimer::timeout, this, &ReaderGate::releaseWindowKeys);
}

ReaderGate::~ReaderGate() {
    // The capture may be gone already; whoever keeps it longer detaches it first.
    if (windowKeys_ && QCoreApplication::instance())
        QCoreApplication::instance()->removeEventFilter(this);
}

KeyCapture::KeyDown ReaderGate::keyDown() {
    return [this](int key, qint64 timeMs, const Keyboard& from) { captured(key, timeMs, from); };
}

void ReaderGate::attach(KeyCapture* capture) {
    if (capture_) capture_->onKeyboardsChanged({});
    if (windowKeys_ && QCoreApplication::instance())
        QCoreApplication::instance()->removeEventFilter(this);
    capture_ = capture;
    windowKeys_ = capture && !capture->seesOwnWindows();
    waiting_.clear();
    captureKeys_.clear();
    if (!capture) return;
    if (windowKeys_ && QCoreApplication::instance())
        QCoreApplication::instance()->installEventFilter(this);
    capture->onKeyboardsChanged([this] {
        const bool was = present_;
        updatePresence();
        if (!choice_.anyKeyboard() && was != present_)
            notifier_.ShowNotice(present_ ? QStringLiteral("读卡器已连接")
                                          : QStringLiteral("读卡器已断开"));
        Q_EMIT keyboardsChanged();
    });
    if (!capture->limit().isEmpty()) notifier_.ShowNotice(capture->limit());
    updatePresence();
    if (!present_) notifier_.ShowNotice(QStringLiteral("读卡器已断开"));
}

void ReaderGate::setChoice(ReaderChoice choice) {
    choice_ = std::move(choice);
    updatePresence();
}

void ReaderGate::updatePresence() {
    const std::vector<Keyboard> list = keyboards();
    present_ = choice_.anyKeyboard() ||
               std::any_of(list.begin(), list.end(),
                           [this](const Keyboard& k) { return choice_.matches(k); });
}

std::vector<Keyboard> ReaderGate::keyboards() const {
    return capture_ ? capture_->keyboards() : std::vector<Keyboard>{};
}

QString ReaderGate::captureName() const { return capture_ ? capture_->name() : QString(); }

QString ReaderGate::captureLimit() const { return capture_ ? capture_->limit() : QString(); }

void ReaderGate::setTesting(bool on) {
    testing_ = on;
    digits_ = 0;
    lastDigitMs_ = -1;
}

void ReaderGate::captured(int key, qint64 timeMs, const Keyboard& from) {
    if (windowKeys_) {
        const qint64 now = clock_.elapsed();
        forget(now);
        const auto twin = std::find_if(waiting_.begin(), waiting_.end(),
                                       [key](const Seen& s) { return s.key == key; });
        if (twin != waiting_.end()) {
            waiting_.erase(twin);
        } else {
            captureKeys_.push_back({key, now});
            if (!twinTimer_.isActive()) twinTimer_.start(kTwinMs + 1);
        }
    }
    if (testing_) watchBurst(key, timeMs, from);
    if (choice_.matches(from)) toCard_(key, timeMs);
}

bool ReaderGate::eventFilter(QObject* watched, QEvent* e) {
    // A key reaches the window once and then its widgets one by one: count it at the window.
    if (e->type() == QEvent::KeyPress && watched->isWindowType()) {
        const auto* k = static_cast<const QKeyEvent*>(e);
        windowKeyDown(VirtualKeyOf(*k));
    }
    return false;
}

void ReaderGate::windowKeyDown(int key) {
    if (!windowKeys_ || key == 0) return;
    const qint64 now = clock_.elapsed();
    forget(now);
    const auto twin = std::find_if(captureKeys_.begin(), captureKeys_.end(),
                                   [key](const Seen& s) { return s.key == key; });
    if (twin != captureKeys_.end()) {
        captureKeys_.erase(twin);
        return;
    }
    waiting_.push_back({key, now});
    if (!twinTimer_.isActive()) twinTimer_.start(kTwinMs);
}

void ReaderGate::releaseWindowKeys() {
    const qint64 now = clock_.elapsed();
    while (!waiting_.empty() && now - waiting_.front().at >= kTwinMs) {
        const int key = waiting_.front().key;
        waiting_.pop_front();
        if (testing_) watchBurst(key, -1, WindowKeyboard());
        // Which keyboard typed it nobody can tell; while the chosen reader is out of the
        // capture's sight it may well be the reader, so a Tallyra in front still works.
        if (choice_.anyKeyboard() || !present_) toCard_(key, -1);
    }
    forget(now);
    // Nothing of a key stays longer than its wait for the twin.
    qint64 next = -1;
    if (!waiting_.empty()) next = waiting_.front().at + kTwinMs;
    if (!captureKeys_.empty()) {
        const qint64 due = captureKeys_.front().at + kTwinMs + 1;
        next = next < 0 ? due : std::min(next, due);
    }
    if (next >= 0) twinTimer_.start(int(std::max<qint64>(0, next - now)));
}

void ReaderGate::forget(qint64 now) {
    while (!captureKeys_.empty() && now - captureKeys_.front().at > kTwinMs)
        captureKeys_.pop_front();
}

void ReaderGate::watchBurst(int key, qint64 timeMs, const Keyboard& from) {
    const qint64 t = timeMs >= 0 ? timeMs : clock_.elapsed();
    const bool fast =
        from == burstFrom_ && lastDigitMs_ >= 0 && t - lastDigitMs_ < CardInput::kBurstMs;
    if (key >= CardInput::kDigit0 && key <= CardInput::kDigit9) {
        digits_ = fast ? digits_ + 1 : 1;
        burstFrom_ = from;
        lastDigitMs_ = t;
    } else if (key == CardInput::kEnter) {
        if (fast && digits_ > 0) Q_EMIT burstTyped(from);
        digits_ = 0;
        lastDigitMs_ = -1;
    }
}

}  // namespace tallyra
