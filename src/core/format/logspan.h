#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QString>
#include <functional>

#include "core/format/positionedfile.h"

namespace tallyra {

// What was found of each year log's date order, by path. A log only grows at its end, so a
// later look at a file that grew checks only the slots added since; one that changed
// otherwise is checked again in full.
class LogOrderMemo {
public:
    struct Seen {
        qint64 size = 0;
        QDateTime modified;
        qint64 checkedSlots = 0;  // whole slots known to be in order from the first
        QByteArray lastSlot;      // the last of them as it was, to notice a rewrite
        bool ordered = true;
    };
    const Seen* find(const QString& path) const {
        const auto it = seen_.constFind(path);
        return it == seen_.cend() ? nullptr : &*it;
    }
    void remember(const QString& path, Seen seen) { seen_.insert(path, std::move(seen)); }
    void forget() { seen_.clear(); }

private:
    QHash<QString, Seen> seen_;
};

struct LogSpanScan {
    FileError error;         // the file is there but could not be read
    bool ordered = false;    // dates never go back: only the span was read
    qint64 slotsRead = 0;    // handed to the block
    qint64 slotsInFile = 0;  // a cut last slot counts
};

// Hands `block(slots, count)` the slots of a year log that can hold days `first` to `last`
// (OLE days): in a log whose dates never go back (as the station writes it) only the run
// between the two found by binary search, otherwise (the clock was set back, a slot is
// damaged) every slot, so the caller must still test each date. A cut last slot comes padded
// with zeros, always. A missing log has no slots.
LogSpanScan ScanYearLogDays(const QString& path, double first, double last, LogOrderMemo* memo,
                            const std::function<bool(const char* slots, size_t count)>& block);

}  // namespace tallyra
