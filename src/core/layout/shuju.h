#pragma once

#include <QtGlobal>

// shuju.dat, today's statuses: one 16-bit value per roster index and window, 1-based
// positions. The bytes before the first index belong to no one; position 1 keeps the
// record of the windows closed today.
namespace tallyra::layout::shuju {

constexpr qint64 StatusPos(int index, int window) { return 12 * qint64(index) + 2 * window; }
constexpr qint64 kClosedWindowsPos = 1;

}  // namespace tallyra::layout::shuju
