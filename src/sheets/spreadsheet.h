#pragma once

#include <QString>
#include <memory>

#include "core/workbook.h"

namespace tallyra {

// Opens a workbook by its content: .xlsx, .ods (both zip packages), legacy .xls (BIFF8, and
// BIFF5 as Excel 95 wrote it), or CSV text in UTF-8 or code page 936. Null when the file is
// none of them or is damaged from the start; `error` then says why, in words for the user.
// Sheets are read later, as far as they are asked for.
std::unique_ptr<Workbook> OpenWorkbook(const QString& path, QString* error = nullptr);
std::unique_ptr<Workbook> OpenWorkbookBytes(const QByteArray& bytes, QString* error = nullptr);

// What a workbook may cost to read, all its parts together: a hostile file stops here,
// within seconds and a bounded amount of memory, instead of exhausting either.
struct WorkbookLimits {
    static constexpr qint64 kMaxFileBytes = 256LL << 20;
    static constexpr qint64 kMaxInflatedBytes = 256LL << 20;  // unpacked from a zip
    static constexpr qint64 kMaxCells = 4'000'000;            // cells with a value, read
    static constexpr qint64 kMaxSharedStrings = 1'000'000;
    static constexpr qint64 kMaxTextChars = 32LL << 20;  // texts kept, in UTF-16 units
    static constexpr int kMaxCellChars = 32'767;         // as much as a spreadsheet holds
    static constexpr int kMaxZipEntries = 10'000;
    static constexpr int kMaxRow = 1'048'576;
    static constexpr int kMaxColumn = 16'384;
    // The import never looks right of column 30: cells further right read as empty.
    static constexpr int kReadColumns = 30;
};

// Text of a number as a spreadsheet's general format shows it: 12345678, 0.5, 1.25E+20.
QString GeneralNumberText(double value);

struct StatsListing;

struct ExportResult {
    bool written = false;
    bool cancelled = false;  // stopped through the progress callback: no file was left
    int sheets = 0;
    QString path;  // where it was written: the typed name with .xlsx where it had none
    // The notice for the user: "导出成功" (with the number of sheets when there are
    // several), or what went wrong.
    QString notice() const;
};

// The file name an export writes for a typed name: ".xlsx" added to a name without it, an
// ".xls" name turned into ".xlsx" (the content is never .xls).
QString ExportFileName(const QString& typed);

// The statistics as the panel's export writes them: a copy of the template workbook
// (its first sheet's name, title rows, formatting and column widths, and every other part
// as it is), with the header and the listed events from sheet row 2 on, in the grid's order:
// names and weekdays as text, dates and times as date cells (yyyy-mm-dd, hh:mm), cards and
// minutes late as numbers. Rows past
// `lastRow` continue on copies of the first sheet, each with the header row again. Written
// beside the target and renamed over it, so an export cut short leaves the earlier file as
// it was. A template that cannot be read gives a plain workbook with the same cells.
ExportResult ExportStatistics(const StatsListing& listing, const QString& templatePath,
                              const QString& path, const Progress& progress = {},
                              int lastRow = WorkbookLimits::kMaxRow);

struct ImportTargets;
struct ImportResult;
// The roster import from a workbook file; a file that cannot be read as one ends in the
// import's failure notice, and `why` says what was wrong with it.
ImportResult ImportRosterFile(const QString& path, const ImportTargets& targets,
                              QString* why = nullptr, const Progress& progress = {});

}  // namespace tallyra
