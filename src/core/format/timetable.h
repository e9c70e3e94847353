#pragma once

#include <QString>
#include <array>

#include "core/format/datafolder.h"
#include "core/format/positionedfile.h"

namespace tallyra {

constexpr int kWindowCount = 6;
constexpr int kCellCount = 42;

// The weekday x window table of time.dat. Cell k = 7 * window + (weekday - 1), weekday
// 1 = Sunday.
struct TimeTable {
    std::array<qint16, kCellCount> starts{};
    std::array<qint16, kCellCount> ends{};
    std::array<bool, kCellCount> set{};
    std::array<QString, kWindowCount> names;  // as stored, trimmed; may be empty

    static int Cell(int window, int weekday) { return 7 * window + (weekday - 1); }
    // "07:30~08:00"
    QString cellCaption(int k) const;
    bool isSet(int window, int weekday) const { return set[size_t(Cell(window, weekday))]; }
    // The name users see: the stored one, or the window number when none is stored.
    QString displayName(int window) const;
};

TimeTable LoadTimeWindows(const DataFolder& folder, FileError* error = nullptr);
[[nodiscard]] bool WriteCellFlag(const DataFolder& folder, int k, bool set);
// Starts and ends of cells first..last in one write: a cell never holds a new start with an
// old end, and a window's seven weekdays are all set or none.
[[nodiscard]] bool WriteCellsTimes(const DataFolder& folder, int first, int last, qint16 start,
                                   qint16 end);
[[nodiscard]] bool WriteCellTimes(const DataFolder& folder, int k, qint16 start, qint16 end);
// 12 bytes of code page 936, blank padded; a longer name is cut at a character boundary.
[[nodiscard]] bool WriteWindowName(const DataFolder& folder, int window, const QString& name);

}  // namespace tallyra
