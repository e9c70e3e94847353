#pragma once

#include <QString>

#include "core/datafolder.h"
#include "core/positionedfile.h"

namespace tallyra {

// Today's status per person and window in shuju.dat: 0 nothing yet, -1 on time, 1-9998
// minutes late, 9999 absent. Held open, and locked, for the whole run: the lock is what
// tells a second copy that this one is running.
class DayStatusFile {
public:
    enum class OpenResult { Opened, InUse, Failed };

    OpenResult open(const DataFolder& folder);
    void close();
    bool isOpen() const { return file_.isOpen(); }

    // Roster index 1-5000, window 0-5; anything else reads 0 and is not written.
    qint16 read(int index, int window) const;
    bool write(int index, int window, qint16 status);

    static qint64 Position(int index, int window) { return 12 * qint64(index) + 2 * window; }

private:
    PositionedFile file_;
};

// True when another process holds the day status file (or it cannot be opened for reading
// and writing). A file that does not exist is not in use.
bool IsFileInUse(const QString& path);

}  // namespace tallyra
