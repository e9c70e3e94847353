#pragma once

namespace tallyra {

// SIGTERM, SIGINT and SIGHUP end the event loop instead of the process, so the normal exit
// (saves, closing the files) runs when the machine shuts down or a terminal closes.
void QuitOnTerminationSignals();

}  // namespace tallyra
