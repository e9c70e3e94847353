#include <QProcess>
#include <QTest>

#include "sheets/spreadsheet.h"
#include "testsupport.h"

using namespace tallyra;
using namespace tallyra::test;

namespace {

// Fixtures come from Debian's Python: openpyxl writes a workbook as a spreadsheet program
// would, zipfile builds the odd and the hostile ones by hand.
bool Python(const QString& kind, const QString& path, QString* out = nullptr) {
    QProcess p;
    p.start(QStringLiteral("/usr/bin/python3"),
            {QStringLiteral(TALLYRA_FIXTURES "/make_sheets.py"), kind, path});
    if (!p.waitForFinished(120000) || p.exitCode() != 0) {
        qWarning("%s", p.readAllStandardError().constData());
        return false;
    }
    if (out) *out = QString::fromUtf8(p.readAllStandardOutput());
    return true;
}

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

    void hostileFiles_data() {
        QTest::addColumn<QString>("kind");
        for (const char* k : {"bomb", "broken", "truncated", "binary", "legacy-header"})
            QTest::newRow(k) << QString::fromLatin1(k);
    }
    void hostileFiles() {
        QFETCH(QString, kind);
        QTemporaryDir dir;
        const QString path = dir.filePath("hostile.xlsx");
        QVERIFY(Python(kind, path));
        const auto wb = OpenWorkbook(path);
        // Either refused, or read as a workbook without a header to find.
        if (wb) QCOMPARE(wb->cell(1, 1, 1).value_or(QString()), QString());
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

    void exportKeepsTheTemplateTitle() {
        QTemporaryDir dir;
        const QString out = dir.filePath("out.xlsx");
        WriteAll(out, "an older file of that name");
        const QList<QStringList> rows{{"姓名", "日期", "时间", "卡号", "迟签时间", "星期"},
                                      {},
                                      {"王芳", "2026-12-08", "07:45", "3000137", "5", "二"}};
        QVERIFY(WriteWorkbookFromTemplate(
            QStringLiteral(TALLYRA_TEMPLATE), out, 2, int(rows.size()),
            [&](int r) { return std::vector<QString>(rows[r].begin(), rows[r].end()); }));
        const auto wb = OpenWorkbook(out);
        QVERIFY(wb);
        QCOMPARE(wb->cell(1, 1, 1), QString("Tallyra 考勤统计"));
        QCOMPARE(wb->cell(1, 2, 1), QString("姓名"));
        QCOMPARE(wb->cell(1, 2, 6), QString("星期"));
        QCOMPARE(wb->cell(1, 3, 1), QString());
        QCOMPARE(wb->cell(1, 4, 4), QString("3000137"));
        if (!HasOpenpyxl()) return;
        QString seen;
        QVERIFY(Python("read-export", out, &seen));
        QCOMPARE(seen.trimmed(), "Tallyra 考勤统计|姓名|星期|None|王芳|3000137");
        QVERIFY(!WriteWorkbookFromTemplate(QStringLiteral(TALLYRA_TEMPLATE),
                                           dir.filePath("no/such/folder/x.xlsx"), 2, 0,
                                           [](int) { return std::vector<QString>(); }));
    }
};

QTEST_GUILESS_MAIN(TestSpreadsheet)
#include "TestSpreadsheet.moc"
