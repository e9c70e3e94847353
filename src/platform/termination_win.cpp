// Windows: the session's end reaches every top-level window as WM_QUERYENDSESSION, then
// WM_ENDSESSION, after which the process may be ended at any moment; a console's close
// button, log-off or shutdown reach a console program through its control handler, on a
// thread of its own.
#include <windows.h>

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QMetaObject>

#include "platform/termination.h"

namespace tallyra {

namespace {

class SessionEndFilter final : public QAbstractNativeEventFilter {
public:
    explicit SessionEndFilter(std::function<void()> saveNow) : saveNow_(std::move(saveNow)) {}

    bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override {
        if (type != "windows_generic_MSG") return false;
        const MSG* m = static_cast<const MSG*>(message);
        // Every window of ours is told; the saves run once. Qt answers the message itself.
        if (m->message == WM_ENDSESSION && m->wParam && !ended_) {
            ended_ = true;
            if (saveNow_) saveNow_();
            QCoreApplication::quit();
        }
        return false;
    }

private:
    std::function<void()> saveNow_;
    bool ended_ = false;
};

BOOL WINAPI OnConsoleEvent(DWORD event) {
    QMetaObject::invokeMethod(QCoreApplication::instance(), &QCoreApplication::quit,
                              Qt::QueuedConnection);
    // For these the process ends when the handler returns: it waits for the normal exit,
    // which ends the process first, as long as the system allows (five seconds or more).
    if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT)
        Sleep(20000);
    return TRUE;
}

}  // namespace

void QuitOnTerminationSignals(std::function<void()> saveNow) {
    static SessionEndFilter* filter = nullptr;
    if (filter || !QCoreApplication::instance()) return;
    filter = new SessionEndFilter(std::move(saveNow));
    QCoreApplication::instance()->installNativeEventFilter(filter);
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

}  // namespace tallyra
