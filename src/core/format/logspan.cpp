#include "core/format/logspan.h"

#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <limits>
#include <memory>

#include "core/format/yearlog.h"

namespace tallyra {

namespace {

constexpr qint64 kSlotsPerBlock = kScanBlockBytes / kLogSlotSize;

qint64 SlotPosition(qint64 slot) { return slot * kLogSlotSize + 1; }

// Whether slots [from, to) go on from `previous` without a date going back. A date that is
// no number (a damaged slot) counts as going back.
bool InOrder(const PositionedFile& file, qint64 from, qint64 to, double previous, char* buffer) {
    for (qint64 at = from; at < to; at += kSlotsPerBlock) {
        const qint64 n = std::min(kSlotsPerBlock, to - at);
        file.readInto(SlotPosition(at), buffer, n * kLogSlotSize);
        for (qint64 k = 0; k < n; ++k) {
            const double date = SlotDate(buffer + k * kLogSlotSize);
            if (!(date >= previous)) return false;
            previous = date;
        }
    }
    return true;
}

// The first whole slot whose date is not below `bound`, in a log in date order.
qint64 LowerBound(const PositionedFile& file, qint64 slots, double bound) {
    qint64 lo = 0, hi = slots;
    while (lo < hi) {
        const qint64 mid = lo + (hi - lo) / 2;
        if (file.readNumber<double>(SlotPosition(mid) + layout::yearlog::kDateOffset) < bound)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo;
}

}  // namespace

LogSpanScan ScanYearLogDays(const QString& path, double first, double last, LogOrderMemo* memo,
                            const std::function<bool(const char*, size_t)>& block) {
    LogSpanScan scan;
    PositionedFile file;
    if (!file.open(path, PositionedFile::Mode::ReadOnly)) {
        if (file.error() != ENOENT) scan.error = file.lastError();
        return scan;
    }
    const qint64 size = file.size();
    const qint64 whole = size / kLogSlotSize;
    const bool cut = size % kLogSlotSize != 0;
    scan.slotsInFile = whole + (cut ? 1 : 0);
    const auto buffer = std::make_unique_for_overwrite<char[]>(size_t(kScanBlockBytes));
    auto lastWholeSlot = [&] {
        return whole > 0 ? file.read(SlotPosition(whole - 1), kLogSlotSize) : QByteArray();
    };

    // The order, from what was seen of the file before where that still holds.
    LogOrderMemo::Seen seen;
    seen.size = size;
    seen.modified = QFileInfo(path).lastModified();
    const LogOrderMemo::Seen* before = memo ? memo->find(path) : nullptr;
    bool known = false;
    if (before && before->size == size && before->modified == seen.modified &&
        before->lastSlot == lastWholeSlot()) {
        seen = *before;
        known = true;
    } else if (before && before->ordered && before->size < size && before->checkedSlots > 0 &&
               before->checkedSlots <= whole &&
               file.read(SlotPosition(before->checkedSlots - 1), kLogSlotSize) ==
                   before->lastSlot) {
        // Grown at the end as a log grows: only what was added needs a look.
        seen.ordered = InOrder(file, before->checkedSlots, whole,
                               SlotDate(before->lastSlot.constData()), buffer.get());
        known = true;
    }
    if (!known)
        seen.ordered =
            InOrder(file, 0, whole, -std::numeric_limits<double>::infinity(), buffer.get());
    if (!known || seen.checkedSlots != whole) {
        seen.checkedSlots = seen.ordered ? whole : 0;
        seen.lastSlot = lastWholeSlot();
    }
    if (memo) memo->remember(path, seen);
    scan.ordered = seen.ordered;

    qint64 from = 0, to = scan.slotsInFile;
    if (seen.ordered) {
        from = LowerBound(file, whole, first);
        to = LowerBound(file, whole, last + 1);
    }
    auto hand = [&](qint64 a, qint64 b) {
        for (qint64 at = a; at < b; at += kSlotsPerBlock) {
            const qint64 n = std::min(kSlotsPerBlock, b - at);
            file.readInto(SlotPosition(at), buffer.get(), n * kLogSlotSize);
            scan.slotsRead += n;
            if (!block(buffer.get(), size_t(n))) return false;
        }
        return true;
    };
    // A cut last slot is outside the order the whole ones keep: it is always read.
    if (hand(from, to) && seen.ordered && cut) hand(whole, whole + 1);
    return scan;
}

}  // namespace tallyra
