#pragma once

#include <QColor>
#include <QDate>
#include <QString>
#include <vector>

#include "models/registersheet.h"

class QPagedPaintDevice;

namespace tallyra {

// The register on A4 paper, across: each part on its own run of pages, each page with the
// school, the part and the month over it, the column headers again, its page number under
// it; the part's last page with the picture of its month and a line to sign.
struct RegisterPrint {
    const RegisterSheet* sheet = nullptr;
    std::vector<RegisterPart> parts;
    QString school;
    QDate printed;

    static constexpr int kRowsPerPage = 35;
    // Pages each part takes, from its rows and whether its picture fits under the last.
    std::vector<int> pagesOfParts() const;
    int pageCount() const;
};

// A day's mark as the page and the screen colour it: absent red, late blue, closed grey,
// the rest as the text around it (invalid).
QColor MarkColour(DayMark mark);

// Paints every page on `device` (a PDF writer or a printer), which is set to A4 across.
// False when nothing could be painted.
bool PaintRegister(QPagedPaintDevice& device, const RegisterPrint& print);

// The PDF, written beside `path` and renamed over it, so a write cut short leaves the old
// file as it was. False, with the reason in `error`, when it could not be written.
bool WriteRegisterPdf(const QString& path, const RegisterPrint& print, QString* error = nullptr);

}  // namespace tallyra
