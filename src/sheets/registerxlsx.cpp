// The monthly register as a workbook of its own making: no template, a sheet per part, the
// parts' XML made here and deflated by the zip writer as it is made.
#include "sheets/registerxlsx.h"

#include <QFileInfo>
#include <QSaveFile>
#include <QSet>
#include <charconv>
#include <string>

#include "common/datetime.h"
#include "sheets/xmltext.h"
#include "sheets/zipwriter.h"

namespace tallyra {

using namespace sheets;

namespace {

constexpr const char* kMain = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
constexpr const char* kPackageRelationships =
    "http://schemas.openxmlformats.org/package/2006/relationships";

// The cell styles, as cellXfs lists them below.
enum Style { kPlain, kTitle, kHead, kHeadShaded, kMark, kMarkShaded, kPercent, kName };

const char* const kStyles =
    "<styleSheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
    "<numFmts count=\"1\"><numFmt numFmtId=\"164\" formatCode=\"0.0%\"/></numFmts>"
    "<fonts count=\"3\"><font><sz val=\"10\"/><name val=\"宋体\"/><charset val=\"134\"/></font>"
    "<font><b/><sz val=\"14\"/><name val=\"宋体\"/><charset val=\"134\"/></font>"
    "<font><b/><sz val=\"10\"/><name val=\"宋体\"/><charset val=\"134\"/></font></fonts>"
    "<fills count=\"4\"><fill><patternFill patternType=\"none\"/></fill>"
    "<fill><patternFill patternType=\"gray125\"/></fill>"
    "<fill><patternFill patternType=\"solid\"><fgColor rgb=\"FFF2F2F2\"/></patternFill></fill>"
    "<fill><patternFill patternType=\"solid\"><fgColor rgb=\"FFDCDCDC\"/></patternFill></fill>"
    "</fills>"
    "<borders count=\"2\"><border><left/><right/><top/><bottom/><diagonal/></border>"
    "<border><left style=\"thin\"/><right style=\"thin\"/><top style=\"thin\"/>"
    "<bottom style=\"thin\"/><diagonal/></border></borders>"
    "<cellStyleXfs count=\"1\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\"/>"
    "</cellStyleXfs><cellXfs count=\"8\">"
    "<xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\"0\"/>"
    "<xf numFmtId=\"0\" fontId=\"1\" fillId=\"0\" borderId=\"0\" xfId=\"0\" applyFont=\"1\" "
    "applyAlignment=\"1\"><alignment horizontal=\"center\" vertical=\"center\"/></xf>"
    "<xf numFmtId=\"0\" fontId=\"2\" fillId=\"2\" borderId=\"1\" xfId=\"0\" applyFont=\"1\" "
    "applyFill=\"1\" applyBorder=\"1\" applyAlignment=\"1\"><alignment horizontal=\"center\" "
    "vertical=\"center\" wrapText=\"1\"/></xf>"
    "<xf numFmtId=\"0\" fontId=\"2\" fillId=\"3\" borderId=\"1\" xfId=\"0\" applyFont=\"1\" "
    "applyFill=\"1\" applyBorder=\"1\" applyAlignment=\"1\"><alignment horizontal=\"center\" "
    "vertical=\"center\"/></xf>"
    "<xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"1\" xfId=\"0\" applyBorder=\"1\" "
    "applyAlignment=\"1\"><alignment horizontal=\"center\" vertical=\"center\"/></xf>"
    "<xf numFmtId=\"0\" fontId=\"0\" fillId=\"3\" borderId=\"1\" xfId=\"0\" applyFill=\"1\" "
    "applyBorder=\"1\" applyAlignment=\"1\"><alignment horizontal=\"center\" "
    "vertical=\"center\"/></xf>"
    "<xf numFmtId=\"164\" fontId=\"0\" fillId=\"0\" borderId=\"1\" xfId=\"0\" "
    "applyNumberFormat=\"1\" applyBorder=\"1\" applyAlignment=\"1\"><alignment "
    "horizontal=\"center\" vertical=\"center\"/></xf>"
    "<xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"1\" xfId=\"0\" applyBorder=\"1\" "
    "applyAlignment=\"1\"><alignment vertical=\"center\"/></xf>"
    "</cellXfs><cellStyles count=\"1\"><cellStyle name=\"Normal\" xfId=\"0\" builtinId=\"0\"/>"
    "</cellStyles></styleSheet>";

std::string Ref(int column, int row) { return ColumnLetters(column) + std::to_string(row); }

void Text(std::string& out, int column, int row, Style style, const QString& text) {
    out += "<c r=\"" + Ref(column, row) + "\" s=\"" + std::to_string(style) + "\"";
    if (text.isEmpty()) {
        out += "/>";
        return;
    }
    out += " t=\"inlineStr\"><is><t>";
    AppendEscaped(out, text);
    out += "</t></is></c>";
}

void Number(std::string& out, int column, int row, Style style, double value) {
    char buf[32];
    const auto r = std::to_chars(buf, buf + sizeof buf, value);
    out += "<c r=\"" + Ref(column, row) + "\" s=\"" + std::to_string(style) + "\"><v>";
    out.append(buf, size_t(r.ptr - buf));
    out += "</v></c>";
}

// A sheet name a spreadsheet takes: none of []:*?/\, at most 31 characters, not empty, and
// not one already given (case aside).
QString SheetName(QString name, QSet<QString>& taken) {
    for (QChar c : QStringLiteral("[]:*?/\\")) name.remove(c);
    name = name.trimmed().left(31);
    if (name.isEmpty()) name = QStringLiteral("月报");
    QString unique = name;
    for (int n = 2; taken.contains(unique.toLower()); ++n) {
        const QString tail = QStringLiteral("(%1)").arg(n);
        unique = name.left(31 - tail.size()) + tail;
    }
    taken.insert(unique.toLower());
    return unique;
}

std::string SheetXml(const RegisterSheet& s, const RegisterPart& part, const QString& school) {
    const int days = s.dayCount();
    const int totalsFrom = 3 + days, last = totalsFrom + kRegisterTotals - 1;
    const int lastRow = 3 + int(part.rows.size());
    std::string x = kXmlDeclaration;
    x += std::string("<worksheet xmlns=\"") + kMain + "\" xmlns:r=\"" + kOfficeRelationshipsNs +
         "\">";
    x += "<sheetPr><pageSetUpPr fitToPage=\"1\"/></sheetPr>";
    x += "<dimension ref=\"A1:" + Ref(last, lastRow) + "\"/>";
    x += "<sheetViews><sheetView workbookViewId=\"0\"><pane xSplit=\"2\" ySplit=\"3\" "
         "topLeftCell=\"C4\" activePane=\"bottomRight\" state=\"frozen\"/></sheetView>"
         "</sheetViews>";
    x += "<sheetFormatPr defaultRowHeight=\"15\"/><cols>"
         "<col min=\"1\" max=\"1\" width=\"5\" customWidth=\"1\"/>"
         "<col min=\"2\" max=\"2\" width=\"10\" customWidth=\"1\"/>";
    x += "<col min=\"3\" max=\"" + std::to_string(totalsFrom - 1) +
         "\" width=\"3.6\" customWidth=\"1\"/>";
    x += "<col min=\"" + std::to_string(totalsFrom) + "\" max=\"" + std::to_string(last) +
         "\" width=\"7.5\" customWidth=\"1\"/></cols><sheetData>";

    x += "<row r=\"1\" ht=\"24\" customHeight=\"1\">";
    Text(x, 1, 1, kTitle,
         (school.isEmpty() ? QString() : school + QStringLiteral("  ")) +
             QStringLiteral("考勤月报  ") + RegisterMonthText(s.month) + QStringLiteral("  ") +
             part.title);
    x += "</row><row r=\"2\">";
    Text(x, 1, 2, kHead, QStringLiteral("序号"));
    Text(x, 2, 2, kHead, QStringLiteral("姓名"));
    for (int d = 0; d < days; ++d)
        Number(x, 3 + d, 2, s.days[size_t(d)].shaded() ? kHeadShaded : kHead,
               s.days[size_t(d)].date.day());
    for (int t = 0; t < kRegisterTotals; ++t)
        Text(x, totalsFrom + t, 2, kHead, RegisterTotalTitle(t));
    x += "</row><row r=\"3\">";
    Text(x, 1, 3, kHead, {});
    Text(x, 2, 3, kHead, {});
    for (int d = 0; d < days; ++d)
        Text(x, 3 + d, 3, s.days[size_t(d)].shaded() ? kHeadShaded : kHead,
             WeekdayName(WeekdayOf(s.days[size_t(d)].date)));
    for (int t = 0; t < kRegisterTotals; ++t) Text(x, totalsFrom + t, 3, kHead, {});
    x += "</row>";

    for (size_t k = 0; k < part.rows.size(); ++k) {
        const int r = part.rows[k];
        const int row = 4 + int(k);
        const RegisterPerson& p = s.people[size_t(r)];
        x += "<row r=\"" + std::to_string(row) + "\">";
        Number(x, 1, row, kMark, double(k + 1));
        Text(x, 2, row, kName, p.name);
        for (int d = 0; d < days; ++d)
            Text(x, 3 + d, row, s.days[size_t(d)].shaded() ? kMarkShaded : kMark,
                 DayMarkText(s.mark(r, d)));
        for (int t = 0; t < kRegisterTotals; ++t) {
            if (t == kRate && p.totals.held == 0)
                Text(x, totalsFrom + t, row, kPercent, {});
            else
                Number(x, totalsFrom + t, row, t == kRate ? kPercent : kMark,
                       RegisterTotalValue(p.totals, t));
        }
        x += "</row>";
    }
    x += "</sheetData><mergeCells count=\"" + std::to_string(3 + kRegisterTotals) + "\">";
    x += "<mergeCell ref=\"A1:" + Ref(last, 1) +
         "\"/><mergeCell ref=\"A2:A3\"/>"
         "<mergeCell ref=\"B2:B3\"/>";
    for (int t = 0; t < kRegisterTotals; ++t)
        x += "<mergeCell ref=\"" + Ref(totalsFrom + t, 2) + ":" + Ref(totalsFrom + t, 3) + "\"/>";
    x += "</mergeCells><pageMargins left=\"0.4\" right=\"0.4\" top=\"0.5\" bottom=\"0.5\" "
         "header=\"0.3\" footer=\"0.3\"/><pageSetup paperSize=\"9\" orientation=\"landscape\" "
         "fitToWidth=\"1\" fitToHeight=\"0\"/></worksheet>";
    return x;
}

}  // namespace

ExportResult ExportRegister(const RegisterWorkbook& book, const QString& path) {
    ExportResult result;
    result.path = path;
    if (!book.sheet || book.parts.empty()) return result;
    const QFileInfo target(path);
    if (target.exists() && !target.isFile()) return result;

    QSet<QString> taken;
    std::vector<QString> names;
    for (const RegisterPart& part : book.parts) names.push_back(SheetName(part.name, taken));
    const size_t n = book.parts.size();
    std::string types =
        std::string(kXmlDeclaration) +
        "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
        "<Default Extension=\"rels\" "
        "ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
        "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
        "<Override PartName=\"/xl/workbook.xml\" ContentType=\"application/"
        "vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml\"/>"
        "<Override PartName=\"/xl/styles.xml\" ContentType=\"application/"
        "vnd.openxmlformats-officedocument.spreadsheetml.styles+xml\"/>";
    std::string workbook = std::string(kXmlDeclaration) + "<workbook xmlns=\"" + kMain +
                           "\" xmlns:r=\"" + kOfficeRelationshipsNs + "\"><sheets>";
    std::string rels =
        std::string(kXmlDeclaration) + "<Relationships xmlns=\"" + kPackageRelationships + "\">";
    std::string titles = "<definedNames>";
    for (size_t k = 0; k < n; ++k) {
        const std::string id = std::to_string(k + 1);
        types += "<Override PartName=\"/xl/worksheets/sheet" + id +
                 ".xml\" ContentType=\"application/"
                 "vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml\"/>";
        workbook += "<sheet name=\"";
        AppendEscaped(workbook, names[k]);
        workbook += "\" sheetId=\"" + id + "\" r:id=\"rId" + id + "\"/>";
        rels += "<Relationship Id=\"rId" + id + "\" Type=\"" + kOfficeRelationshipsNs +
                "/worksheet\" Target=\"worksheets/sheet" + id + ".xml\"/>";
        // The header rows on every printed page.
        QString quoted = names[k];
        quoted.replace(u'\'', QStringLiteral("''"));
        titles +=
            "<definedName name=\"_xlnm.Print_Titles\" localSheetId=\"" + std::to_string(k) + "\">";
        AppendEscaped(titles, u'\'' + quoted + QStringLiteral("'!$2:$3"));
        titles += "</definedName>";
    }
    types += "</Types>";
    workbook += "</sheets>" + titles + "</definedNames></workbook>";
    rels += "<Relationship Id=\"rId" + std::to_string(n + 1) + "\" Type=\"" +
            kOfficeRelationshipsNs + "/styles\" Target=\"styles.xml\"/></Relationships>";
    const std::string root = std::string(kXmlDeclaration) + "<Relationships xmlns=\"" +
                             kPackageRelationships + "\"><Relationship Id=\"rId1\" Type=\"" +
                             kOfficeRelationshipsNs +
                             "/officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>";

    // Written beside the target and renamed over it: a write cut short leaves the earlier
    // workbook as it was.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) return result;
    bool ok = true;
    {
        ZipWriter zip(file.handle());
        ok = zip.add("[Content_Types].xml", types) && zip.add("_rels/.rels", root) &&
             zip.add("xl/workbook.xml", workbook) && zip.add("xl/_rels/workbook.xml.rels", rels) &&
             zip.add("xl/styles.xml", std::string(kStyles));
        for (size_t k = 0; ok && k < n; ++k)
            ok = zip.add("xl/worksheets/sheet" + std::to_string(k + 1) + ".xml",
                         SheetXml(*book.sheet, book.parts[k], book.school));
        ok = ok && zip.finish();
    }
    if (!ok) {
        file.cancelWriting();
        return result;
    }
    if (!file.commit()) return result;
    result.written = true;
    result.sheets = int(n);
    return result;
}

}  // namespace tallyra
