#pragma once

#include <functional>

namespace tallyra {

// Ending the machine or the terminal ends the event loop instead of the process, so the
// normal exit (saves, closing the files) runs. Linux: SIGTERM, SIGINT and SIGHUP. Windows:
// the end of the session (WM_QUERYENDSESSION, WM_ENDSESSION) and the closing of a console.
// Windows ends a process as soon as it has answered WM_ENDSESSION, so there `saveNow` runs
// before the answer: it must do what the normal exit saves, and may run again at the exit.
void QuitOnTerminationSignals(std::function<void()> saveNow = {});

}  // namespace tallyra
