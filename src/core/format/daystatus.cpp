#include "core/format/daystatus.h"

#include <QFileInfo>

#include "common/nativefile.h"
#include "core/format/rosterfile.h"

namespace tallyra {

DayStatusFile::OpenResult DayStatusFile::open(const DataFolder& folder) {
    close();
    if (!file_.open(folder.dayStatus())) return OpenResult::Failed;
    // The lock goes with this open of the file, so even a second open in this process is
    // refused; the file is never inherited, so children never carry the lock.
    if (!LockExclusive(file_.handle())) {
        file_.close();
        return OpenResult::InUse;
    }
    return OpenResult::Opened;
}

void DayStatusFile::close() {
    file_.close();  // closing drops the lock
}

qint16 DayStatusFile::read(int index, int window) const {
    if (!Roster::validIndex(index) || window < 0 || window > 5) return 0;
    return file_.readNumber<qint16>(Position(index, window));
}

bool DayStatusFile::write(int index, int window, qint16 status) {
    if (!Roster::validIndex(index) || window < 0 || window > 5) return false;
    return file_.writeNumber<qint16>(Position(index, window), status);
}

bool DayStatusFile::isClosed(int window) const {
    if (window < 0 || window > 5) return false;
    return (file_.readNumber<quint8>(kClosedWindowsPosition) >> window) & 1;
}

bool DayStatusFile::markClosed(int window) {
    if (window < 0 || window > 5) return false;
    const quint8 mask = file_.readNumber<quint8>(kClosedWindowsPosition);
    return file_.writeNumber<quint8>(kClosedWindowsPosition, quint8(mask | (1u << window)));
}

bool IsFileInUse(const QString& path) {
    if (!QFileInfo::exists(path)) return false;
    return ProbeLock(path, true) != LockProbe::Free;
}

}  // namespace tallyra
