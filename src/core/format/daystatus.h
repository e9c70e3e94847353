#pragma once

#include <QString>

#include "core/format/datafolder.h"
#include "core/format/positionedfile.h"
#include "core/layout/shuju.h"

namespace tallyra {

// A person's status for a window, as the day status file holds it; the year log's minutes
// late use the same 9999 for absent and 0 for on time.
constexpr qint16 kStatusNone = 0;
constexpr qint16 kStatusOnTime = -1;
constexpr qint16 kStatusAbsent = 9999;

// Today's status per person and window in shuju.dat: 0 nothing yet, -1 on time, 1-9998
// minutes late, 9999 absent. Held open, and locked, for the whole run: the lock is what
// tells a second copy that this one is running, and everything that resets or rewrites
// the day happens under it.
class DayStatusFile {
public:
    enum class OpenResult { Opened, InUse, Failed };

    // Creates a missing file; Failed leaves the reason in lastError().
    OpenResult open(const DataFolder& folder);
    void close();
    bool isOpen() const { return file_.isOpen(); }
    FileError lastError() const { return file_.lastError(); }

    // Roster index 1-5000, window 0-5; anything else reads 0 and is not written.
    qint16 read(int index, int window) const;
    [[nodiscard]] bool write(int index, int window, qint16 status);
    [[nodiscard]] bool sync() { return file_.sync(); }
    // A new day: the file is emptied in place, under the lock this copy holds.
    [[nodiscard]] bool reset() { return file_.truncate(0); }

    // The windows whose closing has been completed today, one bit each. The bytes before
    // the first person's statuses belong to no one, and a new day empties them with the
    // rest, so this is today's record of the closes and a restart never repeats one.
    bool isClosed(int window) const;
    [[nodiscard]] bool markClosed(int window);

    static qint64 Position(int index, int window) {
        return layout::shuju::StatusPos(index, window);
    }
    static constexpr qint64 kClosedWindowsPosition = layout::shuju::kClosedWindowsPos;

private:
    PositionedFile file_;
};

// True when another process holds the day status file (or it cannot be opened for reading
// and writing). A file that does not exist is not in use.
bool IsFileInUse(const QString& path);

}  // namespace tallyra
