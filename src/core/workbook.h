#pragma once

#include <QString>
#include <functional>
#include <optional>

namespace tallyra {

// Told how far a long read or write has come (`total` 0 when not known yet); returning
// false asks it to stop.
using Progress = std::function<bool(qint64 done, qint64 total)>;

// A spreadsheet workbook opened for reading: cell texts by sheet, row and column, all
// from 1, as the spreadsheet shows them. An empty cell reads as empty text; a sheet past
// the last reads as nothing. A workbook may read its sheets only as far as it is asked,
// and find on the way that it is damaged or larger than it may be: it then says why in
// `failure()`, and every cell reads as empty from then on.
class Workbook {
public:
    virtual ~Workbook() = default;
    virtual int sheetCount() const = 0;
    virtual std::optional<QString> cell(int sheet, int row, int column) const = 0;
    virtual QString failure() const { return {}; }
    // The reading was stopped through the progress callback.
    virtual bool cancelled() const { return false; }
    virtual void setProgress(Progress) {}
};

}  // namespace tallyra
