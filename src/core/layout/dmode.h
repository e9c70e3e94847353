#pragma once

#include <QtGlobal>

// Dmode.dat, the field definitions, and the element files enids8/9/10.dat: 1-based byte
// positions and widths.
namespace tallyra::layout::dmode {

constexpr qint64 kTitleBytes = 24;
constexpr qint64 TitlePos(int field) { return 48 * field - 47; }
constexpr qint64 EnabledPos(int field) { return 1200 + field; }    // one byte, 0 or 1
constexpr qint64 CountPos(int field) { return 1249 + 2 * field; }  // fields 9-11, 16-bit
constexpr qint64 kLabelBytes = 6;
constexpr qint64 FirstLabelPos(int field) { return 12 * field + 1289; }  // fields 19-25
constexpr qint64 SecondLabelPos(int field) { return 12 * field + 1589; }
constexpr qint64 kFileBytes = SecondLabelPos(25) + kLabelBytes - 1;

constexpr qint64 kElementBytes = 24;
constexpr qint64 ElementPos(int element) { return 48 * element + 1; }  // 0-63
constexpr qint64 kElementFileBytes = ElementPos(63) + kElementBytes - 1;

}  // namespace tallyra::layout::dmode
