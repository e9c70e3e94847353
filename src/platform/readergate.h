#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <deque>
#include <functional>

#include "core/format/readerchoice.h"
#include "core/notifier.h"
#include "platform/keycapture.h"

namespace tallyra {

// Between the key capture and AllIN: lets only the chosen reader's keys through, adds the
// keys our own windows receive that the capture could not see (each key counted once),
// tells when the chosen reader goes and comes back, and for the settings panel's test names
// the keyboard that typed the last digit burst. It never keeps a key beyond the short wait
// for its twin, and tells nobody which key it was.
class ReaderGate final : public QObject {
    Q_OBJECT
public:
    // How far apart the capture's copy of a key and our window's copy may come.
    static constexpr int kTwinMs = 50;
    using ToCard = std::function<void(int virtualKey, qint64 timeMs)>;

    ReaderGate(ReaderChoice choice, Notifier& notifier, ToCard toCard);
    ~ReaderGate() override;

    // What the capture is started with.
    KeyCapture::KeyDown keyDown();
    // The started capture (null: none any more). Tells at once what the user must know.
    void attach(KeyCapture* capture);

    const ReaderChoice& choice() const { return choice_; }
    void setChoice(ReaderChoice choice);
    // Whether the chosen reader is among the keyboards the capture reads (always with any).
    bool readerPresent() const { return present_; }
    std::vector<Keyboard> keyboards() const;
    QString captureName() const;
    QString captureLimit() const;
    void setTesting(bool on);

    // A key-down that one of our windows received.
    void windowKeyDown(int virtualKey);

Q_SIGNALS:
    void keyboardsChanged();
    void burstTyped(const Keyboard& by);

private:
    struct Seen {
        int key;
        qint64 at;
    };
    bool eventFilter(QObject* watched, QEvent* e) override;
    void captured(int key, qint64 timeMs, const Keyboard& from);
    void releaseWindowKeys();
    void forget(qint64 now);
    void updatePresence();
    void watchBurst(int key, qint64 timeMs, const Keyboard& from);

    ReaderChoice choice_;
    Notifier& notifier_;
    ToCard toCard_;
    KeyCapture* capture_ = nullptr;
    bool present_ = true;
    bool windowKeys_ = false;
    bool testing_ = false;

    QElapsedTimer clock_;
    std::deque<Seen> captureKeys_;  // recent keys of the capture no window key matched yet
    std::deque<Seen> waiting_;      // window keys waiting for the capture's copy
    QTimer twinTimer_;

    Keyboard burstFrom_;
    qint64 lastDigitMs_ = -1;
    int digits_ = 0;
};

}  // namespace tallyra
