#include "cli/station.h"

#include "core/signin.h"
#include "core/workstation.h"

namespace tallyra {

int WithWorkstation(const DataFolder& folder, QTextStream& out, QTextStream& err,
                    const std::function<int(Workstation&, SignIn&)>& work) {
    SystemClock clock;
    PrintingNotifier notifier(out, err);
    Workstation station(folder, clock, notifier);
    notifier.muted = true;
    const Workstation::StartResult started = station.start();
    if (started == Workstation::StartResult::InUse) {
        err << "Tallyra is running on " << folder.root()
            << ": swipes, ticks and changes belong to it while it runs\n";
        return kCliInUse;
    }
    if (started != Workstation::StartResult::Ready) {
        err << station.startMessage() << Qt::endl;
        return kCliFailed;
    }
    SilentCuePlayer cues;
    SignIn signIn(station, cues);
    signIn.RecoverDay();
    notifier.muted = false;
    const int rc = work(station, signIn);
    station.shutDown();
    return notifier.failed ? kCliFailed : rc;
}

}  // namespace tallyra
