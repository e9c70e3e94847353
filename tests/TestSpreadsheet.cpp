#include <QDir>
#include <QProcess>
#include <QTest>

#include "common/datetime.h"
#include "core/format/schema.h"
#include "core/rosterimport.h"
#include "core/statistics.h"
#include "hostsystem.h"
#include "models/headersort.h"
#include "models/statsgridmodel.h"
#include "must.h"
#include "sheets/reading.h"
#include "sheets/spreadsheet.h"
#include "testsupport.h"

using namespace tallyra;
using namespace tallyra::test;

namespace {

// Fixtures come from Debian's tools: openpyxl, xlwt and LibreOffice write a workbook as a
// spreadsheet program would (exit 77 when one is not installed), zipfile and struct build
// the odd and the hostile ones by hand.
constexpr int kNotInstalled = 77;
int PythonCode(const QString& kind, const QString& path, QString* out = nullptr) {
    // "KIND SCALE" makes a hostile shape smaller.
    const QStringList words = kind.split(u' ');
    QProcess p;
    p.start(QStringLiteral("/usr/bin/python3"),
            QStringList{QStringLiteral(TALLYRA_FIXTURES "/make_sheets.py"), words[0], path} +
                words.mid(1));
    if (!p.waitForFinished(300000)) return -1;
    if (p.exitCode() != 0 && p.exitCode() != kNotInstalled)
        qWarning("%s", p.readAllStandardError().constData());
    if (out) *out = QString::fromUtf8(p.readAllStandardOutput());
    return p.exitCode();
}
bool Python(const QString& kind, const QString& path, QString* out = nullptr) {
    return PythonCode(kind, path, out) == 0;
}

// A roster with its file, for imports that must leave it as it was.
struct Rig {
    QTemporaryDir dir;
    DataFolder folder{dir.path()};
    Schema schema = Schema::Defaults();
    RosterStore roster{folder, [this] {
                           return RosterDisplay{&schema, {-1, -1}, QDate(2026, 12, 8)};
                       }};
    TextGridModel grid{2, 26};
    RecordingNotifier notifier;
    Rig() {
        Must(roster.open());
        schema.enabled = {};
        for (int f : {1, 2, 3, 6}) schema.enabled[size_t(f - 1)] = 1;
    }
    ImportResult run(const QString& path) {
        ImportTargets t{&roster, &grid, &notifier, {}};
        return ImportRosterFile(path, t);
    }
};

bool HasOpenpyxl() {
    QProcess p;
    p.start(QStringLiteral("/usr/bin/python3"),
            {QStringLiteral("-c"), QStringLiteral("import openpyxl")});
    return p.waitForFinished(30000) && p.exitCode() == 0;
}

}  // namespace

class TestSpreadsheet : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void generalNumbers_data() {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("card") << 12345678.0 << "12345678";
        QTest::newRow("twelve digits") << 300013700001.0 << "300013700001";
        QTest::newRow("fraction") << 12.5 << "12.5";
        QTest::newRow("negative") << -3.0 << "-3";
        QTest::newRow("huge") << 1.25e20 << "1.25E+20";
    }
    void generalNumbers() {
        QFETCH(double, value);
        QFETCH(QString, text);
        QCOMPARE(GeneralNumberText(value), text);
    }

    // What each format's number formats make of a number.
    void numberFormats_data() {
        QTest::addColumn<int>("id");  // a built-in format, or -1 for the code
        QTest::addColumn<QString>("code");
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("14 date") << 14 << "" << 40299.0 << "2010-05-01";
        QTest::newRow("22 date-time") << 22 << "" << 45901.3125 << "2025-09-01 07:30";
        QTest::newRow("20 time") << 20 << "" << 0.3125 << "07:30";
        QTest::newRow("31 Chinese date") << 31 << "" << 45658.0 << "2025-01-01";
        QTest::newRow("32 Chinese time") << 32 << "" << 0.5 << "12:00";
        QTest::newRow("2 a number format") << 2 << "" << 40299.0 << "40299";
        QTest::newRow("custom date") << -1 << "yyyy/m/d" << 40299.0 << "2010-05-01";
        QTest::newRow("quoted Chinese")
            << -1 << "yyyy\"年\"m\"月\"d\"日\"" << 40299.0 << "2010-05-01";
        QTest::newRow("m is minutes by h") << -1 << "h:mm" << 0.75 << "18:00";
        QTest::newRow("m is minutes by s") << -1 << "mm:ss" << 0.75 << "18:00";
        QTest::newRow("elapsed hours") << -1 << "[h]:mm" << 0.75 << "18:00";
        QTest::newRow("locale and date")
            << -1 << "[$-804]yyyy-mm-dd hh:mm" << 45901.3125 << "2025-09-01 07:30";
        QTest::newRow("seconds round")
            << -1 << "yyyy-mm-dd hh:mm" << 45901.999999999 << "2025-09-02 00:00";
        QTest::newRow("Chinese general") << -1 << "G/通用格式" << 12.5 << "12.5";
        QTest::newRow("quoted letters") << -1 << "0\" days\"" << 3.0 << "3";
        QTest::newRow("colour") << -1 << "[Red]0.00;[Blue]-0.00" << 3.0 << "3";
        QTest::newRow("no date that far") << 14 << "" << 1e20 << "1E+20";
        QTest::newRow("before the year 100") << 14 << "" << -700000.0 << "-700000";
    }
    void numberFormats() {
        QFETCH(int, id);
        QFETCH(QString, code);
        QFETCH(double, value);
        QFETCH(QString, text);
        const sheets::Shape shape = id >= 0 ? sheets::ShapeOfBuiltinFormat(id)
                                            : sheets::ShapeOfFormatCode(code.toStdString());
        QCOMPARE(sheets::NumberText(value, shape), text);
    }

    // The same cells in every format, written by hand and by the tools people use: what a
    // spreadsheet shows of formulas, dates, times, truth values and errors.
    void readsWhatASpreadsheetShows_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QStringList>("unsupported");  // cells the writer cannot make
        QTest::newRow("xls") << "biff" << QStringList();
        QTest::newRow("xls, small stream") << "biff-small" << QStringList();
        QTest::newRow("xlsx") << "shapes-xlsx" << QStringList();
        QTest::newRow("ods") << "shapes-ods" << QStringList();
        // xlwt stores no formula results.
        QTest::newRow("xls by xlwt") << "xlwt-book" << QStringList{"1,3,7"};
        // LibreOffice keeps a truth value as the number 1 in General format, and its .xls
        // no text result of a formula (it calculates again when it opens one).
        QTest::newRow("xls by LibreOffice") << "lo-xls" << QStringList{"1,2,4", "1,2,7"};
        QTest::newRow("xlsx by LibreOffice") << "lo-xlsx" << QStringList{"1,2,7"};
    }
    void readsWhatASpreadsheetShows() {
        if (UnderWine())
            QSKIP("the fixtures are written by Linux's python3, which cannot open a Wine path");
        QFETCH(QString, kind);
        QFETCH(QStringList, unsupported);
        QTemporaryDir dir;
        const QString path = dir.filePath("book");
        const int made = PythonCode(kind, path);
        if (made == kNotInstalled) QSKIP("the tool that writes this kind is not installed");
        QCOMPARE(made, 0);
        QString why;
        const auto wb = OpenWorkbook(path, &why);
        QVERIFY2(wb, qPrintable(why));
        const std::pair<const char*, const char*> cells[] = {
            {"1,1,1", "卡号"},       {"1,1,7", "真假"},
            {"1,2,1", "10000005"},   {"1,2,2", "王芳"},
            {"1,2,3", "16"},         {"1,2,4", "中山路"},
            {"1,2,5", "2010-05-01"}, {"1,2,6", "2025-09-01 07:30"},
            {"1,2,7", "TRUE"},       {"1,3,1", "3000137"},
            {"1,3,2", "李四"},       {"1,3,3", "12"},
            {"1,3,4", "7.01"},       {"1,3,5", "2025-01-01"},
            {"1,3,6", "07:30"},      {"1,3,7", "#DIV/0!"},
            {"1,4,1", "1E+20"},      {"2,1,1", "second"}};
        for (const auto& [where, text] : cells) {
            if (unsupported.contains(where)) continue;
            const QStringList at = QString(where).split(u',');
            QCOMPARE(wb->cell(at[0].toInt(), at[1].toInt(), at[2].toInt()).value_or("(none)"),
                     QString(text));
        }
        QCOMPARE(wb->cell(1, 5, 1), QString());
        QVERIFY(!wb->cell(3, 1, 1));  // two worksheets: a chart sheet is none
        QVERIFY(wb->failure().isEmpty());
    }

    void readsWhatASpreadsheetWrote() {
        if (!HasOpenpyxl()) QSKIP("python3-openpyxl is not installed");
        QTemporaryDir dir;
        const QString path = dir.filePath("book.xlsx");
        QVERIFY(Python("openpyxl-book", path));
        const auto wb = OpenWorkbook(path);
        QVERIFY(wb);
        QCOMPARE(wb->sheetCount(), 2);
        QCOMPARE(wb->cell(1, 1, 1), QString("卡号"));
        QCOMPARE(wb->cell(1, 1, 2), QString("12345678"));
        QCOMPARE(wb->cell(1, 1, 3), QString("12.5"));
        QCOMPARE(wb->cell(1, 1, 4), QString("TRUE"));
        QCOMPARE(wb->cell(1, 3, 1), QString("王 芳"));
        QCOMPARE(wb->cell(1, 4, 3), QString("300013700001"));
        QCOMPARE(wb->cell(1, 2, 1), QString());  // empty
        QCOMPARE(wb->cell(2, 2, 2), QString("second"));
        QVERIFY(!wb->cell(3, 1, 1));  // past the last sheet
    }

    void inlineStringsAndOddReferences() {
        if (UnderWine())
            QSKIP("the fixtures are written by Linux's python3, which cannot open a Wine path");
        QTemporaryDir dir;
        const QString path = dir.filePath("inline.xlsx");
        QVERIFY(Python("inline", path));
        const auto wb = OpenWorkbook(path);
        QVERIFY(wb);
        QCOMPARE(wb->cell(1, 1, 1), QString("姓名"));
        QCOMPARE(wb->cell(1, 1, 2), QString("next"));
        QCOMPARE(wb->cell(1, 3, 3), QString("formula text"));
        QCOMPARE(wb->cell(1, 2000000, 1), QString());
    }

    // Files no one should have to read: each ends within the readers' limits, read or
    // refused with a notice that says so, and the roster is left as it was.
    void hostileFiles_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("notice");  // how the import's notices end
        const QString titles = "导入失败，请规范电子表格内名称字段与对应标题相同。";
        const QString unread = "导入失败，无法读取该电子表格：";
        QTest::newRow("bomb") << "bomb" << titles;
        QTest::newRow("broken") << "broken" << titles;
        QTest::newRow("truncated") << "truncated" << unread + "电子表格已损坏";
        QTest::newRow("binary") << "binary" << unread + "不是电子表格";
        QTest::newRow("legacy-header") << "legacy-header" << unread + "不是可读的.xls电子表格";
        QTest::newRow("300 sheets, one part") << "shared-part" << titles;
        QTest::newRow("4.4 million cells")
            << "many-cells 0.55" << unread + "电子表格超出读取上限（超过400万个单元格）";
        QTest::newRow("1.2 million strings")
            << "many-strings 0.3" << unread + "电子表格超出读取上限（超过100万条共享文字）";
        QTest::newRow("xls strings")
            << "xls-strings" << unread + "电子表格超出读取上限（超过100万条共享文字）";
        QTest::newRow("unpacks past the limit")
            << "bomb-huge" << unread + "电子表格超出读取上限（解压后超过256MB）";
        QTest::newRow("20000 zip entries")
            << "zip-entries" << unread + "电子表格超出读取上限（超过1万个部件）";
        QTest::newRow("a 50 MB cell") << "csv-cell 0.25"
                                      << "第2行文字过长，未导入|导入成功";
        QTest::newRow("bad rows") << "refused-rows 0.1"
                                  << "另有99980行未导入|导入成功";
    }
    void hostileFiles() {
        if (UnderWine())
            QSKIP("the fixtures are written by Linux's python3, which cannot open a Wine path");
        QFETCH(QString, kind);
        QFETCH(QString, notice);
        QTemporaryDir dir;
        const QString path = dir.filePath("hostile");
        QVERIFY(Python(kind, path));
        Rig rig;
        const ImportResult r = rig.run(path);
        QCOMPARE(r.imported, 0);
        const QStringList tail = notice.split(u'|');
        QCOMPARE(rig.notifier.notices.mid(rig.notifier.notices.size() - tail.size()), tail);
        QVERIFY(ReadAll(rig.folder.roster()).isEmpty());
        QCOMPARE(rig.grid.rows(), 2);
    }

    void csvInEitherEncoding_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("utf-8") << QByteArray("\xEF\xBB\xBF卡号,姓名\r\n3000137,\"王,芳\"\r\n");
        QTest::newRow("code page 936") << (QByteArray("\xBF\xA8\xBA\xC5,\xD0\xD5\xC3\xFB\n") +
                                           "3000137,\"\xCD\xF5,\xB7\xBC\"\n");
    }
    void csvInEitherEncoding() {
        QFETCH(QByteArray, bytes);
        const auto wb = OpenWorkbookBytes(bytes);
        QVERIFY(wb);
        QCOMPARE(wb->cell(1, 1, 1), QString("卡号"));
        QCOMPARE(wb->cell(1, 1, 2), QString("姓名"));
        QCOMPARE(wb->cell(1, 2, 1), QString("3000137"));
        QCOMPARE(wb->cell(1, 2, 2), QString("王,芳"));
        QVERIFY(!wb->cell(2, 1, 1));
    }

    void exportFileNames_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("written");
        QTest::newRow("no extension") << "/tmp/考勤"
                                      << "/tmp/考勤.xlsx";
        QTest::newRow("xlsx") << "/tmp/a.XLSX"
                              << "/tmp/a.XLSX";
        QTest::newRow("xls") << "/tmp/a.xls"
                             << "/tmp/a.xlsx";
        QTest::newRow("another") << "/tmp/a.csv"
                                 << "/tmp/a.csv.xlsx";
    }
    void exportFileNames() {
        QFETCH(QString, typed);
        QFETCH(QString, written);
        QCOMPARE(ExportFileName(typed), written);
    }

    // The export as a spreadsheet program reads it back: the template's sheet, title and
    // widths on every sheet, the grid's cells with their types, and the rows past a sheet's
    // last row on a further sheet under the header again.
    void exportIsTheTemplateFilled() {
        Roster roster;
        roster.at(1).name = QStringLiteral("王芳");
        roster.at(1).cardNumber = qint64(3000137) * 10000;
        roster.at(2).name = QStringLiteral("李四");
        roster.at(2).cardNumber = qint64(300013700001) * 10000;
        StatsGridModel grid(&roster);
        const qint32 day = qint32(DateToOle(QDate(2026, 12, 8)));  // a Tuesday
        grid.setResults({{day, 1, 465, 5, 0},
                         {day + 1, 2, 480, 0, 0},
                         {day + 2, 1, 481, 9999, 0},
                         {day + 3, 2, 0, 12, 0}});
        QTemporaryDir dir;
        const QString out = dir.filePath("out.xlsx");
        WriteAll(out, "an older file of that name");
        const ExportResult r = ExportStatistics(grid.listing(), QStringLiteral(TALLYRA_TEMPLATE),
                                                dir.filePath("out"), {}, 5);
        QVERIFY(r.written);
        QCOMPARE(r.path, out);
        QCOMPARE(r.sheets, 2);
        QCOMPARE(r.notice(), "导出成功，共2张工作表");
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"out.xlsx"});
        const auto wb = OpenWorkbook(out);
        QVERIFY(wb);
        QCOMPARE(wb->cell(1, 4, 2), QString("2026-12-08"));
        QCOMPARE(wb->cell(1, 4, 3), QString("07:45"));
        QCOMPARE(wb->cell(2, 2, 6), QString("星期"));
        QCOMPARE(wb->cell(2, 4, 4), QString("300013700001"));
        if (!HasOpenpyxl()) QSKIP("python3-openpyxl is not installed");
        QString seen;
        QVERIFY(Python("read-export", out, &seen));
        QCOMPARE(seen.trimmed().split(u'\n'),
                 QStringList({"sheet 考勤统计 Tallyra 考勤统计 14.0 14.7109375",
                              "2 str:姓名 str:日期 str:时间 str:卡号 str:迟签时间 str:星期",
                              "3 - - - - - -",
                              "4 str:王芳 2026-12-08T00:00:00@yyyy-mm-dd 07:45:00@hh:mm "
                              "int:3000137 int:5 str:二",
                              "5 str:李四 2026-12-09T00:00:00@yyyy-mm-dd 08:00:00@hh:mm "
                              "int:300013700001 int:0 str:三",
                              "last 5", "sheet 考勤统计 (2) Tallyra 考勤统计 14.0 14.7109375",
                              "2 str:姓名 str:日期 str:时间 str:卡号 str:迟签时间 str:星期",
                              "3 str:王芳 2026-12-10T00:00:00@yyyy-mm-dd 08:01:00@hh:mm "
                              "int:3000137 int:9999 str:四",
                              "4 str:李四 2026-12-11T00:00:00@yyyy-mm-dd 00:00:00@hh:mm "
                              "int:300013700001 int:12 str:五",
                              "last 4"}));
    }

    void exportThatCannotFinishLeavesNothing() {
        StatsGridModel grid;
        QTemporaryDir dir;
        const QString out = dir.filePath("out.xlsx");
        WriteAll(out, "kept");
        const ExportResult cancelled =
            ExportStatistics(grid.listing(), QStringLiteral(TALLYRA_TEMPLATE), out,
                             [](qint64, qint64) { return false; });
        QVERIFY(cancelled.cancelled && !cancelled.written);
        QCOMPARE(cancelled.notice(), "导出已取消");
        QCOMPARE(ReadAll(out), "kept");
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"out.xlsx"});
        const ExportResult nowhere =
            ExportStatistics(grid.listing(), QStringLiteral(TALLYRA_TEMPLATE),
                             dir.filePath("no/such/folder/x.xlsx"));
        QVERIFY(!nowhere.written);
        QCOMPARE(nowhere.notice(), "导出失败，文件无法写入");
        // Without its template the export still holds every cell, under a plain sheet.
        const ExportResult plain =
            ExportStatistics(grid.listing(), dir.filePath("missing.dat"), out);
        QVERIFY(plain.written);
        const auto wb = OpenWorkbook(out);
        QVERIFY(wb);
        QCOMPARE(wb->cell(1, 2, 1), QString("姓名"));
    }
};

QTEST_GUILESS_MAIN(TestSpreadsheet)
#include "TestSpreadsheet.moc"
