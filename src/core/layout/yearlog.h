#pragma once

#include <QtGlobal>

// adnt/sols/YYYY.dat, a year's sign-in log: 16-byte slots from offset 0, the record in the
// first 14 bytes, byte offsets within the slot.
namespace tallyra::layout::yearlog {

constexpr int kSlotBytes = 16;
constexpr int kRecordBytes = 14;
constexpr int kIndexOffset = 0;    // 16-bit roster index
constexpr int kDateOffset = 2;     // OLE date, whole days
constexpr int kMinuteOffset = 10;  // 16-bit minute of the day
constexpr int kLateOffset = 12;    // 16-bit minutes late: 0 on time, 9999 absent

}  // namespace tallyra::layout::yearlog
