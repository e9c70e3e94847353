#include "sheets/spreadsheet.h"

#include <freexl.h>
#include <xlsxwriter.h>
#include <zip.h>

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QStringDecoder>
#include <QTemporaryFile>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <map>
#include <pugixml.hpp>

#include "common/gbk.h"
#include "core/positionedfile.h"
#include "core/rosterimport.h"
#include "core/statistics.h"

namespace tallyra {

namespace {

void Fail(QString* error, const QString& why) {
    if (error) *error = why;
}

quint64 Key(int row, int column) { return (quint64(quint32(row)) << 20) | quint32(column); }

// Cells of one sheet, sparse.
struct Sheet {
    QHash<quint64, QString> cells;
};

class MemoryWorkbook final : public Workbook {
public:
    std::vector<Sheet> sheets;
    int sheetCount() const override { return int(sheets.size()); }
    std::optional<QString> cell(int sheet, int row, int column) const override {
        if (sheet < 1 || sheet > int(sheets.size())) return std::nullopt;
        if (row < 1 || column < 1 || row > WorkbookLimits::kMaxRow ||
            column > WorkbookLimits::kMaxColumn)
            return QString();
        return sheets[size_t(sheet - 1)].cells.value(Key(row, column));
    }
};

// ---- .xlsx -------------------------------------------------------------------------

class Zip {
public:
    explicit Zip(const QByteArray& bytes) : bytes_(bytes) {
        zip_error_t err;
        zip_error_init(&err);
        zip_source_t* src =
            zip_source_buffer_create(bytes_.constData(), zip_uint64_t(bytes_.size()), 0, &err);
        if (src) {
            archive_ = zip_open_from_source(src, ZIP_RDONLY, &err);
            if (!archive_) zip_source_free(src);
        }
        zip_error_fini(&err);
    }
    ~Zip() {
        if (archive_) zip_discard(archive_);
    }
    bool ok() const { return archive_ != nullptr; }
    // The unpacked part, read in pieces so a part that claims a small size but inflates
    // without end is cut off at the limit.
    std::optional<QByteArray> part(const QString& name) const {
        if (!archive_) return std::nullopt;
        zip_file_t* f = zip_fopen(archive_, name.toUtf8().constData(), ZIP_FL_NOCASE);
        if (!f) return std::nullopt;
        QByteArray out;
        char buffer[65536];
        for (;;) {
            const zip_int64_t n = zip_fread(f, buffer, sizeof buffer);
            if (n < 0) {
                zip_fclose(f);
                return std::nullopt;
            }
            if (n == 0) break;
            if (out.size() + n > WorkbookLimits::kMaxPartBytes) {
                zip_fclose(f);
                return std::nullopt;
            }
            out.append(buffer, qsizetype(n));
        }
        zip_fclose(f);
        return out;
    }

private:
    QByteArray bytes_;
    zip_t* archive_ = nullptr;
};

QString Utf8(const char* s) { return QString::fromUtf8(s); }

// Text of an element and everything below it (<t> runs of a rich string).
QString Texts(const pugi::xml_node& node) {
    QString out;
    for (const pugi::xpath_node& t : node.select_nodes(".//*[local-name()='t']"))
        out += Utf8(t.node().text().get());
    return out;
}

bool ParseRef(const char* ref, int& row, int& column) {
    column = 0;
    const char* p = ref;
    while (*p >= 'A' && *p <= 'Z') {
        column = column * 26 + (*p - 'A' + 1);
        if (column > WorkbookLimits::kMaxColumn) return false;
        ++p;
    }
    if (column == 0) return false;
    row = 0;
    while (*p >= '0' && *p <= '9') {
        row = row * 10 + (*p - '0');
        if (row > WorkbookLimits::kMaxRow) return false;
        ++p;
    }
    return row > 0 && *p == '\0';
}

std::unique_ptr<Workbook> ReadXlsx(const QByteArray& bytes, QString* error) {
    Zip zip(bytes);
    if (!zip.ok()) {
        Fail(error, QStringLiteral("not a zip archive"));
        return nullptr;
    }
    const auto workbookXml = zip.part(QStringLiteral("xl/workbook.xml"));
    if (!workbookXml) {
        Fail(error, QStringLiteral("no workbook part"));
        return nullptr;
    }
    pugi::xml_document wbDoc;
    if (!wbDoc.load_buffer(workbookXml->constData(), size_t(workbookXml->size()))) {
        Fail(error, QStringLiteral("broken workbook part"));
        return nullptr;
    }
    // Sheet order from the workbook, their parts from its relationships.
    std::map<QString, QString> targets;
    if (const auto rels = zip.part(QStringLiteral("xl/_rels/workbook.xml.rels"))) {
        pugi::xml_document relDoc;
        if (relDoc.load_buffer(rels->constData(), size_t(rels->size())))
            for (const pugi::xpath_node& x :
                 relDoc.select_nodes("//*[local-name()='Relationship']"))
                targets[Utf8(x.node().attribute("Id").value())] =
                    Utf8(x.node().attribute("Target").value());
    }
    std::vector<QString> sheetParts;
    int n = 0;
    for (const pugi::xpath_node& x : wbDoc.select_nodes("//*[local-name()='sheet']")) {
        ++n;
        QString target;
        for (const pugi::xml_attribute& a : x.node().attributes())
            if (QByteArray(a.name()).endsWith(":id")) target = targets[Utf8(a.value())];
        if (target.isEmpty()) target = QStringLiteral("worksheets/sheet%1.xml").arg(n);
        if (target.startsWith(u'/'))
            target = target.mid(1);
        else
            target = QStringLiteral("xl/") + target;
        sheetParts.push_back(target);
    }
    std::vector<QString> shared;
    if (const auto sst = zip.part(QStringLiteral("xl/sharedStrings.xml"))) {
        pugi::xml_document doc;
        if (doc.load_buffer(sst->constData(), size_t(sst->size())))
            for (const pugi::xpath_node& x : doc.select_nodes("//*[local-name()='si']"))
                shared.push_back(Texts(x.node()));
    }
    auto book = std::make_unique<MemoryWorkbook>();
    qint64 cells = 0;
    for (const QString& part : sheetParts) {
        Sheet sheet;
        const auto xml = zip.part(part);
        pugi::xml_document doc;
        if (xml && doc.load_buffer(xml->constData(), size_t(xml->size()))) {
            int nextRow = 0;
            for (const pugi::xpath_node& rx :
                 doc.select_nodes("//*[local-name()='sheetData']/*[local-name()='row']")) {
                const pugi::xml_node rowNode = rx.node();
                int row = rowNode.attribute("r").as_int(nextRow + 1);
                if (row < 1 || row > WorkbookLimits::kMaxRow) continue;
                nextRow = row;
                int nextColumn = 0;
                for (pugi::xml_node c = rowNode.first_child(); c; c = c.next_sibling()) {
                    if (QByteArray(c.name()).split(':').last() != "c") continue;
                    int r = row, column = nextColumn + 1;
                    if (const char* ref = c.attribute("r").value();
                        *ref && !ParseRef(ref, r, column))
                        continue;
                    nextColumn = column;
                    const QByteArray type = c.attribute("t").value();
                    pugi::xml_node v;
                    for (pugi::xml_node k = c.first_child(); k; k = k.next_sibling())
                        if (QByteArray(k.name()).split(':').last() == "v") v = k;
                    QString text;
                    if (type == "s") {
                        const long i = v.text().as_llong(-1);
                        if (i >= 0 && size_t(i) < shared.size()) text = shared[size_t(i)];
                    } else if (type == "inlineStr") {
                        text = Texts(c);
                    } else if (type == "b") {
                        text = v.text().as_int() ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
                    } else if (type == "str" || type == "e") {
                        text = Utf8(v.text().get());
                    } else if (v) {
                        bool ok = false;
                        const double d = QByteArray(v.text().get()).trimmed().toDouble(&ok);
                        text = ok ? GeneralNumberText(d) : Utf8(v.text().get());
                    }
                    if (text.isEmpty()) continue;
                    if (++cells > WorkbookLimits::kMaxCells) {
                        Fail(error, QStringLiteral("too many cells"));
                        return nullptr;
                    }
                    sheet.cells.insert(Key(r, column), text);
                }
            }
        }
        book->sheets.push_back(std::move(sheet));
    }
    return book;
}

// ---- .xls ----------------------------------------------------------------------------

class XlsWorkbook final : public Workbook {
public:
    explicit XlsWorkbook(const void* handle) : handle_(handle) {
        unsigned int count = 0;
        if (freexl_get_info(handle_, FREEXL_BIFF_SHEET_COUNT, &count) == FREEXL_OK)
            sheets_ = int(count);
    }
    ~XlsWorkbook() override { freexl_close(handle_); }
    int sheetCount() const override { return sheets_; }
    std::optional<QString> cell(int sheet, int row, int column) const override {
        if (sheet < 1 || sheet > sheets_) return std::nullopt;
        if (selected_ != sheet) {
            if (freexl_select_active_worksheet(handle_, unsigned(sheet - 1)) != FREEXL_OK)
                return QString();
            if (freexl_worksheet_dimensions(handle_, &rows_, &columns_) != FREEXL_OK)
                rows_ = columns_ = 0;
            selected_ = sheet;
        }
        if (row < 1 || column < 1 || unsigned(row) > rows_ || unsigned(column) > columns_)
            return QString();
        FreeXL_CellValue v;
        if (freexl_get_cell_value(handle_, unsigned(row - 1),
                                  static_cast<unsigned short>(column - 1), &v) != FREEXL_OK)
            return QString();
        switch (v.type) {
            case FREEXL_CELL_INT:
                return QString::number(v.value.int_value);
            case FREEXL_CELL_DOUBLE:
                return GeneralNumberText(v.value.double_value);
            case FREEXL_CELL_TEXT:
            case FREEXL_CELL_SST_TEXT:
            case FREEXL_CELL_DATE:
            case FREEXL_CELL_DATETIME:
            case FREEXL_CELL_TIME:
                return QString::fromUtf8(v.value.text_value);
            default:
                return QString();
        }
    }

private:
    const void* handle_;
    int sheets_ = 0;
    mutable int selected_ = 0;
    mutable unsigned int rows_ = 0;
    mutable unsigned short columns_ = 0;
};

std::unique_ptr<Workbook> ReadXls(const QString& path, QString* error) {
    const void* handle = nullptr;
    if (freexl_open(QFile::encodeName(path).constData(), &handle) != FREEXL_OK) {
        if (handle) freexl_close(handle);
        Fail(error, QStringLiteral("not a readable .xls workbook"));
        return nullptr;
    }
    return std::make_unique<XlsWorkbook>(handle);
}

// ---- .csv ----------------------------------------------------------------------------

QString DecodeText(const QByteArray& bytes) {
    QByteArray b = bytes;
    if (b.startsWith("\xEF\xBB\xBF")) b.remove(0, 3);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8.decode(b);
    if (!utf8.hasError()) return text;
    return DecodeGbk(b);
}

std::unique_ptr<Workbook> ReadCsv(const QByteArray& bytes, QString* error) {
    if (bytes.contains('\0')) {
        Fail(error, QStringLiteral("not a text file"));
        return nullptr;
    }
    const QString text = DecodeText(bytes);
    const qsizetype firstLine = text.indexOf(u'\n');
    const QString head = text.left(firstLine < 0 ? text.size() : firstLine);
    const QChar separator = !head.contains(u',') && head.contains(u'\t') ? u'\t' : u',';
    auto book = std::make_unique<MemoryWorkbook>();
    book->sheets.emplace_back();
    Sheet& sheet = book->sheets.back();
    int row = 1, column = 1;
    QString cell;
    bool quoted = false;
    qint64 cells = 0;
    auto put = [&] {
        if (!cell.isEmpty() && row <= WorkbookLimits::kMaxRow &&
            column <= WorkbookLimits::kMaxColumn) {
            sheet.cells.insert(Key(row, column), cell);
            ++cells;
        }
        cell.clear();
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar ch = text[i];
        if (quoted) {
            if (ch == u'"') {
                if (i + 1 < text.size() && text[i + 1] == u'"') {
                    cell += u'"';
                    ++i;
                } else {
                    quoted = false;
                }
            } else {
                cell += ch;
            }
            continue;
        }
        if (ch == u'"') {
            quoted = true;
        } else if (ch == separator) {
            put();
            ++column;
        } else if (ch == u'\n' || ch == u'\r') {
            put();
            if (ch == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
            ++row;
            column = 1;
        } else {
            cell += ch;
        }
        if (cells > WorkbookLimits::kMaxCells) {
            Fail(error, QStringLiteral("too many cells"));
            return nullptr;
        }
    }
    put();
    return book;
}

// Digits only, no leading zero, short enough that a double holds it exactly.
bool IsPlainWholeNumber(const QString& text) {
    if (text.isEmpty() || text.size() > 15 || (text.size() > 1 && text.front() == u'0'))
        return false;
    for (QChar ch : text)
        if (ch < u'0' || ch > u'9') return false;
    return true;
}

}  // namespace

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

std::unique_ptr<Workbook> OpenWorkbookBytes(const QByteArray& bytes, QString* error) {
    if (bytes.startsWith("PK\x03\x04")) return ReadXlsx(bytes, error);
    if (bytes.startsWith("\xD0\xCF\x11\xE0")) {
        // freexl reads from a path.
        QTemporaryFile file;
        if (!file.open() || file.write(bytes) != bytes.size()) {
            Fail(error, QStringLiteral("cannot stage the workbook"));
            return nullptr;
        }
        file.close();
        return ReadXls(file.fileName(), error);
    }
    return ReadCsv(bytes, error);
}

std::unique_ptr<Workbook> OpenWorkbook(const QString& path, QString* error) {
    // A FIFO would stop the window and a device never ends: only regular files are read.
    QByteArray bytes;
    FileError why;
    if (!ReadRegularFile(path, WorkbookLimits::kMaxFileBytes, bytes, &why)) {
        Fail(error, why.code == EFBIG ? QStringLiteral("文件太大")
                                      : QStringLiteral("无法读取（%1）").arg(why.reason()));
        return nullptr;
    }
    if (bytes.startsWith("\xD0\xCF\x11\xE0")) return ReadXls(path, error);
    return OpenWorkbookBytes(bytes, error);
}

bool WriteWorkbookFromTemplate(const QString& templatePath, const QString& path, int firstRow,
                               int rows, const std::function<std::vector<QString>(int)>& rowAt) {
    // The template's cells of the rows the grid does not cover stay; a template is small.
    std::map<int, std::map<int, QString>> kept;
    if (auto t = OpenWorkbook(templatePath)) {
        for (int r = 1; r < firstRow; ++r)
            for (int c = 1; c <= 26; ++c)
                if (QString s = t->cell(1, r, c).value_or(QString()); !s.isEmpty()) kept[r][c] = s;
    }
    // Written beside the target and renamed over it: an export that is cut short leaves the
    // earlier workbook as it was.
    const QFileInfo target(path);
    if (target.exists() && !target.isFile()) return false;
    QTemporaryFile staging(target.absolutePath() + QStringLiteral("/.tallyra-export-XXXXXX"));
    staging.setAutoRemove(false);
    if (!staging.open()) return false;
    const QString stagingPath = staging.fileName();
    staging.close();
    struct Cleanup {
        QString path;
        bool keep = false;
        ~Cleanup() {
            if (!keep) QFile::remove(path);
        }
    } cleanup{stagingPath};
    lxw_workbook_options options = {};
    options.constant_memory = LXW_TRUE;
    const QByteArray file = QFile::encodeName(stagingPath);
    lxw_workbook* wb = workbook_new_opt(file.constData(), &options);
    if (!wb) return false;
    lxw_worksheet* sheet = workbook_add_worksheet(wb, nullptr);
    lxw_format* bold = workbook_add_format(wb);
    format_set_bold(bold);
    for (const auto& [r, cells] : kept)
        for (const auto& [c, text] : cells)
            worksheet_write_string(sheet, lxw_row_t(r - 1), lxw_col_t(c - 1),
                                   text.toUtf8().constData(), r == 1 ? bold : nullptr);
    for (int i = 0; i < rows; ++i) {
        const std::vector<QString> cells = rowAt(i);
        for (size_t c = 0; c < cells.size(); ++c) {
            const QString& text = cells[c];
            if (text.isEmpty()) continue;
            const lxw_row_t row = lxw_row_t(firstRow - 1 + i);
            // Whole numbers (cards, minutes late) go in as numbers: a spreadsheet shows them
            // with the same digits, and the file is half the size to write.
            if (IsPlainWholeNumber(text)) {
                worksheet_write_number(sheet, row, lxw_col_t(c), text.toDouble(), nullptr);
                continue;
            }
            worksheet_write_string(sheet, row, lxw_col_t(c), text.toUtf8().constData(), nullptr);
        }
    }
    if (workbook_close(wb) != LXW_NO_ERROR) return false;
    {
        PositionedFile written;
        if (!written.open(stagingPath) || !written.sync()) return false;
    }
    QFile::setPermissions(stagingPath, target.exists() ? target.permissions()
                                                       : QFile::ReadOwner | QFile::WriteOwner |
                                                             QFile::ReadGroup | QFile::ReadOther);
    if (::rename(file.constData(), QFile::encodeName(path).constData()) != 0) return false;
    cleanup.keep = true;
    return true;
}

bool ExportStatisticsGrid(const StatsGridModel& grid, const QString& templatePath,
                          const QString& path) {
    return WriteWorkbookFromTemplate(templatePath, path, 2, grid.gridRowCount(), [&grid](int r) {
        std::vector<QString> cells(StatsGridModel::kColumns);
        for (int c = 0; c < StatsGridModel::kColumns; ++c) cells[size_t(c)] = grid.text(r, c);
        return cells;
    });
}

ImportResult ImportRosterFile(const QString& path, const ImportTargets& targets, QString* why) {
    const std::unique_ptr<Workbook> book = OpenWorkbook(path, why);
    return ImportRosterSpreadsheet(book.get(), targets);
}

}  // namespace tallyra
