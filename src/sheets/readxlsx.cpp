// .xlsx: the workbook part, its relationships, the number formats and the shared strings
// are read when the file is opened; a sheet's part only when a cell of it is asked for, and
// only as far as the row asked for.
#include <cstdlib>
#include <map>

#include "sheets/reading.h"

namespace tallyra::sheets {

namespace {

using Token = XmlPull::Token;

// Parts other than the sheets are small in any real workbook; they count against the
// workbook's budget like the sheets do.
bool ForEachStart(const ZipPackage& zip, qint64 index, Budget& budget,
                  const std::function<void(XmlPull&)>& onStart) {
    const std::unique_ptr<ZipPackage::Stream> s = zip.open(index, &budget);
    if (!s) return budget.damaged();
    XmlPull xml([&s](char* out, qint64 n) { return s->read(out, n); });
    for (;;) {
        switch (xml.next()) {
            case Token::Start:
                onStart(xml);
                break;
            case Token::Done:
                return budget.ok();
            case Token::Failed:
                return budget.damaged();
            default:
                break;
        }
    }
}

struct Relationship {
    std::string target, type;
};

std::map<std::string, Relationship> ReadRelationships(const ZipPackage& zip,
                                                      const std::string& part, Budget& budget) {
    std::map<std::string, Relationship> out;
    const std::optional<qint64> index = zip.find(RelsPartOf(part));
    if (!index) return out;
    ForEachStart(zip, *index, budget, [&](XmlPull& x) {
        if (!x.is("Relationship") || x.attribute("TargetMode") == "External") return;
        out[x.attribute("Id")] = {ResolvePartName(part, x.attribute("Target")),
                                  x.attribute("Type")};
    });
    return out;
}

// "AB12" as column 28, row 12.
bool ParseReference(std::string_view ref, int& row, int& column) {
    size_t i = 0;
    int c = 0;
    while (i < ref.size() && ref[i] >= 'A' && ref[i] <= 'Z') {
        c = c * 26 + (ref[i] - 'A' + 1);
        if (c > WorkbookLimits::kMaxColumn) return false;
        ++i;
    }
    if (c == 0) return false;
    int r = 0;
    while (i < ref.size() && ref[i] >= '0' && ref[i] <= '9') {
        r = r * 10 + (ref[i] - '0');
        if (r > WorkbookLimits::kMaxRow) return false;
        ++i;
    }
    if (r == 0 || i != ref.size()) return false;
    row = r;
    column = c;
    return true;
}

bool ParseInt(std::string_view s, qint64& out) {
    if (s.empty() || s.size() > 18) return false;
    qint64 v = 0;
    for (char ch : s) {
        if (ch < '0' || ch > '9') return false;
        v = v * 10 + (ch - '0');
    }
    out = v;
    return true;
}

class XlsxWorkbook final : public StreamedWorkbook {
public:
    XlsxWorkbook(std::unique_ptr<Source> source, std::unique_ptr<ZipPackage> zip)
        : source_(std::move(source)), zip_(std::move(zip)) {}

    bool open(QString* why);

protected:
    bool sheetExists(int sheet) override { return sheet >= 1 && sheet <= int(sheets_.size()); }
    int countSheets() override { return int(sheets_.size()); }
    void readThrough(int sheet, int row) override;

private:
    struct SheetPart {
        std::optional<qint64> entry;
        std::unique_ptr<ZipPackage::Stream> stream;
        std::unique_ptr<XmlPull> xml;
        int complete = 0;  // rows known to be read whole
        bool ended = false;
        int row = 0, column = 0;
        // The cell being read.
        bool inCell = false, inValue = false, inInline = false, inText = false;
        int phonetic = 0;
        int cellRow = 0, cellColumn = 0, style = 0;
        std::string type, value, inlineText;
    };
    void readSharedStrings(qint64 index);
    void readStyles(qint64 index);
    void finishCell(int sheet, SheetPart& p);

    std::unique_ptr<Source> source_;
    std::unique_ptr<ZipPackage> zip_;
    std::vector<SheetPart> sheets_;
    std::vector<TextRef> shared_;
    std::vector<Shape> xfShapes_;
};

bool XlsxWorkbook::open(QString* why) {
    Budget& b = budget();
    auto refuse = [&](const QString& text) {
        if (why) *why = b.ok() ? text : b.failure();
        return false;
    };
    std::string workbookPart = "xl/workbook.xml";
    for (const auto& [id, rel] : ReadRelationships(*zip_, "", b))
        if (rel.type.ends_with("/officeDocument")) workbookPart = rel.target;
    const std::optional<qint64> workbookIndex = zip_->find(workbookPart);
    if (!workbookIndex) return refuse(QStringLiteral("不是电子表格"));
    const auto rels = ReadRelationships(*zip_, workbookPart, b);
    std::vector<std::string> sheetParts;
    const bool read = ForEachStart(*zip_, *workbookIndex, b, [&](XmlPull& x) {
        if (x.is("workbookPr")) {
            const std::string v = x.attribute("date1904");
            date1904_ = v == "1" || v == "true";
        }
        if (!x.is("sheet") || sheetParts.size() >= size_t(WorkbookLimits::kMaxZipEntries)) return;
        std::string id;
        x.forEachAttribute([&](std::string_view name, std::string_view value) {
            if (name.size() > 3 && name.substr(name.size() - 3) == ":id") id.assign(value);
        });
        const auto rel = rels.find(id);
        if (rel == rels.end()) {
            sheetParts.push_back(ResolvePartName(
                workbookPart, "worksheets/sheet" + std::to_string(sheetParts.size() + 1) + ".xml"));
            return;
        }
        // Chart sheets are no worksheets: the spreadsheet's Worksheets(n) skips them.
        if (!rel->second.type.empty() && !rel->second.type.ends_with("/worksheet")) return;
        sheetParts.push_back(rel->second.target);
    });
    if (!read) return refuse(Budget::DamagedText());
    std::optional<qint64> sharedIndex, stylesIndex;
    for (const auto& [id, rel] : rels) {
        if (rel.type.ends_with("/sharedStrings")) sharedIndex = zip_->find(rel.target);
        if (rel.type.ends_with("/styles")) stylesIndex = zip_->find(rel.target);
    }
    if (!sharedIndex) sharedIndex = zip_->find(ResolvePartName(workbookPart, "sharedStrings.xml"));
    if (!stylesIndex) stylesIndex = zip_->find(ResolvePartName(workbookPart, "styles.xml"));
    if (stylesIndex) readStyles(*stylesIndex);
    if (sharedIndex && b.ok()) readSharedStrings(*sharedIndex);
    if (!b.ok()) return refuse(b.failure());
    sheets_.resize(sheetParts.size());
    for (size_t i = 0; i < sheetParts.size(); ++i) sheets_[i].entry = zip_->find(sheetParts[i]);
    return true;
}

void XlsxWorkbook::readStyles(qint64 index) {
    std::map<qint64, std::string> codes;
    std::vector<qint64> xfs;
    int inXfs = 0;
    const std::unique_ptr<ZipPackage::Stream> s = zip_->open(index, &budget());
    if (!s) return;
    XmlPull x([&s](char* out, qint64 n) { return s->read(out, n); });
    for (Token t = x.next(); t != Token::Done && t != Token::Failed; t = x.next()) {
        if (t == Token::Start && x.is("numFmt")) {
            qint64 id;
            if (ParseInt(x.attribute("numFmtId"), id)) codes[id] = x.attribute("formatCode");
        } else if (x.is("cellXfs")) {
            inXfs += t == Token::Start ? 1 : t == Token::End ? -1 : 0;
        } else if (t == Token::Start && inXfs > 0 && x.is("xf") && xfs.size() < 1'000'000) {
            qint64 id = 0;
            ParseInt(x.attribute("numFmtId"), id);
            xfs.push_back(id);
        }
    }
    // A damaged styles part costs the dates their look, not the workbook its cells.
    xfShapes_.reserve(xfs.size());
    for (qint64 id : xfs) {
        const auto code = codes.find(id);
        xfShapes_.push_back(code != codes.end() ? ShapeOfFormatCode(code->second)
                                                : ShapeOfBuiltinFormat(int(id)));
    }
}

void XlsxWorkbook::readSharedStrings(qint64 index) {
    Budget& b = budget();
    const std::unique_ptr<ZipPackage::Stream> s = zip_->open(index, &b);
    if (!s) return;
    XmlPull x([&s](char* out, qint64 n) { return s->read(out, n); });
    std::string text;
    bool inItem = false, inText = false;
    int phonetic = 0;
    for (;;) {
        const Token t = x.next();
        if (t == Token::Done) return;
        if (t == Token::Failed) {
            b.damaged();
            return;
        }
        if (t == Token::Text) {
            if (inItem && inText && phonetic == 0 &&
                text.size() < size_t(WorkbookLimits::kMaxCellChars) * 4)
                text.append(x.text());
            continue;
        }
        const bool start = t == Token::Start;
        if (x.is("si")) {
            inItem = start;
            if (start) {
                text.clear();
            } else {
                if (!b.sharedString()) return;
                shared_.push_back(keepUtf8(text));
                if (!b.ok()) return;
            }
        } else if (x.is("t")) {
            inText = start;
        } else if (x.is("rPh")) {
            // Phonetic guides are not part of what the cell shows.
            phonetic += start ? 1 : -1;
        }
    }
}

void XlsxWorkbook::finishCell(int sheet, SheetPart& p) {
    const int column = p.cellColumn;
    if (column > WorkbookLimits::kReadColumns) {
        if (!p.value.empty() || !p.inlineText.empty()) budget().cells();
        return;
    }
    const std::string& t = p.type;
    if (t == "s") {
        qint64 i;
        if (ParseInt(p.value, i) && i < qint64(shared_.size()))
            storeText(sheet, p.cellRow, column, shared_[size_t(i)]);
    } else if (t == "inlineStr") {
        storeText(sheet, p.cellRow, column, keepUtf8(p.inlineText));
    } else if (t == "b") {
        if (!p.value.empty())
            storeText(sheet, p.cellRow, column,
                      keep(p.value == "1" || p.value == "true" ? u"TRUE" : u"FALSE"));
    } else if (t == "d") {
        // An ISO date written as it is (openpyxl's iso_dates): shown by its own precision.
        if (const std::optional<double> serial = IsoDateSerial(p.value)) {
            const bool hasTime = *serial != std::floor(*serial);
            storeNumber(sheet, p.cellRow, column, *serial, hasTime ? Shape::DateTime : Shape::Date);
        } else {
            storeText(sheet, p.cellRow, column, keepUtf8(p.value));
        }
    } else if (t == "str" || t == "e") {
        storeText(sheet, p.cellRow, column, keepUtf8(p.value));
    } else if (!p.value.empty()) {
        // A number: what a formula left, or what was typed, shown by its format.
        char* end = nullptr;
        const double d = std::strtod(p.value.c_str(), &end);
        if (end && *end == '\0' && end != p.value.c_str()) {
            const Shape shape = p.style >= 0 && size_t(p.style) < xfShapes_.size()
                                    ? xfShapes_[size_t(p.style)]
                                    : Shape::General;
            storeNumber(sheet, p.cellRow, column, d, shape);
        } else {
            storeText(sheet, p.cellRow, column, keepUtf8(p.value));
        }
    }
}

void XlsxWorkbook::readThrough(int sheet, int row) {
    SheetPart& p = sheets_[size_t(sheet - 1)];
    Budget& b = budget();
    if (p.ended || p.complete >= row) return;
    if (!p.xml) {
        if (p.entry) p.stream = zip_->open(*p.entry, &b);
        if (!p.stream) {
            // A sheet the workbook names but does not hold reads as empty.
            p.ended = true;
            return;
        }
        p.xml = std::make_unique<XmlPull>(
            [s = p.stream.get()](char* out, qint64 n) { return s->read(out, n); });
    }
    XmlPull& x = *p.xml;
    auto end = [&] {
        p.ended = true;
        p.complete = WorkbookLimits::kMaxRow;
        p.xml.reset();
        p.stream.reset();
    };
    const size_t maxValue = size_t(WorkbookLimits::kMaxCellChars) * 4;
    for (;;) {
        const Token t = x.next();
        if (t == Token::Done) return end();
        if (t == Token::Failed) {
            b.damaged();
            return end();
        }
        if (t == Token::Text) {
            if (p.inValue && p.value.size() < maxValue) p.value.append(x.text());
            if (p.inInline && p.inText && p.phonetic == 0 && p.inlineText.size() < maxValue)
                p.inlineText.append(x.text());
            continue;
        }
        const bool start = t == Token::Start;
        const std::string_view name = x.name();
        if (name == "row" && start) {
            qint64 r;
            p.row = int(std::min<qint64>(ParseInt(x.attribute("r"), r) ? r : qint64(p.row) + 1,
                                         WorkbookLimits::kMaxRow + 1));
            p.column = 0;
            // The rows before this one are whole: a caller waiting for them can go on. A row
            // past the last a sheet has says nothing of the ones before.
            if (p.row <= WorkbookLimits::kMaxRow) p.complete = std::max(p.complete, p.row - 1);
            if (p.complete >= row) return;
        } else if (name == "c") {
            if (start) {
                p.inCell = true;
                p.value.clear();
                p.inlineText.clear();
                p.type.clear();
                p.style = 0;
                p.cellRow = p.row;
                p.cellColumn = p.column + 1;
                // One pass over the attributes: a sheet has millions of cells. Their values
                // are names and numbers, which hold no entities.
                x.forEachAttribute([&](std::string_view attribute, std::string_view value) {
                    if (attribute == "t") {
                        p.type.assign(value);
                    } else if (attribute == "s") {
                        qint64 s = 0;
                        p.style = ParseInt(value, s) && s < (1 << 30) ? int(s) : 0;
                    } else if (attribute == "r" && !value.empty() &&
                               !ParseReference(value, p.cellRow, p.cellColumn)) {
                        p.cellColumn = WorkbookLimits::kMaxColumn + 1;  // read, but nowhere
                    }
                });
                p.column = std::min(p.cellColumn, WorkbookLimits::kMaxColumn + 1);
            } else if (p.inCell) {
                p.inCell = p.inValue = p.inInline = p.inText = false;
                p.phonetic = 0;
                if (p.cellRow >= 1 && p.cellRow <= WorkbookLimits::kMaxRow) finishCell(sheet, p);
                if (!b.ok()) return end();
            }
        } else if (!p.inCell) {
            if (name == "sheetData" && !start) return end();
        } else if (name == "v") {
            p.inValue = start;
        } else if (name == "is") {
            p.inInline = start;
        } else if (name == "t") {
            p.inText = start;
        } else if (name == "rPh") {
            p.phonetic += start ? 1 : -1;
        }
    }
}

}  // namespace

std::unique_ptr<Workbook> OpenXlsx(std::unique_ptr<Source> source, std::unique_ptr<ZipPackage> zip,
                                   QString* why) {
    auto book = std::make_unique<XlsxWorkbook>(std::move(source), std::move(zip));
    if (!book->open(why)) return nullptr;
    return book;
}

}  // namespace tallyra::sheets
