#pragma once

#include <QtGlobal>

// Rw.dat, the roster: 5000 records of 256 bytes, record n at byte offset 256 (n - 1), its
// fields one after the other (texts as a 16-bit byte count and the bytes).
namespace tallyra::layout::rw {

constexpr int kRecords = 5000;
constexpr int kSlotBytes = 256;
// Everything but the text bytes: five 2-byte lengths and the numbers.
constexpr int kFixedBytes = 97;
constexpr int kMaxTextBytes = kSlotBytes - kFixedBytes;  // 159
constexpr qint64 SlotPos(int index) { return qint64(kSlotBytes) * (index - 1) + 1; }

}  // namespace tallyra::layout::rw
