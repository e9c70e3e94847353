#pragma once

#include <QString>
#include <QStringList>
#include <vector>

#include "core/format/datafolder.h"
#include "core/format/positionedfile.h"

namespace tallyra {

// One slot of leave.dat: an excused absence as it was entered, or its cancellation.
struct LeaveRecord {
    enum Type : quint8 { Entry = 1, Cancel = 2 };
    Type type = Entry;
    qint16 index = 0;               // roster index
    qint32 id = 0;                  // an entry's own slot number; the entry a cancellation cancels
    qint32 fromDay = 0, toDay = 0;  // OLE days
    qint8 fromWindow = -1;          // 0-5; -1 from the day's first window
    qint8 toWindow = -1;            // 0-5; -1 to the day's last window
    double at = 0.0;                // OLE date and time it was entered or cancelled
    QString kind, by, reason;
    bool operator==(const LeaveRecord&) const = default;
};

constexpr int kLeaveKindBytes = 12;
constexpr int kLeaveByBytes = 16;
constexpr int kLeaveReasonBytes = 68;

// Every slot in file order, an entry's id taken from its place. A slot whose type or
// windows are out of range is left out (and counted in `damaged`).
std::vector<LeaveRecord> ReadLeaveRecords(const DataFolder& folder, FileError* error = nullptr,
                                          int* damaged = nullptr);
// Appends one slot, on the disk before it returns: its number from 1, or 0 when it could not
// be stored. leave.dat names people and is created readable by its owner only.
[[nodiscard]] qint32 AppendLeaveRecord(const DataFolder& folder, const LeaveRecord& record);
QByteArray EncodeLeaveRecord(const LeaveRecord& record);  // one slot

// leavekind.dat: the kinds of leave offered; a missing or empty file offers 事假, 病假, 公假.
QStringList LoadLeaveKinds(const DataFolder& folder, FileError* error = nullptr);
[[nodiscard]] bool SaveLeaveKinds(const DataFolder& folder, const QStringList& kinds);
QStringList DefaultLeaveKinds();

}  // namespace tallyra
