#include "core/format/yearlog.h"

#include <QDir>
#include <algorithm>
#include <cstring>
#include <limits>

namespace tallyra {

YearLogRecord DecodeYearLogRecord(const char* slot) {
    return YearLogRecord{SlotIndex(slot), SlotDate(slot), SlotMinute(slot), SlotMinutesLate(slot)};
}

void EncodeYearLogRecord(const YearLogRecord& r, char* slot) {
    std::memset(slot, 0, kLogSlotSize);
    using namespace layout::yearlog;
    PositionedFile::ToLittle(r.index, slot + kIndexOffset);
    PositionedFile::ToLittle(r.date, slot + kDateOffset);
    PositionedFile::ToLittle(r.minute, slot + kMinuteOffset);
    PositionedFile::ToLittle(r.minutesLate, slot + kLateOffset);
}

bool YearLog::open(const DataFolder& folder, int year) {
    year_ = year;
    writeError_ = {};
    QDir().mkpath(folder.yearLogFolder());
    if (!file_.open(folder.yearLog(year))) {
        writeError_ = file_.lastError();
        if (!file_.open(folder.yearLog(year), PositionedFile::Mode::ReadOnly)) return false;
    }
    const qint64 slots = (file_.size() + kLogSlotSize - 1) / kLogSlotSize;
    count_ = qint32(std::min<qint64>(slots, std::numeric_limits<qint32>::max() - 1));
    return true;
}

bool YearLog::append(const YearLogRecord& record) {
    if (writeError_.failed() || !file_.isOpen()) {
        if (!writeError_.failed()) writeError_ = file_.lastError();
        return false;
    }
    char slot[kLogSlotSize];
    EncodeYearLogRecord(record, slot);
    // The whole slot, so the file stays a whole number of slots.
    if (!file_.write(qint64(count_) * kLogSlotSize + 1, QByteArrayView(slot, kLogSlotSize)))
        return false;
    ++count_;
    return true;
}

bool YearLog::truncateTo(qint32 count) {
    if (count >= count_) return true;
    if (!file_.truncate(qint64(count) * kLogSlotSize)) return false;
    count_ = count;
    return true;
}

bool YearLog::sync() { return !writeError_.failed() && file_.isOpen() && file_.sync(); }

std::vector<YearLogRecord> YearLog::recordsOfDay(double day) const {
    std::vector<YearLogRecord> out;
    constexpr qint64 kBlock = 4096;  // records per read, from the end backwards
    qint64 end = count_;
    bool earlier = false;
    while (end > 0 && !earlier) {
        const qint64 from = std::max<qint64>(0, end - kBlock);
        const QByteArray bytes = file_.read(from * kLogSlotSize + 1, (end - from) * kLogSlotSize);
        for (qint64 i = end - from - 1; i >= 0 && !earlier; --i) {
            const YearLogRecord r = DecodeYearLogRecord(bytes.constData() + i * kLogSlotSize);
            earlier = r.date != day;
            if (!earlier) out.push_back(r);
        }
        end = from;
    }
    std::reverse(out.begin(), out.end());
    return out;
}

namespace {
// Decodes the whole slots of `bytes` and a cut last one into `out`.
size_t DecodeBlock(QByteArrayView bytes, std::vector<YearLogRecord>& out) {
    const size_t whole = size_t(bytes.size() / kLogSlotSize);
    const size_t rest = size_t(bytes.size() % kLogSlotSize);
    out.resize(whole + (rest > 0 ? 1 : 0));
    for (size_t i = 0; i < whole; ++i)
        out[i] = DecodeYearLogRecord(bytes.data() + i * kLogSlotSize);
    if (rest > 0) {
        char slot[kLogSlotSize] = {};
        std::memcpy(slot, bytes.data() + whole * kLogSlotSize, rest);
        out[whole] = DecodeYearLogRecord(slot);
    }
    return out.size();
}
}  // namespace

void ReadYearLogBytes(QByteArrayView bytes,
                      const std::function<bool(const YearLogRecord*, size_t)>& sink) {
    std::vector<YearLogRecord> block;
    for (qsizetype from = 0; from < bytes.size(); from += kScanBlockBytes) {
        const size_t n = DecodeBlock(SliceBytes(bytes, from, kScanBlockBytes), block);
        if (!sink(block.data(), n)) return;
    }
}

bool ReadYearLog(const QString& path,
                 const std::function<bool(const YearLogRecord*, size_t)>& sink) {
    std::vector<YearLogRecord> block;
    return ScanYearLog(path, [&](const char* slots, size_t n) {
        block.resize(n);
        for (size_t i = 0; i < n; ++i) block[i] = DecodeYearLogRecord(slots + i * kLogSlotSize);
        return sink(block.data(), n);
    });
}

}  // namespace tallyra
