#pragma once

// calendar.dat, the school calendar, a file of our own: 32-byte slots appended one per
// change of one day, from offset 0. A day is what its last slot says. Byte offsets within a
// slot; numbers little-endian.
namespace tallyra::layout::calendar {

constexpr int kSlotBytes = 32;
constexpr int kDayOffset = 0;      // 32-bit OLE day
constexpr int kKindOffset = 4;     // 0 open again, 1 closed, 2 make-up day
constexpr int kWeekdayOffset = 5;  // make-up day: the weekday whose windows it runs, 1 = Sunday
constexpr int kNameOffset = 8;     // closed day: its name, code page 936, blank padded
constexpr int kNameBytes = 24;

}  // namespace tallyra::layout::calendar
