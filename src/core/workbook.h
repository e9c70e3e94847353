#pragma once

#include <QString>
#include <optional>

namespace tallyra {

// A spreadsheet workbook opened for reading: cell texts by sheet, row and column, all
// from 1, as the spreadsheet shows them. An empty cell reads as empty text; a sheet past
// the last reads as nothing.
class Workbook {
public:
    virtual ~Workbook() = default;
    virtual int sheetCount() const = 0;
    virtual std::optional<QString> cell(int sheet, int row, int column) const = 0;
};

}  // namespace tallyra
