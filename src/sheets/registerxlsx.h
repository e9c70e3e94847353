#pragma once

#include <QString>
#include <vector>

#include "models/registersheet.h"
#include "sheets/spreadsheet.h"

namespace tallyra {

struct RegisterWorkbook {
    const RegisterSheet* sheet = nullptr;
    std::vector<RegisterPart> parts;
    QString school;
};

// The register as an .xlsx workbook, a sheet per part named after it: the title row, the
// day numbers over the weekdays, then a row per person: the number, the name, a narrow
// column of marks per day (closed days grey) and the totals as values (numbers, the rate
// as a percentage), not formulas. Set to print on A4 across, one page wide, the header rows
// on every page. Written beside the target and renamed over it.
ExportResult ExportRegister(const RegisterWorkbook& workbook, const QString& path);

}  // namespace tallyra
