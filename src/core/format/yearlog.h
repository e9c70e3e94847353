#pragma once

#include <QString>
#include <algorithm>
#include <functional>
#include <memory>
#include <vector>

#include "core/format/datafolder.h"
#include "core/format/positionedfile.h"
#include "core/layout/yearlog.h"

namespace tallyra {

constexpr int kLogSlotSize = layout::yearlog::kSlotBytes;
constexpr int kLogRecordBytes = layout::yearlog::kRecordBytes;

struct YearLogRecord {
    qint16 index = 0;        // roster index 1-5000
    double date = 0.0;       // OLE date, whole days
    qint16 minute = 0;       // minute of the day
    qint16 minutesLate = 0;  // 0 on time, 1-9998 late, 9999 absent

    bool hasValidIndex() const { return index >= 1 && index <= 5000; }
    bool operator==(const YearLogRecord&) const = default;
};

// The fields of a record where they lie in its slot, for scans that read a block of slots
// as it came from the file and test only what they need.
inline qint16 SlotIndex(const char* slot) {
    return PositionedFile::FromLittle<qint16>(slot + layout::yearlog::kIndexOffset);
}
inline double SlotDate(const char* slot) {
    return PositionedFile::FromLittle<double>(slot + layout::yearlog::kDateOffset);
}
inline qint16 SlotMinute(const char* slot) {
    return PositionedFile::FromLittle<qint16>(slot + layout::yearlog::kMinuteOffset);
}
inline qint16 SlotMinutesLate(const char* slot) {
    return PositionedFile::FromLittle<qint16>(slot + layout::yearlog::kLateOffset);
}

YearLogRecord DecodeYearLogRecord(const char* slot);                // 14 bytes
void EncodeYearLogRecord(const YearLogRecord& record, char* slot);  // 16 bytes, tail zero

// This year's sign-in log, open for appending for the whole run. It is also the journal of
// the day: a swipe's record reaches the disk before its status is written, so a status lost
// to a kill or a power cut can be rebuilt from it.
class YearLog {
public:
    // Opens (creating) the year's file for appending. When it can only be read, it is open
    // for reading and every append fails with the reason it could not be written.
    bool open(const DataFolder& folder, int year);
    void close() { file_.close(); }
    bool isOpen() const { return file_.isOpen(); }
    int year() const { return year_; }
    // Why the last open found the file unreadable (or missing).
    FileError openError() const { return file_.lastError(); }

    // Records in the file. Taken from its size (a cut last slot counts), so appends go right
    // after the last record across restarts, and a new year's file starts at 0.
    qint32 recordCount() const { return count_; }
    [[nodiscard]] bool append(const YearLogRecord& record);
    // Undoes appends back to `count` records, for a swipe whose status could not be stored.
    [[nodiscard]] bool truncateTo(qint32 count);
    [[nodiscard]] bool sync();

    // The records of `day` (an OLE date) at the end of the file, in file order: today's
    // journal. Reading stops at the first earlier record from the end.
    std::vector<YearLogRecord> recordsOfDay(double day) const;

private:
    PositionedFile file_;
    FileError writeError_;
    qint32 count_ = 0;
    int year_ = 0;
};

constexpr qint64 kScanBlockBytes = qint64(1) << 20;  // whole slots

// Reads a log file from record 1 to its end, a block of whole slots at a time into one
// buffer, and hands each block undecoded to `block(const char* slots, size_t count)`, which
// returns false to stop. A cut last slot comes padded with zeros. Returns false when the
// file cannot be opened. A template, so a scan's loop over the slots is compiled into it.
template <typename Block>
bool ScanYearLog(const QString& path, Block&& block) {
    PositionedFile file;
    if (!file.open(path, PositionedFile::Mode::ReadOnly)) return false;
    const qint64 size = file.size();
    if (size <= 0) return true;
    const qint64 slotBytes = (size + kLogSlotSize - 1) / kLogSlotSize * kLogSlotSize;
    const auto buffer =
        std::make_unique_for_overwrite<char[]>(size_t(std::min(slotBytes, kScanBlockBytes)));
    for (qint64 from = 0; from < size; from += kScanBlockBytes) {
        const qint64 bytes = std::min(kScanBlockBytes, slotBytes - from);
        file.readInto(from + 1, buffer.get(), bytes);
        if (!block(static_cast<const char*>(buffer.get()), size_t(bytes / kLogSlotSize))) break;
    }
    return true;
}

// The same decoded: `sink` gets each block as records. A cut last slot reads with zeros for
// what is missing.
bool ReadYearLog(const QString& path,
                 const std::function<bool(const YearLogRecord*, size_t)>& sink);
// The same over bytes already in memory.
void ReadYearLogBytes(QByteArrayView bytes,
                      const std::function<bool(const YearLogRecord*, size_t)>& sink);

}  // namespace tallyra
