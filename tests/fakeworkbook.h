#pragma once

#include <QStringList>
#include <map>
#include <vector>

#include "core/workbook.h"

namespace tallyra::test {

// Sheets of rows of cells, as a spreadsheet would give them.
class FakeWorkbook final : public Workbook {
public:
    std::vector<std::map<std::pair<int, int>, QString>> sheets;
    // Found damaged when a row from this one on is read (0: never).
    int damagedFromRow = 0;
    mutable bool damaged = false;
    int sheetCount() const override { return int(sheets.size()); }
    QString failure() const override {
        return damaged ? QStringLiteral("电子表格已损坏") : QString();
    }
    std::optional<QString> cell(int sheet, int row, int column) const override {
        if (sheet < 1 || sheet > int(sheets.size())) return std::nullopt;
        if (damagedFromRow > 0 && row >= damagedFromRow) damaged = true;
        if (damaged) return QString();
        const auto& s = sheets[size_t(sheet - 1)];
        const auto it = s.find({row, column});
        return it == s.end() ? QString() : it->second;
    }
    void row(int sheet, int r, const QStringList& cells, int firstColumn = 1) {
        if (int(sheets.size()) < sheet) sheets.resize(size_t(sheet));
        for (int c = 0; c < cells.size(); ++c)
            if (!cells[c].isEmpty()) sheets[size_t(sheet - 1)][{r, firstColumn + c}] = cells[c];
    }
};

}  // namespace tallyra::test
