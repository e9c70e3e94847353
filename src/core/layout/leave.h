#pragma once

#include <QtGlobal>

// leave.dat, the excused absences, a file of our own: 128-byte slots appended from offset
// 0, never rewritten. An entry's id is the number of its slot from 1; a cancellation is a
// slot of its own that names the id it cancels. Byte offsets within a slot; numbers
// little-endian, texts code page 936, blank padded.
namespace tallyra::layout::leave {

constexpr int kSlotBytes = 128;
constexpr int kTypeOffset = 0;         // 1 an excused absence, 2 a cancellation
constexpr int kIndexOffset = 2;        // 16-bit roster index
constexpr int kIdOffset = 4;           // 32-bit: the slot's own number, or the one it cancels
constexpr int kFromDayOffset = 8;      // 32-bit OLE day
constexpr int kFromWindowOffset = 12;  // 8-bit window 0-5; -1 from the day's first
constexpr int kToWindowOffset = 13;    // 8-bit window 0-5; -1 to the day's last
constexpr int kToDayOffset = 16;       // 32-bit OLE day
constexpr int kAtOffset = 24;          // OLE date and time it was entered or cancelled
constexpr int kKindOffset = 32;
constexpr int kKindBytes = 12;
constexpr int kByOffset = 44;  // who entered or cancelled it
constexpr int kByBytes = 16;
constexpr int kReasonOffset = 60;
constexpr int kReasonBytes = 68;

}  // namespace tallyra::layout::leave

// leavekind.dat: the kinds of leave offered, 16 names of 12 bytes from position 1; an
// empty name ends the list.
namespace tallyra::layout::leavekind {

constexpr int kKinds = 16;
constexpr int kNameBytes = 12;
constexpr qint64 NamePos(int k) { return 1 + qint64(kNameBytes) * k; }
constexpr qint64 kFileBytes = qint64(kKinds) * kNameBytes;

}  // namespace tallyra::layout::leavekind
