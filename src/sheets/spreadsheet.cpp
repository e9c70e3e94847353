#include "sheets/spreadsheet.h"

#include <QFileInfo>
#include <cmath>
#include <cstring>

#include "core/format/positionedfile.h"
#include "core/rosterimport.h"
#include "sheets/reading.h"

namespace tallyra {

using namespace sheets;

QString GeneralNumberText(double value) {
    if (!std::isfinite(value)) return QStringLiteral("#NUM!");
    if (value == std::trunc(value) && std::fabs(value) < 1e15)
        return QString::number(qint64(value));
    QString s = QString::number(value, 'g', 15);
    if (s.contains(u'e')) {
        // 1.25e+20 as a spreadsheet writes it: 1.25E+20.
        s = s.toUpper();
    }
    return s;
}

namespace {

void Fail(QString* error, const QString& why) {
    if (error) *error = why;
}

std::unique_ptr<Workbook> OpenSource(std::unique_ptr<Source> source, QString* error) {
    char head[8] = {};
    source->read(0, head, 8);
    if (std::memcmp(head, "PK\x03\x04", 4) == 0) {
        QString why;
        std::unique_ptr<ZipPackage> zip = ZipPackage::Open(*source, &why);
        if (!zip) {
            Fail(error, why);
            return nullptr;
        }
        // An OpenDocument package names its kind first; one without that but with the
        // parts of one is read as one too.
        bool ods = false;
        if (const auto m = zip->find("mimetype"))
            if (const auto text = zip->readAll(*m, 256))
                ods = text->startsWith("application/vnd.oasis.opendocument.spreadsheet");
        if (!ods) ods = zip->find("content.xml") && !zip->find("[Content_Types].xml");
        return ods ? OpenOds(std::move(source), std::move(zip), error)
                   : OpenXlsx(std::move(source), std::move(zip), error);
    }
    if (std::memcmp(head, "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) == 0)
        return OpenXls(std::move(source), error);
    return OpenCsv(std::move(source), error);
}

}  // namespace

std::unique_ptr<Workbook> OpenWorkbookBytes(const QByteArray& bytes, QString* error) {
    return OpenSource(MemorySource(bytes), error);
}

std::unique_ptr<Workbook> OpenWorkbook(const QString& path, QString* error) {
    // A FIFO would stop the window and a device never ends: only regular files are read,
    // and only piece by piece.
    PositionedFile file;
    if (!file.open(path, PositionedFile::Mode::ReadOnly)) {
        Fail(error, QStringLiteral("无法读取（%1）").arg(file.lastError().reason()));
        return nullptr;
    }
    const qint64 size = file.size();
    if (size > WorkbookLimits::kMaxFileBytes) {
        Fail(error, QStringLiteral("文件太大"));
        return nullptr;
    }
    return OpenSource(FileSource(std::move(file), size), error);
}

ImportResult ImportRosterFile(const QString& path, const ImportTargets& targets, QString* why,
                              const Progress& progress) {
    QString reason;
    const std::unique_ptr<Workbook> book = OpenWorkbook(path, &reason);
    if (book && progress) book->setProgress(progress);
    ImportResult r = ImportRosterSpreadsheet(book.get(), targets, progress, reason);
    if (why) *why = book ? book->failure() : reason;
    return r;
}

QString ExportFileName(const QString& typed) {
    const QFileInfo info(typed);
    const QString suffix = info.suffix().toLower();
    if (suffix == u"xlsx") return typed;
    if (suffix == u"xls") return typed.chopped(3) + QStringLiteral("xlsx");
    if (typed.endsWith(u'.')) return typed + QStringLiteral("xlsx");
    return typed + QStringLiteral(".xlsx");
}

QString ExportResult::notice() const {
    if (cancelled) return QStringLiteral("导出已取消");
    if (!written) return QStringLiteral("导出失败，文件无法写入");
    if (sheets > 1) return QStringLiteral("导出成功，共%1张工作表").arg(sheets);
    return QStringLiteral("导出成功");
}

}  // namespace tallyra
