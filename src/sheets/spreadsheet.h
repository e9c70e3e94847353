#pragma once

#include <QString>
#include <functional>
#include <memory>
#include <vector>

#include "core/workbook.h"

namespace tallyra {

// Opens a workbook by its content: .xlsx (zip), legacy .xls, or CSV text in UTF-8 or code
// page 936. Null when the file is none of them, is damaged, or is larger than the limits
// below; `error` then says why.
std::unique_ptr<Workbook> OpenWorkbook(const QString& path, QString* error = nullptr);
std::unique_ptr<Workbook> OpenWorkbookBytes(const QByteArray& bytes, QString* error = nullptr);

// What a workbook may cost to read: hostile files stop here instead of exhausting memory.
struct WorkbookLimits {
    static constexpr qint64 kMaxFileBytes = 256LL << 20;
    static constexpr qint64 kMaxPartBytes = 64LL << 20;  // one unpacked part of a zip
    static constexpr qint64 kMaxCells = 8'000'000;
    static constexpr int kMaxRow = 1'048'576;
    static constexpr int kMaxColumn = 16'384;
};

// Text of a number as a spreadsheet's general format shows it: 12345678, 0.5, 1.25E+20.
QString GeneralNumberText(double value);

// Writes `path` as an .xlsx workbook: the template's first sheet (when it can be read),
// with the rows `fill` writes laid over it from `firstRow` on. Returns false when the
// file cannot be written.
bool WriteWorkbookFromTemplate(const QString& templatePath, const QString& path, int firstRow,
                               int rows, const std::function<std::vector<QString>(int)>& rowAt);

class StatsGridModel;
// The statistics grid as the panel's export writes it: the template's title rows, then the
// grid rows from sheet row 2. False when the file could not be written.
bool ExportStatisticsGrid(const StatsGridModel& grid, const QString& templatePath,
                          const QString& path);

struct ImportTargets;
struct ImportResult;
// The roster import from a workbook file; a file that cannot be read as one ends in the
// import's failure notice, and `why` says what was wrong with it.
ImportResult ImportRosterFile(const QString& path, const ImportTargets& targets,
                              QString* why = nullptr);

}  // namespace tallyra
