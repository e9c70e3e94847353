#pragma once

#include <QString>
#include <functional>
#include <memory>

#include "core/clock.h"
#include "core/cueplayer.h"
#include "platform/keycapture.h"

namespace tallyra {

class Dialogs;
class MainWindow;
class NoticePopups;
class ReaderGate;
class SignInDesk;
class Workstation;

// One run of the attendance program: the popups, the window, the data and the key
// capture, started in the order the data needs and ended in reverse.
class Session {
public:
    using CaptureStarter = std::function<std::unique_ptr<KeyCapture>(KeyCapture::KeyDown)>;

    struct Parts {
        QString dataFolder;
        const Clock* clock = nullptr;
        Dialogs* dialogs = nullptr;
        CuePlayer* cues = nullptr;
        CaptureStarter startCapture = StartKeyCapture;
        bool translucentPopups = false;
    };

    explicit Session(Parts parts);
    ~Session();

    // False when the program must end: another copy runs on the folder, or keys cannot be
    // captured. The user has been told why.
    bool StartUp();
    void ShutDown();

    // The window exists once StartUp succeeded.
    MainWindow& window() { return *window_; }
    NoticePopups& popups() { return *popups_; }
    Workstation& station() { return *station_; }
    ReaderGate& readerGate() { return *gate_; }
    SignInDesk& desk() { return *desk_; }

private:
    Parts parts_;
    std::unique_ptr<NoticePopups> popups_;
    std::unique_ptr<Workstation> station_;
    std::unique_ptr<SignInDesk> desk_;
    std::unique_ptr<ReaderGate> gate_;
    std::unique_ptr<KeyCapture> capture_;
    std::unique_ptr<MainWindow> window_;
    bool started_ = false;
};

}  // namespace tallyra
