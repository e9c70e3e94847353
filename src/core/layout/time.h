#pragma once

#include <QtGlobal>

// time.dat, the weekday x window table: 1-based byte positions. Cell k = 7 * window +
// weekday - 1.
namespace tallyra::layout::time {

constexpr qint64 StartPos(int cell) { return 1 + 2 * cell; }  // 16-bit minutes
constexpr qint64 EndPos(int cell) { return 101 + 2 * cell; }  // 16-bit minutes
constexpr qint64 FlagPos(int cell) { return 201 + cell; }     // one byte, non-zero = set
constexpr qint64 NamePos(int window) { return 301 + 16 * window; }
constexpr qint64 kNameBytes = 12;
constexpr qint64 kFileBytes = 392;

}  // namespace tallyra::layout::time
