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
    int sheetCount() const override { return int(sheets.size()); }
    std::optional<QString> cell(int sheet, int row, int column) const override {
        if (sheet < 1 || sheet > int(sheets.size())) return std::nullopt;
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
