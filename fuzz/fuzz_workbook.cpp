// Spreadsheets come from people's desks: any bytes must end in a workbook or a refusal,
// within the reader's limits, and the import's header search must run over the result.
#include <QByteArray>
#include <cstddef>
#include <cstdint>

#include "sheets/spreadsheet.h"

using namespace tallyra;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const std::unique_ptr<Workbook> wb = OpenWorkbookBytes(bytes);
    if (!wb) return 0;
    for (int sheet = 1; sheet <= 4; ++sheet)
        for (int row = 1; row <= 6; ++row)
            for (int column = 1; column <= 30; ++column) (void)wb->cell(sheet, row, column);
    (void)wb->cell(1, WorkbookLimits::kMaxRow + 1, WorkbookLimits::kMaxColumn + 1);
    return 0;
}
