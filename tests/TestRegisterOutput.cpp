// The register where it leaves the program: the printed pages as PDF (read back with
// pdftotext), the workbook (read back with our reader and with openpyxl), the command line
// against the grid, and the panel in the window.
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>

#include "apprig.h"
#include "core/format/registersettings.h"
#include "gui/registerpanel.h"
#include "gui/registerprint.h"
#include "registerfixture.h"
#include "sheets/registerxlsx.h"
#include "sheets/spreadsheet.h"

using namespace tallyra;
using namespace tallyra::test;

namespace {

struct Run {
    int code = -1;
    QString out, err;
};

Run Program(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(60000)) return {};
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}

Run Cli(const QStringList& args) { return Program(qEnvironmentVariable("TALLYRA_CLI"), args); }

// Classes of the given sizes, people from roster index 11 on (the fixture's own four are
// taken off), each absent on the 2nd when a multiple of 3 and 10 minutes late on the 3rd
// when a multiple of 4.
void Classes(Fixture& f, const QList<int>& sizes, int year = 2026) {
    f.roster = Roster();
    int next = 11;
    Rows records;
    for (int k = 0; k < sizes.size(); ++k) {
        f.addPeople(next, sizes[k], k);
        for (int i = next; i < next + sizes[k]; ++i) {
            if (i % 3 == 0) records << QList<int>{i, 2, kClose0, kAbsent};
            if (i % 4 == 0) records << QList<int>{i, 3, 490, 10};
        }
        next += sizes[k];
    }
    std::sort(records.begin(), records.end(),
              [](const QList<int>& a, const QList<int>& b) { return a[1] < b[1]; });
    f.log(year, 11, records);
}

std::optional<RegisterGroup> Group(const QString& text, const Schema& schema) {
    if (text.isEmpty()) return RegisterGroup{};
    return ParseRegisterGroup(text, schema);
}

// What a row reads as on paper: its number, the name, the marks that are not blank, the
// totals.
QStringList PrintedRow(const RegisterSheet& s, int row, int number) {
    QStringList t{QString::number(number), s.people[size_t(row)].name};
    for (int d = 0; d < s.dayCount(); ++d)
        if (s.mark(row, d) != DayMark::Blank) t << DayMarkText(s.mark(row, d));
    for (int k = 0; k < kRegisterTotals; ++k)
        t << RegisterTotalText(s.people[size_t(row)].totals, k);
    return t;
}

}  // namespace

class TestRegisterOutput : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() {
        QVERIFY(!qEnvironmentVariable("TALLYRA_CLI").isEmpty());
        if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
            QSKIP("pdftotext (poppler-utils) is not installed: scripts/deps.sh installs it");
    }

    void pdf_data() {
        QTest::addColumn<QList<int>>("classes");
        QTest::addColumn<QString>("group");
        QTest::addColumn<int>("pages");
        QTest::newRow("a class on one page") << QList<int>{4, 3} << "班级=一班" << 1;
        QTest::newRow("35 rows, the picture on a page of its own") << QList<int>{35} << "" << 2;
        QTest::newRow("40 rows, the picture under the last five") << QList<int>{40} << "" << 2;
        QTest::newRow("every class a run of pages of its own")
            << QList<int>{30, 36, 5} << "班级" << 5;
    }
    void pdf() {
        QFETCH(QList<int>, classes);
        QFETCH(QString, group);
        QFETCH(int, pages);
        Fixture f;
        Classes(f, classes);
        const std::optional<RegisterGroup> g = Group(group, f.schema);
        QVERIFY(g);
        const RegisterSheet s = f.build(QDate(2026, 11, 1), {{}, *g, 0}, QDate(2026, 11, 30)).sheet;
        const RegisterPrint print{&s, RegisterParts(s, f.schema, *g), QStringLiteral("第一中学"),
                                  QDate(2026, 12, 1)};
        QCOMPARE(print.pageCount(), pages);
        const QString path = f.dir.filePath("月报.pdf");
        QVERIFY(WriteRegisterPdf(path, print));
        const Run info = Program(QStringLiteral("pdfinfo"), {path});
        QVERIFY(
            info.out.contains(QRegularExpression(QStringLiteral("Pages:\\s+%1\\n").arg(pages))));
        QVERIFY(info.out.contains(QStringLiteral("842 x 595 pts (A4)")));
        const Run text = Program(QStringLiteral("pdftotext"), {"-layout", path, "-"});
        QCOMPARE(text.code, 0);
        QVERIFY(text.out.contains(QStringLiteral("第一中学")));
        QVERIFY(
            QString(text.out).remove(u' ').contains(QStringLiteral("第%1页/共%1页").arg(pages)));
        const QStringList lines = text.out.split(u'\n');
        for (const RegisterPart& part : print.parts) {
            QVERIFY2(text.out.contains(part.title), qPrintable(part.title));
            for (size_t k = 0; k < part.rows.size(); ++k) {
                const int r = part.rows[k];
                const QRegularExpression name(
                    QStringLiteral(".* %1 .*").arg(s.people[size_t(r)].name));
                const qsizetype at = lines.indexOf(name);
                QVERIFY2(at >= 0, qPrintable(s.people[size_t(r)].name));
                QCOMPARE(lines[at].split(u' ', Qt::SkipEmptyParts), PrintedRow(s, r, int(k) + 1));
            }
        }
    }

    void workbook() {
        Fixture f;
        Classes(f, {3, 2});
        const RegisterGroup g{10, -1};
        const RegisterSheet s = f.build(QDate(2026, 11, 1), {{}, g, 0}, QDate(2026, 11, 30)).sheet;
        const std::vector<RegisterPart> parts = RegisterParts(s, f.schema, g);
        const QString path = f.dir.filePath("月报.xlsx");
        WriteAll(path, "an older file");
        const ExportResult r = ExportRegister({&s, parts, QStringLiteral("第一中学")}, path);
        QVERIFY(r.written);
        QCOMPARE(r.sheets, 2);
        QCOMPARE(QDir(f.dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);

        // Our reader: the first thirty columns, up to the 28th.
        QString why;
        const std::unique_ptr<Workbook> book = OpenWorkbook(path, &why);
        QVERIFY2(book, qPrintable(why));
        QCOMPARE(book->sheetCount(), 2);
        for (int k = 0; k < 2; ++k) {
            QVERIFY(book->cell(k + 1, 1, 1)->contains(parts[size_t(k)].title));
            QCOMPARE(*book->cell(k + 1, 2, 3), "1");
            QCOMPARE(*book->cell(k + 1, 3, 3), "日");
            for (size_t j = 0; j < parts[size_t(k)].rows.size(); ++j) {
                const int row = parts[size_t(k)].rows[j], at = 4 + int(j);
                QCOMPARE(*book->cell(k + 1, at, 1), QString::number(j + 1));
                QCOMPARE(*book->cell(k + 1, at, 2), s.people[size_t(row)].name);
                for (int d = 0; d < 28; ++d)
                    QCOMPARE(book->cell(k + 1, at, 3 + d).value_or(QString()),
                             DayMarkText(s.mark(row, d)));
            }
        }

        // The totals right of them, as values, through a reader of another make.
        const QString script = QStringLiteral(
            "import openpyxl,sys\n"
            "b=openpyxl.load_workbook(sys.argv[1])\n"
            "for ws in b.worksheets:\n"
            "  print(ws.title, ws.max_column, ws.page_setup.orientation, "
            "ws.print_title_rows, ws.freeze_panes)\n"
            "  for r in ws.iter_rows(min_row=4, min_col=ws.max_column-6):\n"
            "    print(' '.join('%s:%s:%s' % (c.value, c.data_type, c.number_format) for c in "
            "r))\n");
        const Run py = Program(QStringLiteral("/usr/bin/python3"), {"-c", script, path});
        if (py.code != 0 && py.err.contains(QStringLiteral("No module named")))
            QSKIP("python3-openpyxl is not installed");
        QCOMPARE(py.code, 0);
        QStringList want;
        for (const RegisterPart& part : parts) {
            want << part.name + QStringLiteral(" 39 landscape $2:$3 C4");
            for (int row : part.rows) {
                const RegisterTotals& t = s.people[size_t(row)].totals;
                QStringList cells;
                for (int k = 0; k < kRegisterTotals - 1; ++k)
                    cells << QStringLiteral("%1:n:General").arg(qint64(RegisterTotalValue(t, k)));
                cells << QString::number(t.rate(), 'g', QLocale::FloatingPointShortest) +
                             QStringLiteral(":n:0.0%");
                want << cells.join(u' ');
            }
        }
        QCOMPARE(py.out.trimmed().split(u'\n'), want);
    }

    void workbookNotWritten() {
        Fixture f;
        const RegisterSheet s = f.build(QDate(2026, 11, 1)).sheet;
        const RegisterWorkbook book{&s, RegisterParts(s, f.schema, {}), {}};
        QVERIFY(!ExportRegister(book, f.dir.filePath("missing/月报.xlsx")).written);
        QDir().mkpath(f.dir.filePath("folder.xlsx"));
        QVERIFY(!ExportRegister(book, f.dir.filePath("folder.xlsx")).written);
        QCOMPARE(QDir(f.dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList());
    }

    // The command line prints what the grid shows, for the same month and group.
    void cliMatchesTheGrid() {
        Fixture f;
        Classes(f, {3, 4}, 2025);
        f.store();
        Must(SaveRegisterSettings(f.folder, {0, QStringLiteral("第一中学")}));
        const Run run = Cli(
            {"--data-dir", f.dir.path(), "register", "--month", "2025-11", "--group", "班级=二班"});
        QCOMPARE(run.code, 0);
        const QStringList lines = run.out.split(u'\n', Qt::SkipEmptyParts);
        const QDateTime now = QDateTime::currentDateTime();
        const RegisterSheet s = f.build(QDate(2025, 11, 1), {{}, {10, 1}, 0}, now.date(),
                                        RegisterMinuteNow(now.date(), now))
                                    .sheet;
        RegisterTableModel grid;
        grid.setSheet(&s, s.allRows());
        QCOMPARE(lines.size(), 3 + grid.rowCount());
        QCOMPARE(lines[0], QStringLiteral("第一中学 考勤月报\t2025年11月\t班级：二班"));
        QStringList head;
        for (int c = 0; c < grid.columnCount(); ++c)
            head << grid.headerData(c, Qt::Horizontal).toString().section(u'\n', 0, 0);
        QCOMPARE(lines[1].split(u'\t').mid(0, 1 + s.dayCount()), head.mid(0, 1 + s.dayCount()));
        QCOMPARE(grid.rowCount(), 4);
        for (int r = 0; r < grid.rowCount(); ++r) {
            QStringList cells;
            for (int c = 0; c < grid.columnCount(); ++c) cells << grid.text(r, c);
            QCOMPARE(lines[3 + r], cells.join(u'\t'));
        }
    }

    void cli_data() {
        QTest::addColumn<QStringList>("args");  // after the folder; @ stands for it
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("said");  // on stderr, or on stdout when it succeeds
        const QStringList nov{"register", "--month", "2025-11"};
        QTest::newRow("a month that does not exist")
            << QStringList{"register", "--month", "2025-13"} << 1 << "月份不存在：2025-13";
        QTest::newRow("an unknown field") << nov + QStringList{"--group", "年级=一班"} << 1
                                          << "没有这个分组字段：年级（可选：班级）";
        QTest::newRow("an unknown element")
            << nov + QStringList{"--group", "班级=九班"} << 1 << "字段“班级”没有“九班”这一项";
        QTest::newRow("a PDF that cannot be written")
            << nov + QStringList{"--pdf", "@/missing/r.pdf"} << 1 << "无法写入：@/missing/r.pdf";
        QTest::newRow("a workbook that cannot be written")
            << nov + QStringList{"--xlsx", "@/missing/r.xlsx"} << 1 << "无法写入：@/missing/r.xlsx";
        QTest::newRow("both files at once")
            << nov + QStringList{"--pdf", "@/r.pdf", "--xlsx", "@/r.xlsx"} << 2 << "one at a time";
        QTest::newRow("the PDF, every class on its own")
            << nov + QStringList{"--group", "班级", "--pdf", "@/r.pdf"} << 0 << "共2页";
        QTest::newRow("the workbook")
            << nov + QStringList{"--xlsx", "@/r.xlsx"} << 0 << "共1张工作表";
        QTest::newRow("a month without records is an empty register")
            << QStringList{"register", "--month", "2031-01"} << 0 << "学生11\t\t\t";
    }
    void cli() {
        QFETCH(QStringList, args);
        QFETCH(int, code);
        QFETCH(QString, said);
        Fixture f;
        Classes(f, {3, 4}, 2025);
        f.store();
        args.replaceInStrings(QStringLiteral("@"), f.dir.path());
        said.replace(u'@', f.dir.path());
        const Run run = Cli(QStringList{"--data-dir", f.dir.path()} + args);
        QCOMPARE(run.code, code);
        QVERIFY2((code == 0 ? run.out : run.err).contains(said), qPrintable(run.out + run.err));
        if (code != 0) QCOMPARE(QDir(f.dir.path()).entryList({"r.*"}, QDir::Files), QStringList());
    }

    // The page in the window: behind 月报 on the statistics panel, every group for the
    // administrator, the grouping and the school's name remembered, the files written; for
    // the personal centre its one person.
    void panel() {
        AppRig rig;
        Session session(rig.parts());
        QVERIFY(session.StartUp());
        MainWindow& w = session.window();
        w.show();
        w.ShowPanel(Panel::Statistics);
        Find<QPushButton>(w, QStringLiteral("RegisterButton"))->click();
        auto* page = w.findChild<RegisterPanel*>(QStringLiteral("RegisterPage"));
        QVERIFY(page && page->isVisible());
        // The demo's forty, of whom the last takes no part in sign-in; Tuesday 8 December
        // at 07:45, nothing closed yet today, no records: the days before are on time.
        RegisterTableModel& grid = page->model();
        QCOMPARE(grid.rowCount(), 39);
        QCOMPARE(grid.text(0, grid.dayColumn(6)), QStringLiteral("√"));  // Monday the 7th
        QCOMPARE(grid.text(0, grid.dayColumn(5)), QString());            // Sunday
        QCOMPARE(grid.text(0, grid.dayColumn(7)), QString());            // today, still open
        QCOMPARE(grid.text(0, grid.totalColumn(kRate)), QStringLiteral("100.0%"));

        page->setGroup(9, 0);  // 职务 = 教师: 10, 20 and 30
        QCOMPARE(grid.rowCount(), 3);
        auto* school = Find<QLineEdit>(w, QStringLiteral("RegisterSchool"));
        school->setText(QStringLiteral("实验中学"));
        Q_EMIT school->editingFinished();
        QCOMPARE(LoadRegisterSettings(rig.folder),
                 (RegisterSettings{9, QStringLiteral("实验中学")}));

        const QString pdf = rig.dir.filePath("月报");
        rig.dialogs.setNextAnswer(pdf);
        QVERIFY(page->exportPdf());
        QVERIFY(QFileInfo(pdf + ".pdf").size() > 0);
        rig.dialogs.setNextAnswer(rig.dir.filePath("月报.xlsx"));
        QVERIFY(page->exportWorkbook());
        QCOMPARE(OpenWorkbook(rig.dir.filePath("月报.xlsx"))->sheetCount(), 1);

        Find<QPushButton>(w, QStringLiteral("RegisterBack"))->click();
        QVERIFY(!page->isVisible());
        QVERIFY(Find<QWidget>(w, QStringLiteral("MSTJ"))->isVisible());

        // The personal centre's own person, and nobody while nobody is loaded.
        Find<QPushButton>(w, QStringLiteral("RegisterButton"))->click();
        w.statisticsPanel()->showFor(false, 3);
        QCOMPARE(grid.rowCount(), 1);
        QCOMPARE(grid.text(0, 0), session.station().roster().person(3).name);
        QCOMPARE(page->parts().front().title,
                 QStringLiteral("姓名：") + session.station().roster().person(3).name);
        w.statisticsPanel()->showFor(false, 0);
        QCOMPARE(grid.rowCount(), 0);
    }
};

QTEST_MAIN(TestRegisterOutput)
#include "TestRegisterOutput.moc"
