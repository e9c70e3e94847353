#include "core/yearlog.h"

#include <QDir>
#include <algorithm>
#include <cstring>
#include <limits>

namespace tallyra {

YearLogRecord DecodeYearLogRecord(const char* slot) {
    YearLogRecord r;
    using namespace layout::yearlog;
    r.index = PositionedFile::FromLittle<qint16>(slot + kIndexOffset);
    r.date = PositionedFile::FromLittle<double>(slot + kDateOffset);
    r.minute = PositionedFile::FromLittle<qint16>(slot + kMinuteOffset);
    r.minutesLate = PositionedFile::FromLittle<qint16>(slot + kLateOffset);
    return r;
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
        std::vector<YearLogRecord> block;
        for (qint64 i = end - from - 1; i >= 0; --i) {
            const YearLogRecord r = DecodeYearLogRecord(bytes.constData() + i * kLogSlotSize);
            if (r.date != day) {
                earlier = true;
                break;
            }
            block.push_back(r);
        }
        out.insert(out.end(), block.begin(), block.end());
        end = from;
    }
    std::reverse(out.begin(), out.end());
    return out;
}

namespace {
constexpr size_t kBlockRecords = 65536;

// Decodes whole and cut slots of `bytes` into `out`.
size_t DecodeBlock(QByteArrayView bytes, std::vector<YearLogRecord>& out) {
    const size_t n = size_t((bytes.size() + kLogSlotSize - 1) / kLogSlotSize);
    out.resize(n);
    for (size_t i = 0; i < n; ++i) {
        char slot[kLogSlotSize] = {};
        const qsizetype from = qsizetype(i) * kLogSlotSize;
        std::memcpy(slot, bytes.data() + from,
                    size_t(std::min<qsizetype>(kLogSlotSize, bytes.size() - from)));
        out[i] = DecodeYearLogRecord(slot);
    }
    return n;
}
}  // namespace

void ReadYearLogBytes(QByteArrayView bytes,
                      const std::function<bool(const YearLogRecord*, size_t)>& sink) {
    std::vector<YearLogRecord> block;
    const qsizetype blockBytes = qsizetype(kBlockRecords) * kLogSlotSize;
    for (qsizetype from = 0; from < bytes.size(); from += blockBytes) {
        const size_t n = DecodeBlock(SliceBytes(bytes, from, blockBytes), block);
        if (!sink(block.data(), n)) return;
    }
}

bool ReadYearLog(const QString& path,
                 const std::function<bool(const YearLogRecord*, size_t)>& sink) {
    PositionedFile file;
    if (!file.open(path, PositionedFile::Mode::ReadOnly)) return false;
    const qint64 size = file.size();
    std::vector<YearLogRecord> block;
    QByteArray buffer;
    const qint64 blockBytes = qint64(kBlockRecords) * kLogSlotSize;
    for (qint64 from = 0; from < size; from += blockBytes) {
        const qint64 n = std::min(blockBytes, size - from);
        buffer.resize(n);
        file.readInto(from + 1, buffer.data(), n);
        const size_t got = DecodeBlock(buffer, block);
        if (!sink(block.data(), got)) break;
    }
    return true;
}

}  // namespace tallyra
