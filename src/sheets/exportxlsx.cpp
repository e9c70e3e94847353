// The statistics export: a copy of the template's package, every part as it was except the
// ones that must say more (the first sheet with the grid's rows, the sheets it continues
// on, the strings, the styles for dates, times and cards, and the lists that name parts).
// The sheets' XML is made here row by row and deflated as it is made.
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QTemporaryFile>
#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <pugixml.hpp>
#include <set>

#include "common/datetime.h"
#include "common/nativefile.h"
#include "core/format/fields.h"
#include "core/format/positionedfile.h"
#include "models/statsgridmodel.h"
#include "sheets/reading.h"
#include "sheets/spreadsheet.h"
#include "sheets/xmltext.h"
#include "sheets/zipwriter.h"

namespace tallyra {

using namespace sheets;
using namespace std::literals;

namespace {

constexpr qint64 kMaxTemplateBytes = 16 << 20;
constexpr const char* kHole = "@@tallyra-hole@@";
constexpr const char* kDimension = "@@tallyra-dimension@@";
constexpr const char* kRelType =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";
constexpr const char* kSheetType =
    "application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml";
constexpr unsigned kParse = pugi::parse_default | pugi::parse_ws_pcdata_single;

std::string_view Local(const char* name) {
    const std::string_view n(name);
    const size_t colon = n.rfind(':');
    return colon == std::string_view::npos ? n : n.substr(colon + 1);
}
std::string PrefixOf(const pugi::xml_node& node) {
    const std::string_view n(node.name());
    const size_t colon = n.rfind(':');
    return colon == std::string_view::npos ? std::string() : std::string(n.substr(0, colon + 1));
}
pugi::xml_node Child(const pugi::xml_node& node, std::string_view local) {
    for (pugi::xml_node c = node.first_child(); c; c = c.next_sibling())
        if (c.type() == pugi::node_element && Local(c.name()) == local) return c;
    return {};
}
pugi::xml_attribute AttributeEndingIn(const pugi::xml_node& node, std::string_view suffix) {
    for (pugi::xml_attribute a = node.first_attribute(); a; a = a.next_attribute()) {
        const std::string_view n(a.name());
        if (n.size() > suffix.size() && n.substr(n.size() - suffix.size()) == suffix) return a;
    }
    return {};
}

std::string Save(const pugi::xml_node& node, bool document) {
    struct Writer : pugi::xml_writer {
        std::string out;
        void write(const void* data, size_t size) override {
            out.append(static_cast<const char*>(data), size);
        }
    } w;
    if (document) w.out = kXmlDeclaration;
    node.print(w, "", pugi::format_raw | pugi::format_no_declaration);
    return w.out;
}

// A document with the content of `hole` left out: what goes before and after it.
std::pair<std::string, std::string> Frame(pugi::xml_document& doc, pugi::xml_node hole) {
    while (hole.first_child()) hole.remove_child(hole.first_child());
    hole.append_child(pugi::node_pcdata).set_value(kHole);
    const std::string all = Save(doc, true);
    const size_t at = all.find(kHole);
    return {all.substr(0, at), all.substr(at + std::strlen(kHole))};
}

bool ParseReference(std::string_view ref, int& row, int& column) {
    size_t i = 0;
    column = 0;
    while (i < ref.size() && ref[i] >= 'A' && ref[i] <= 'Z' && column <= 16384)
        column = column * 26 + (ref[i++] - 'A' + 1);
    row = 0;
    while (i < ref.size() && ref[i] >= '0' && ref[i] <= '9' && row <= (1 << 20))
        row = row * 10 + (ref[i++] - '0');
    return column > 0 && row > 0 && i == ref.size();
}

void AppendInt(std::string& out, qint64 v) {
    char buf[24];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, size_t(r.ptr - buf));
}

// ---- the template --------------------------------------------------------------------

struct Entry {
    std::string name;
    bool packed = false;  // copied as it is packed, or deflated from `bytes`
    quint16 method = 8;
    quint32 crc = 0;
    quint64 size = 0;
    std::string bytes;
};

struct TemplateRow {
    int row = 0;
    std::vector<std::pair<std::string, std::string>> attributes;  // but r and spans
    std::map<int, std::pair<int, std::string>> cells;             // column: style, XML
};

// A part name as a key: names that differ only in case are the same part.
std::string Folded(const std::string& name) {
    return QString::fromStdString(name).toLower().toStdString();
}

struct Package {
    std::vector<Entry> entries;
    std::string workbookPart, sheetPart, stylesPart, sharedPart;
    pugi::xml_document types, workbook, rels, styles, shared;
    std::string sheetXml;
    bool hasStyles = false, hasShared = false;

    Entry* entry(const std::string& name) {
        for (Entry& e : entries)
            if (QString::fromStdString(e.name).compare(QString::fromStdString(name),
                                                       Qt::CaseInsensitive) == 0)
                return &e;
        return nullptr;
    }
    bool parse(pugi::xml_document& doc, const std::string& name) {
        const Entry* e = entry(name);
        return e && doc.load_buffer(e->bytes.data(), e->bytes.size(), kParse);
    }
};

// The template as a package to copy: every entry, packed as it was, and the parts the
// export changes unpacked and parsed.
bool LoadTemplate(const QString& path, Package& p) {
    PositionedFile file;
    if (!file.open(path, PositionedFile::Mode::ReadOnly)) return false;
    const qint64 size = file.size();
    if (size <= 0 || size > kMaxTemplateBytes) return false;
    const std::unique_ptr<Source> source = MemorySource(file.read(1, size));
    const std::unique_ptr<ZipPackage> zip = ZipPackage::Open(*source, nullptr);
    if (!zip) return false;
    qint64 unpacked = 0;
    for (qint64 i = 0; i < zip->count(); ++i) {
        const std::optional<ZipPackage::Stat> st = zip->stat(i);
        if (!st || st->encrypted) return false;
        unpacked += qint64(st->size);
        if (unpacked > kMaxTemplateBytes) return false;
        Entry e;
        e.name = zip->name(i);
        const std::unique_ptr<ZipPackage::Stream> raw = zip->open(i, nullptr, true);
        if (e.name.empty() || !raw) return false;
        e.bytes.resize(size_t(st->compressedSize));
        qint64 got = 0;
        while (got < qint64(e.bytes.size())) {
            const qint64 n = raw->read(e.bytes.data() + got, qint64(e.bytes.size()) - got);
            if (n <= 0) return false;
            got += n;
        }
        e.packed = true;
        e.method = st->method;
        e.crc = st->crc;
        e.size = st->size;
        p.entries.push_back(std::move(e));
    }
    // The parts the export changes are unpacked.
    auto unpack = [&](const std::string& name) {
        Entry* e = p.entry(name);
        if (!e) return false;
        const std::optional<qint64> i = zip->find(e->name);
        const std::optional<QByteArray> bytes =
            i ? zip->readAll(*i, kMaxTemplateBytes) : std::nullopt;
        if (!bytes) return false;
        e->bytes.assign(bytes->constData(), size_t(bytes->size()));
        e->packed = false;
        return true;
    };
    pugi::xml_document rootRels;
    p.workbookPart = "xl/workbook.xml";
    if (unpack("_rels/.rels") && p.parse(rootRels, "_rels/.rels"))
        for (pugi::xml_node r : Child(rootRels, "Relationships").children())
            if (std::string_view(r.attribute("Type").value()).ends_with("/officeDocument"))
                p.workbookPart = ResolvePartName("", r.attribute("Target").value());
    const std::string relsPart = RelsPartOf(p.workbookPart);
    if (!unpack("[Content_Types].xml") || !unpack(p.workbookPart) || !unpack(relsPart) ||
        !p.parse(p.types, "[Content_Types].xml") || !p.parse(p.workbook, p.workbookPart) ||
        !p.parse(p.rels, relsPart))
        return false;
    const pugi::xml_node sheets = Child(Child(p.workbook, "workbook"), "sheets");
    const pugi::xml_node first = Child(sheets, "sheet");
    const pugi::xml_attribute id = AttributeEndingIn(first, ":id");
    if (!first || !id) return false;
    for (pugi::xml_node r : Child(p.rels, "Relationships").children()) {
        const std::string_view type = r.attribute("Type").value();
        const std::string target = ResolvePartName(p.workbookPart, r.attribute("Target").value());
        if (std::string_view(r.attribute("Id").value()) == id.value()) p.sheetPart = target;
        if (type.ends_with("/styles")) p.stylesPart = target;
        if (type.ends_with("/sharedStrings")) p.sharedPart = target;
    }
    if (p.sheetPart.empty() || !unpack(p.sheetPart)) return false;
    p.sheetXml = p.entry(p.sheetPart)->bytes;
    p.hasStyles = !p.stylesPart.empty() && unpack(p.stylesPart) && p.parse(p.styles, p.stylesPart);
    p.hasShared = !p.sharedPart.empty() && unpack(p.sharedPart) && p.parse(p.shared, p.sharedPart);
    return true;
}

// What the export writes when the template cannot be had: the same cells, plainly.
void BuiltInTemplate(Package& p) {
    p = Package();
    const std::string main = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
    const std::pair<const char*, std::string> parts[] = {
        {"[Content_Types].xml",
         "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
         "<Default Extension=\"rels\" "
         "ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
         "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
         "<Override PartName=\"/xl/workbook.xml\" "
         "ContentType=\"application/"
         "vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml\"/>"
         "<Override PartName=\"/xl/worksheets/sheet1.xml\" ContentType=\"" +
             std::string(kSheetType) +
             "\"/><Override PartName=\"/xl/styles.xml\" "
             "ContentType=\"application/"
             "vnd.openxmlformats-officedocument.spreadsheetml.styles+xml\"/>"
             "</Types>"},
        {"_rels/.rels",
         "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
         "<Relationship Id=\"rId1\" Type=\"" +
             std::string(kRelType) +
             "officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>"},
        {"xl/workbook.xml", "<workbook xmlns=\"" + main + "\" xmlns:r=\"" + kOfficeRelationshipsNs +
                                "\"><sheets><sheet name=\"Sheet1\" sheetId=\"1\" "
                                "r:id=\"rId1\"/></sheets></workbook>"},
        {"xl/_rels/workbook.xml.rels",
         "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
         "<Relationship Id=\"rId1\" Type=\"" +
             std::string(kRelType) +
             "worksheet\" Target=\"worksheets/sheet1.xml\"/><Relationship Id=\"rId2\" Type=\"" +
             kRelType + "styles\" Target=\"styles.xml\"/></Relationships>"},
        {"xl/worksheets/sheet1.xml",
         "<worksheet xmlns=\"" + main + "\"><dimension ref=\"A1\"/><sheetData/></worksheet>"},
        {"xl/styles.xml",
         "<styleSheet xmlns=\"" + main +
             "\"><fonts count=\"1\"><font><sz val=\"11\"/><name val=\"Calibri\"/></font></fonts>"
             "<fills count=\"2\"><fill><patternFill patternType=\"none\"/></fill><fill>"
             "<patternFill patternType=\"gray125\"/></fill></fills><borders count=\"1\"><border>"
             "<left/><right/><top/><bottom/><diagonal/></border></borders><cellStyleXfs "
             "count=\"1\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\"/>"
             "</cellStyleXfs><cellXfs count=\"1\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" "
             "borderId=\"0\" xfId=\"0\"/></cellXfs><cellStyles count=\"1\"><cellStyle "
             "name=\"Normal\" xfId=\"0\" builtinId=\"0\"/></cellStyles></styleSheet>"},
    };
    for (const auto& [name, xml] : parts) p.entries.push_back({name, false, 8, 0, 0, xml});
    p.workbookPart = "xl/workbook.xml";
    p.sheetPart = "xl/worksheets/sheet1.xml";
    p.stylesPart = "xl/styles.xml";
    p.sheetXml = p.entry(p.sheetPart)->bytes;
    p.parse(p.types, "[Content_Types].xml");
    p.parse(p.workbook, p.workbookPart);
    p.parse(p.rels, "xl/_rels/workbook.xml.rels");
    p.hasStyles = p.parse(p.styles, p.stylesPart);
}

// ---- styles and strings -----------------------------------------------------------------

class Styles {
public:
    explicit Styles(Package& p) : p_(p) {
        if (!p.hasStyles) {
            Package plain;
            BuiltInTemplate(plain);
            p.styles.reset(plain.styles);
            p.hasStyles = true;
        }
        pugi::xml_node sheet = Child(p.styles, "styleSheet");
        const std::string prefix = PrefixOf(sheet);
        numFmts_ = Child(sheet, "numFmts");
        if (!numFmts_) numFmts_ = sheet.prepend_child((prefix + "numFmts").c_str());
        xfs_ = Child(sheet, "cellXfs");
        if (!xfs_) {
            xfs_ = sheet.append_child((prefix + "cellXfs").c_str());
            xfs_.append_child((prefix + "xf").c_str()).append_attribute("numFmtId") = 0;
        }
        int next = 163;
        for (pugi::xml_node f : numFmts_.children())
            next = std::max(next, f.attribute("numFmtId").as_int());
        for (pugi::xml_node x : xfs_.children())
            if (x.type() == pugi::node_element) xfList_.push_back(x);
        if (xfList_.empty()) {
            xfList_.push_back(xfs_.append_child((prefix + "xf").c_str()));
            xfList_.back().append_attribute("numFmtId") = 0;
        }
        date_ = addFormat(++next, "yyyy-mm-dd");
        time_ = addFormat(++next, "hh:mm");
    }
    int dateFormat() const { return date_; }
    int timeFormat() const { return time_; }
    static constexpr int kWholeNumber = 1;  // built-in "0": a 12-digit card is no 3.00E+11

    // The cell style `base` with the number format `format`.
    int style(int base, int format) {
        const auto key = std::make_pair(base, format);
        if (const auto it = memo_.find(key); it != memo_.end()) return it->second;
        const pugi::xml_node from =
            base >= 0 && size_t(base) < xfList_.size() ? xfList_[size_t(base)] : xfList_.front();
        pugi::xml_node x = xfs_.append_copy(from);
        x.remove_attribute("numFmtId");
        x.prepend_attribute("numFmtId") = format;
        if (!x.attribute("applyNumberFormat")) x.append_attribute("applyNumberFormat");
        x.attribute("applyNumberFormat") = 1;
        const int index = int(xfList_.size());
        xfList_.push_back(x);
        memo_[key] = index;
        return index;
    }
    std::string xml() {
        numFmts_.remove_attribute("count");
        numFmts_.prepend_attribute("count") =
            qulonglong(std::distance(numFmts_.begin(), numFmts_.end()));
        xfs_.remove_attribute("count");
        xfs_.prepend_attribute("count") = qulonglong(xfList_.size());
        return Save(p_.styles, true);
    }

private:
    int addFormat(int id, const char* code) {
        pugi::xml_node f = numFmts_.append_child((PrefixOf(numFmts_) + "numFmt").c_str());
        f.append_attribute("numFmtId") = id;
        f.append_attribute("formatCode") = code;
        return id;
    }
    Package& p_;
    pugi::xml_node numFmts_, xfs_;
    std::vector<pugi::xml_node> xfList_;
    std::map<std::pair<int, int>, int> memo_;
    int date_ = 0, time_ = 0;
};

// The shared strings: the template's own first, so its cells keep their indices.
class Strings {
public:
    explicit Strings(Package& p) {
        if (!p.hasShared) return;
        pugi::xml_node sst = Child(p.shared, "sst");
        for (pugi::xml_node si = sst.first_child(); si; si = si.next_sibling())
            if (si.type() == pugi::node_element && Local(si.name()) == "si") {
                kept_ += Save(si, false);
                ++count_;
            }
        prefix_ = PrefixOf(sst);
        sst.remove_attribute("count");
        sst.remove_attribute("uniqueCount");
        frame_ = Frame(p.shared, sst);
    }
    int of(const QString& text) {
        const auto it = index_.constFind(text);
        if (it != index_.constEnd()) return *it;
        added_ += "<" + prefix_ + "si><" + prefix_ + "t";
        if (!text.isEmpty() && (text.front().isSpace() || text.back().isSpace()))
            added_ += " xml:space=\"preserve\"";
        added_ += ">";
        AppendEscaped(added_, text);
        added_ += "</" + prefix_ + "t></" + prefix_ + "si>";
        index_.insert(text, count_);
        return count_++;
    }
    std::string xml() const {
        if (frame_.first.empty()) {
            return std::string(kXmlDeclaration) +
                   "<sst xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
                   "uniqueCount=\"" +
                   std::to_string(count_) + "\">" + added_ + "</sst>";
        }
        std::string head = frame_.first;
        const size_t close = head.rfind('>');
        head.insert(close, " uniqueCount=\"" + std::to_string(count_) + "\"");
        return head + kept_ + added_ + frame_.second;
    }

private:
    std::string prefix_, kept_, added_;
    std::pair<std::string, std::string> frame_;
    QHash<QString, int> index_;
    int count_ = 0;
};

// ---- the sheets -------------------------------------------------------------------------

// A grid cell as the sheet holds it.
struct Out {
    enum Kind : quint8 { None, Text, Date, Time, Card, Number } kind = None;
    qint64 value = 0;  // string index, serial day, minute of the day, the number
};

// The largest card a whole-number cell holds as the grid shows it: 15 digits.
constexpr qint64 kLargestWhole = 999'999'999'999'999;

class SheetWriter {
public:
    SheetWriter(const StatsListing& listing, Package& p, Styles& styles, Strings& strings)
        : listing_(listing), styles_(styles), strings_(strings) {
        // The template's first sheet: its rows kept aside, the rest as the frame of every
        // sheet the export writes.
        for (int pass = 0; pass < 2; ++pass) {
            pugi::xml_document doc;
            if (!doc.load_buffer(p.sheetXml.data(), p.sheetXml.size(), kParse)) return;
            pugi::xml_node root = doc.document_element();
            const pugi::xml_node data = Child(root, "sheetData");
            if (!data) return;
            prefix_ = PrefixOf(data);
            cellOpen_ = "<" + prefix_ + "c";
            valueOpen_ = "><" + prefix_ + "v>";
            valueClose_ = "</" + prefix_ + "v></" + prefix_ + "c>";
            rowOpen_ = "<" + prefix_ + "row r=\"";
            rowClose_ = "</" + prefix_ + "row>";
            if (pass == 0) keepRows(data);
            if (pass == 1) {
                // Sheets after the first: not selected, and without the parts only the
                // first sheet's relationships lead to.
                if (pugi::xml_node views = Child(root, "sheetViews"))
                    for (pugi::xml_node v : views.children()) v.remove_attribute("tabSelected");
                for (const char* name : {"drawing", "legacyDrawing", "legacyDrawingHF", "picture",
                                         "oleObjects", "controls", "tableParts", "hyperlinks"})
                    while (pugi::xml_node n = Child(root, name)) root.remove_child(n);
                for (pugi::xml_node n : root.children())
                    while (pugi::xml_attribute a = AttributeEndingIn(n, ":id"))
                        n.remove_attribute(a);
            }
            if (pugi::xml_node dim = Child(root, "dimension")) {
                dim.remove_attribute("ref");
                dim.append_attribute("ref") = kDimension;
            }
            frames_[size_t(pass)] = Frame(doc, data);
        }
        ok_ = true;
        for (int m = 0; m < 1440; ++m) {
            char buf[32];
            const auto r = std::to_chars(buf, buf + sizeof buf, double(m) / 1440.0);
            times_[size_t(m)].assign(buf, size_t(r.ptr - buf));
        }
        date_ = styles_.style(0, styles_.dateFormat());
        time_ = styles_.style(0, styles_.timeFormat());
        card_ = styles_.style(0, Styles::kWholeNumber);
    }
    bool ok() const { return ok_; }

    // Sheet `sheet` (0 = the first) with grid rows [first, first + count) from sheet row
    // `firstRow`, after the header row on the sheets after the first.
    bool write(ZipWriter& zip, const std::string& part, int sheet, int first, int count,
               const std::function<bool(int)>& progress) {
        const bool continued = sheet > 0;
        const int firstRow = continued ? 3 : 2;
        const int lastDataRow = firstRow + count - 1;
        const int maxRow = std::max(lastDataRow, templateMaxRow_);
        std::string head = frames_[continued ? 1 : 0].first;
        if (const size_t d = head.find(kDimension); d != std::string::npos)
            head.replace(d, std::strlen(kDimension),
                         "A1:" + ColumnLetters(std::max(6, templateMaxColumn_)) +
                             std::to_string(std::max(maxRow, 1)));
        if (!zip.begin(part) || !zip.write(head)) return false;
        out_.clear();
        auto t = rows_.begin();
        auto flushTemplateRowsBefore = [&](int row) {
            for (; t != rows_.end() && t->first < row; ++t) templateRow(t->second, nullptr);
        };
        std::array<Out, 6> cells;
        if (continued) {
            flushTemplateRowsBefore(2);
            cellsOf(0, cells);
            emitRow(2, cells, t);
        }
        for (int k = 0; k < count; ++k) {
            const int row = firstRow + k;
            flushTemplateRowsBefore(row);
            cellsOf(first + k, cells);
            emitRow(row, cells, t);
            if (out_.size() >= (256u << 10)) {
                if (!zip.write(out_)) return false;
                out_.clear();
            }
            if ((k & 0x3FFF) == 0 && !progress(first + k)) return false;
        }
        flushTemplateRowsBefore(WorkbookLimits::kMaxRow + 1);
        out_ += frames_[continued ? 1 : 0].second;
        return zip.write(out_) && zip.end();
    }

private:
    void keepRows(const pugi::xml_node& data) {
        int row = 0;
        for (pugi::xml_node r = data.first_child(); r; r = r.next_sibling()) {
            if (r.type() != pugi::node_element || Local(r.name()) != "row") continue;
            row = r.attribute("r") ? r.attribute("r").as_int() : row + 1;
            if (row < 1 || row > WorkbookLimits::kMaxRow) continue;
            TemplateRow& kept = rows_[row];
            kept.row = row;
            for (pugi::xml_attribute a = r.first_attribute(); a; a = a.next_attribute())
                if (std::string_view(a.name()) != "r" && std::string_view(a.name()) != "spans")
                    kept.attributes.push_back({a.name(), a.value()});
            int column = 0;
            for (pugi::xml_node c = r.first_child(); c; c = c.next_sibling()) {
                if (c.type() != pugi::node_element || Local(c.name()) != "c") continue;
                int cellRow = row, cellColumn = column + 1;
                if (c.attribute("r")) ParseReference(c.attribute("r").value(), cellRow, cellColumn);
                column = cellColumn;
                c.remove_attribute("r");
                c.prepend_attribute("r") =
                    (ColumnLetters(cellColumn) + std::to_string(row)).c_str();
                kept.cells[cellColumn] = {c.attribute("s").as_int(), Save(c, false)};
                templateMaxColumn_ = std::max(templateMaxColumn_, cellColumn);
            }
            templateMaxRow_ = std::max(templateMaxRow_, row);
        }
    }

    // Grid row 0 is the header; the rows after it the events in the grid's order. Each cell
    // typed from the event itself: what the grid would show as a date, a time or a whole
    // number is one in the sheet; anything else goes out as the grid's text.
    void cellsOf(int gridRow, std::array<Out, 6>& cells) {
        cells.fill(Out{});
        const auto text = [&](Out& o, const QString& t) {
            if (!t.isEmpty()) o = {Out::Text, strings_.of(t)};
        };
        if (gridRow == 0) {
            for (int c = 0; c < 6; ++c) text(cells[size_t(c)], StatsColumnTitle(c));
            return;
        }
        const StatsRow* r = listing_.at(size_t(gridRow - 1));
        if (!r || r->index == 0) return;
        const Roster* roster = listing_.roster;
        const PersonRecord* p =
            roster && Roster::validIndex(r->index) ? &roster->at(r->index) : nullptr;
        if (p) text(cells[0], p->name);
        const std::optional<QDate> day = OleToDate(r->day);
        if (day && day->year() >= 1000 && day->year() <= 9999)
            cells[1] = {Out::Date, r->day};
        else
            text(cells[1], StatsCellText(*r, 1, roster));
        if (r->minute >= 0 && r->minute < 24 * 60)
            cells[2] = {Out::Time, r->minute};
        else
            text(cells[2], StatsCellText(*r, 2, roster));
        if (p) {
            const qint64 card = p->cardNumber / kFixedPointScale;
            if (card >= 0 && card <= kLargestWhole)
                cells[3] = {Out::Card, card};
            else
                text(cells[3], CardText(p->cardNumber));
        }
        if (r->why != 0)
            text(cells[4], StatsWhyText(*r, listing_.labels));
        else if (r->late >= 0)
            cells[4] = {Out::Number, r->late};
        else
            text(cells[4], QString::number(r->late));
        text(cells[5], StatsCellText(*r, 5, roster));
    }

    void cell(const Out& o, int row, int column, bool reference, int base) {
        out_ += cellOpen_;
        if (reference) {
            out_ += " r=\""sv;
            out_ += ColumnLetters(column);
            AppendInt(out_, row);
            out_ += '"';
        }
        int style = base;
        switch (o.kind) {
            case Out::Date:
                style = base ? styles_.style(base, styles_.dateFormat()) : date_;
                break;
            case Out::Time:
                style = base ? styles_.style(base, styles_.timeFormat()) : time_;
                break;
            case Out::Card:
                style = base ? styles_.style(base, Styles::kWholeNumber) : card_;
                break;
            default:
                break;
        }
        if (style) {
            out_ += " s=\""sv;
            AppendInt(out_, style);
            out_ += '"';
        }
        if (o.kind == Out::None) {
            out_ += "/>"sv;  // a template cell's look, without its value
            return;
        }
        if (o.kind == Out::Text) out_ += " t=\"s\""sv;
        out_ += valueOpen_;
        if (o.kind == Out::Time)
            out_ += times_[size_t(o.value)];
        else
            AppendInt(out_, o.value);
        out_ += valueClose_;
    }

    void emitRow(int row, const std::array<Out, 6>& cells,
                 std::map<int, TemplateRow>::iterator& t) {
        if (t != rows_.end() && t->first == row) {
            templateRow(t->second, &cells);
            ++t;
            return;
        }
        bool any = false;
        for (const Out& o : cells) any = any || o.kind != Out::None;
        if (!any) return;
        out_ += rowOpen_;
        AppendInt(out_, row);
        out_ += "\">"sv;
        int expected = 1;
        for (int c = 0; c < 6; ++c) {
            if (cells[size_t(c)].kind == Out::None) continue;
            cell(cells[size_t(c)], row, c + 1, expected != c + 1, 0);
            expected = c + 2;
        }
        out_ += rowClose_;
    }

    // A template row, with the grid's cells written over columns A-F when it has them.
    void templateRow(const TemplateRow& t, const std::array<Out, 6>* cells) {
        out_ += rowOpen_;
        AppendInt(out_, t.row);
        out_ += '"';
        for (const auto& [name, value] : t.attributes) {
            out_ += ' ';
            out_ += name;
            out_ += "=\""sv;
            AppendEscaped(out_, QString::fromStdString(value));
            out_ += '"';
        }
        out_ += '>';
        auto cellAt = t.cells.begin();
        for (int c = 1; c <= 6 && cells; ++c) {
            for (; cellAt != t.cells.end() && cellAt->first < c; ++cellAt)
                out_ += cellAt->second.second;
            const bool kept = cellAt != t.cells.end() && cellAt->first == c;
            const Out& o = (*cells)[size_t(c - 1)];
            if (o.kind != Out::None || (kept && cellAt->second.first))
                cell(o, t.row, c, true, kept ? cellAt->second.first : 0);
            if (kept) ++cellAt;
        }
        for (; cellAt != t.cells.end(); ++cellAt) out_ += cellAt->second.second;
        out_ += rowClose_;
    }

    const StatsListing& listing_;
    Styles& styles_;
    Strings& strings_;
    bool ok_ = false;
    std::string prefix_, cellOpen_, valueOpen_, valueClose_, rowOpen_, rowClose_;
    std::array<std::pair<std::string, std::string>, 2> frames_;
    std::map<int, TemplateRow> rows_;
    int templateMaxRow_ = 0, templateMaxColumn_ = 0;
    std::array<std::string, 1440> times_;
    int date_ = 0, time_ = 0, card_ = 0;
    std::string out_;
};

// ---- the package's lists of parts -------------------------------------------------------

std::string RelativeTo(const std::string& fromPart, const std::string& part) {
    const size_t slash = fromPart.rfind('/');
    const std::string dir =
        slash == std::string::npos ? std::string() : fromPart.substr(0, slash + 1);
    return part.compare(0, dir.size(), dir) == 0 ? part.substr(dir.size()) : "/" + part;
}

// Names the sheets after the first in the workbook, its relationships and the content
// types; the shared strings and styles too, where the template had none.
void NameParts(Package& p, const std::vector<std::string>& added, bool addShared, bool addStyles) {
    pugi::xml_node workbook = Child(p.workbook, "workbook");
    pugi::xml_node sheets = Child(workbook, "sheets");
    pugi::xml_node rels = Child(p.rels, "Relationships");
    pugi::xml_node types = Child(p.types, "Types");
    std::string r;
    for (pugi::xml_attribute a = workbook.first_attribute(); a; a = a.next_attribute()) {
        const std::string_view n(a.name());
        if (n.starts_with("xmlns:") && std::string_view(a.value()) == kOfficeRelationshipsNs)
            r = std::string(n.substr(6)) + ":";
    }
    if (r.empty()) {
        r = "tallyrar:";
        workbook.append_attribute("xmlns:tallyrar") = kOfficeRelationshipsNs;
    }
    std::set<std::string> ids;
    for (pugi::xml_node rel : rels.children()) ids.insert(rel.attribute("Id").value());
    int nextId = 1;
    auto newId = [&] {
        std::string id;
        do id = "rIdTallyra" + std::to_string(nextId++);
        while (ids.count(id));
        ids.insert(id);
        return id;
    };
    auto relate = [&](const std::string& type, const std::string& part) {
        pugi::xml_node rel =
            rels.append_child((PrefixOf(rels.first_child()) + "Relationship").c_str());
        const std::string id = newId();
        rel.append_attribute("Id") = id.c_str();
        rel.append_attribute("Type") = (std::string(kRelType) + type).c_str();
        rel.append_attribute("Target") = RelativeTo(p.workbookPart, part).c_str();
        return id;
    };
    auto declare = [&](const std::string& part, const char* type) {
        pugi::xml_node o = types.append_child((PrefixOf(types) + "Override").c_str());
        o.append_attribute("PartName") = ("/" + part).c_str();
        o.append_attribute("ContentType") = type;
    };
    // Sheet names are unique without regard to case, at most 31 characters.
    std::vector<QString> names;
    int sheetId = 0;
    for (pugi::xml_node s : sheets.children()) {
        names.push_back(QString::fromUtf8(s.attribute("name").value()));
        sheetId = std::max(sheetId, s.attribute("sheetId").as_int());
    }
    const QString base = names.empty() ? QStringLiteral("Sheet1") : names.front();
    int number = 2;
    for (const std::string& part : added) {
        QString name;
        for (;; ++number) {
            const QString tail = QStringLiteral(" (%1)").arg(number);
            name = base.left(31 - tail.size()) + tail;
            if (std::none_of(names.begin(), names.end(), [&](const QString& n) {
                    return n.compare(name, Qt::CaseInsensitive) == 0;
                }))
                break;
        }
        names.push_back(name);
        pugi::xml_node s = sheets.append_child((PrefixOf(sheets) + "sheet").c_str());
        s.append_attribute("name") = name.toUtf8().constData();
        s.append_attribute("sheetId") = ++sheetId;
        s.append_attribute((r + "id").c_str()) = relate("worksheet", part).c_str();
        declare(part, kSheetType);
    }
    if (addShared) {
        relate("sharedStrings", p.sharedPart);
        declare(p.sharedPart,
                "application/vnd.openxmlformats-officedocument.spreadsheetml.sharedStrings+xml");
    }
    if (addStyles) {
        relate("styles", p.stylesPart);
        declare(p.stylesPart,
                "application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml");
    }
}

}  // namespace

ExportResult ExportStatistics(const StatsListing& listing, const QString& templatePath,
                              const QString& typedPath, const Progress& progress, int lastRow) {
    ExportResult result;
    result.path = ExportFileName(typedPath);
    const QString path = result.path;
    lastRow = std::clamp(lastRow, 3, WorkbookLimits::kMaxRow);
    Package p;
    if (!LoadTemplate(templatePath, p)) BuiltInTemplate(p);
    const bool addShared = !p.hasShared;
    if (addShared) p.sharedPart = ResolvePartName(p.workbookPart, "sharedStrings.xml");
    const bool addStyles = !p.hasStyles;
    if (addStyles && p.stylesPart.empty())
        p.stylesPart = ResolvePartName(p.workbookPart, "styles.xml");
    Styles styles(p);
    Strings strings(p);
    SheetWriter sheets(listing, p, styles, strings);
    // A template whose first sheet cannot be read is no template.
    if (!sheets.ok()) return ExportStatistics(listing, QString(), typedPath, progress, lastRow);

    // Grid rows 0 .. (the header, then the events) on the first sheet from row 2, then on
    // further sheets from row 3.
    const int rows = 1 + int(listing.size());
    const int firstCapacity = lastRow - 1, capacity = lastRow - 2;
    const int sheetCount =
        rows <= firstCapacity ? 1 : 1 + (rows - firstCapacity + capacity - 1) / capacity;
    std::vector<std::string> added;
    std::set<std::string> taken;
    for (const Entry& e : p.entries) taken.insert(Folded(e.name));
    for (int n = 2; int(added.size()) < sheetCount - 1; ++n) {
        const std::string part =
            ResolvePartName(p.workbookPart, "worksheets/sheet" + std::to_string(n) + ".xml");
        if (taken.insert(Folded(part)).second) added.push_back(part);
    }
    NameParts(p, added, addShared, addStyles);

    // Written beside the target and renamed over it: an export that is cut short leaves the
    // earlier workbook as it was.
    const QFileInfo target(path);
    if (target.exists() && !target.isFile()) return result;
    auto staging = std::make_unique<QTemporaryFile>(target.absolutePath() +
                                                    QStringLiteral("/.tallyra-export-XXXXXX"));
    if (!staging->open()) return result;
    const int fd = staging->handle();
    ZipWriter zip(fd);
    bool stopped = false;
    auto told = [&](int gridRow) {
        if (progress && !progress(gridRow, rows)) stopped = true;
        return !stopped;
    };
    const std::set<std::string> rewritten = {
        "[content_types].xml", Folded(p.workbookPart), Folded(RelsPartOf(p.workbookPart)),
        Folded(p.sheetPart),   Folded(p.stylesPart),   Folded(p.sharedPart)};
    bool ok = zip.add("[Content_Types].xml", Save(p.types, true)) &&
              zip.add(p.workbookPart, Save(p.workbook, true)) &&
              zip.add(RelsPartOf(p.workbookPart), Save(p.rels, true));
    for (const Entry& e : p.entries) {
        if (!ok) break;
        if (rewritten.count(Folded(e.name))) continue;
        ok = e.packed ? zip.copy(e.name, e.method, e.crc, e.size, e.bytes)
                      : zip.add(e.name, e.bytes);
    }
    const int first = std::min(rows, firstCapacity);
    ok = ok && sheets.write(zip, p.sheetPart, 0, 0, first, told);
    for (int k = 1; ok && k < sheetCount; ++k) {
        const int from = firstCapacity + (k - 1) * capacity;
        ok =
            sheets.write(zip, added[size_t(k - 1)], k, from, std::min(capacity, rows - from), told);
    }
    ok = ok && zip.add(p.sharedPart, strings.xml()) && zip.add(p.stylesPart, styles.xml()) &&
         zip.finish();
    if (stopped) {
        result.cancelled = true;
        return result;  // the staging file goes with `staging`
    }
    if (!ok || !SyncDescriptor(fd)) return result;
    TakePermissionsOf(fd, path);
    // Closed first: Windows renames no open file, and a QTemporaryFile's close() keeps it
    // open; only its end closes it.
    const QString staged = staging->fileName();
    staging->setAutoRemove(false);
    staging.reset();
    if (!ReplaceFileOver(staged, path)) {
        QFile::remove(staged);
        return result;
    }
    result.written = true;
    result.sheets = sheetCount;
    return result;
}

}  // namespace tallyra
