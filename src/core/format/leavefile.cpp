#include "core/format/leavefile.h"

#include "core/format/slotlog.h"
#include "core/layout/leave.h"

namespace tallyra {

using namespace layout::leave;

namespace {

constexpr qint64 kMostBytes = qint64(kSlotBytes) << 20;  // a million slots

bool ValidWindow(qint8 w) { return w >= -1 && w <= 5; }

}  // namespace

QByteArray EncodeLeaveRecord(const LeaveRecord& r) {
    QByteArray slot(kSlotBytes, '\0');
    char* p = slot.data();
    p[kTypeOffset] = char(r.type);
    PositionedFile::ToLittle(r.index, p + kIndexOffset);
    PositionedFile::ToLittle(r.id, p + kIdOffset);
    PositionedFile::ToLittle(r.fromDay, p + kFromDayOffset);
    p[kFromWindowOffset] = char(r.fromWindow);
    p[kToWindowOffset] = char(r.toWindow);
    PositionedFile::ToLittle(r.toDay, p + kToDayOffset);
    PositionedFile::ToLittle(r.at, p + kAtOffset);
    slot.replace(kKindOffset, kKindBytes, EncodeFixedText(r.kind, kKindBytes));
    slot.replace(kByOffset, kByBytes, EncodeFixedText(r.by, kByBytes));
    slot.replace(kReasonOffset, kReasonBytes, EncodeFixedText(r.reason, kReasonBytes));
    return slot;
}

std::vector<LeaveRecord> ReadLeaveRecords(const DataFolder& folder, FileError* error,
                                          int* damaged) {
    const QByteArray all = ReadSlots(folder.leave(), kSlotBytes, kMostBytes, error);
    std::vector<LeaveRecord> out;
    out.reserve(size_t(all.size() / kSlotBytes));
    int bad = 0;
    for (qsizetype at = 0; at < all.size(); at += kSlotBytes) {
        const char* p = all.constData() + at;
        LeaveRecord r;
        const quint8 type = quint8(p[kTypeOffset]);
        r.index = PositionedFile::FromLittle<qint16>(p + kIndexOffset);
        r.fromDay = PositionedFile::FromLittle<qint32>(p + kFromDayOffset);
        r.fromWindow = qint8(p[kFromWindowOffset]);
        r.toWindow = qint8(p[kToWindowOffset]);
        r.toDay = PositionedFile::FromLittle<qint32>(p + kToDayOffset);
        r.at = PositionedFile::FromLittle<double>(p + kAtOffset);
        r.kind = DecodeFixedText(QByteArrayView(p + kKindOffset, kKindBytes));
        r.by = DecodeFixedText(QByteArrayView(p + kByOffset, kByBytes));
        r.reason = DecodeFixedText(QByteArrayView(p + kReasonOffset, kReasonBytes));
        if ((type != LeaveRecord::Entry && type != LeaveRecord::Cancel) ||
            !ValidWindow(r.fromWindow) || !ValidWindow(r.toWindow)) {
            ++bad;
            continue;
        }
        r.type = LeaveRecord::Type(type);
        // An entry is known by its place, whatever its slot says.
        r.id = type == LeaveRecord::Entry ? qint32(at / kSlotBytes + 1)
                                          : PositionedFile::FromLittle<qint32>(p + kIdOffset);
        out.push_back(std::move(r));
    }
    if (damaged) *damaged = bad;
    return out;
}

qint32 AppendLeaveRecord(const DataFolder& folder, const LeaveRecord& record) {
    // An entry carries its own number, which only the append knows; it is the slot's place
    // that counts when the file is read.
    const qint64 n = AppendSlots(folder.leave(), kSlotBytes, EncodeLeaveRecord(record),
                                 PositionedFile::Access::Private);
    return n > 0 && n < (qint64(1) << 31) ? qint32(n) : 0;
}

QStringList DefaultLeaveKinds() {
    return {QStringLiteral("事假"), QStringLiteral("病假"), QStringLiteral("公假")};
}

QStringList LoadLeaveKinds(const DataFolder& folder, FileError* error) {
    const QByteArray all = ReadDataFile(folder.leaveKinds(), layout::leavekind::kFileBytes, error);
    QStringList kinds;
    for (int k = 0; k < layout::leavekind::kKinds; ++k) {
        const QString name = DecodeFixedText(QByteArrayView(all).sliced(
            layout::leavekind::NamePos(k) - 1, layout::leavekind::kNameBytes));
        if (name.isEmpty()) break;
        kinds << name;
    }
    return kinds.isEmpty() ? DefaultLeaveKinds() : kinds;
}

bool SaveLeaveKinds(const DataFolder& folder, const QStringList& kinds) {
    if (kinds.size() > layout::leavekind::kKinds) return false;
    QByteArray all(layout::leavekind::kFileBytes, ' ');
    for (int k = 0; k < kinds.size(); ++k) {
        all.replace(layout::leavekind::NamePos(k) - 1, layout::leavekind::kNameBytes,
                    EncodeFixedText(kinds[k], layout::leavekind::kNameBytes));
    }
    PositionedFile file;
    return file.open(folder.leaveKinds()) && file.write(1, all) && file.sync();
}

}  // namespace tallyra
