#include <QTest>
#include <map>

#include "common/datetime.h"
#include "common/text.h"
#include "core/format/schema.h"
#include "core/rosterimport.h"
#include "fakeworkbook.h"
#include "must.h"
#include "testsupport.h"

using namespace tallyra;
using namespace tallyra::test;

namespace {

struct Rig {
    QTemporaryDir dir;
    DataFolder folder{dir.path()};
    Schema schema = Schema::Defaults();
    QDate today{2026, 12, 8};
    RosterStore roster{folder, [this] { return RosterDisplay{&schema, {-1, -1}, today}; }};
    TextGridModel grid{2, 26};
    RecordingNotifier notifier;
    QStringList critical;
    Rig() {
        Must(roster.open());
        schema.enabled = {};
        for (int f : {1, 2, 3, 4, 9, 19}) schema.enabled[size_t(f - 1)] = 1;
        schema.choiceElements[0][0] = QStringLiteral("教师");
        schema.choiceElements[0][1] = QStringLiteral("学生");
        schema.twoValueLabels[0] = QStringLiteral("否");
        schema.twoValueLabels[7] = QStringLiteral("是");
    }
    ImportResult run(const Workbook* wb) {
        ImportTargets t{&roster, &grid, &notifier, [this](const QString& s) { critical << s; }};
        return ImportRosterSpreadsheet(wb, t);
    }
};

}  // namespace

class TestImport : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void headerPlacement_data() {
        QTest::addColumn<int>("sheet");
        QTest::addColumn<int>("row");
        QTest::addColumn<QStringList>("header");
        QTest::newRow("sheet 2 row 3, any order")
            << 2 << 3 << QStringList{"年龄", "", "姓名", "卡号", "性别", "职务", "启用状态"};
        QTest::newRow("blanks inside a title")
            << 1 << 1 << QStringList{" 姓 名 ", "卡号", "年龄", "性别", "职务", "启用状态"};
        QTest::newRow("a pattern in the cell")
            << 1 << 5 << QStringList{"姓*", "卡?", "年龄", "性别", "职务", "启用状态"};
    }
    void headerPlacement() {
        QFETCH(int, sheet);
        QFETCH(int, row);
        QFETCH(QStringList, header);
        FakeWorkbook wb;
        wb.row(1, 1, {"说明"});
        wb.row(sheet, row, header);
        QStringList person(header.size());
        for (int c = 0; c < header.size(); ++c) {
            const QString h = ReplaceAll(header[c], " ", "");
            if (h == "年龄") person[c] = "30";
            if (h.startsWith(u'姓')) person[c] = "王芳";
            if (h.startsWith(u'卡')) person[c] = "3000137";
            if (h == "性别") person[c] = "女";
            if (h == "职务") person[c] = "学生";
            if (h == "启用状态") person[c] = "是";
        }
        wb.row(sheet, row + 1, person);
        Rig rig;
        PersonRecord there;
        there.name = QStringLiteral("已有");
        Must(rig.roster.store(1, there));
        const ImportResult r = rig.run(&wb);
        QCOMPARE(r.headerSheet, sheet);
        QCOMPARE(r.headerRow, row);
        QCOMPARE(r.imported, 1);
        QCOMPARE(rig.notifier.notices, QStringList{"导入成功"});
        const PersonRecord& p = rig.roster.person(2);  // the lowest free entry
        QCOMPARE(p.name, "王芳");
        QCOMPARE(p.cardNumber, qint64(30001370000));
        QCOMPARE(p.firstDate, DateToOle(rig.today) - 10957.5);
        QCOMPARE(int(p.flags), 0b10);  // 女 and 启用状态 是
        QCOMPARE(p.choices[0], qint16(1));
        QCOMPARE(DecodePersonRecord(ReadAll(rig.folder.roster()).mid(256, 256)).record, p);
        QCOMPARE(rig.grid.rows(), 3);
        QCOMPARE(rig.grid.text(2, 0), "2");
        QCOMPARE(rig.grid.text(2, 3), "30");  // the sheet's text, not the stored date
    }

    void notFoundAndTheSexRule() {
        FakeWorkbook wb;
        wb.row(1, 1, {"姓名", "性别", "姓名"});
        wb.row(1, 2, {"甲", "女", "x"});
        wb.row(1, 3, {"乙", "男", ""});
        wb.row(1, 4, {"丙", "", ""});
        wb.row(1, 5, {"丁", "其他", ""});
        wb.row(1, 7, {"after the empty row", "", ""});
        Rig rig;
        rig.run(&wb);
        QCOMPARE(rig.notifier.notices,
                 (QStringList{"未找到“卡号”项", "未找到“年龄”项", "未找到“职务”项",
                              "未找到“启用状态”项", "导入成功"}));
        QCOMPARE(rig.grid.rows(), 2 + 4);
        QCOMPARE(int(rig.roster.person(1).flags), 0);
        for (int i : {2, 3, 4}) QCOMPARE(int(rig.roster.person(i).flags), 1);
        QCOMPARE(rig.roster.person(1).firstDate, DateToOle(rig.today));  // no age: today
    }

    void aTitleOnlyInAnotherRowIsNotFound() {
        // Row 1 has 卡号 and 年龄, row 2 beats it with three other titles: 卡号 must not be
        // read from row 1's column in the data.
        FakeWorkbook wb;
        wb.row(1, 1, {"", "", "", "卡号", "年龄"});
        wb.row(1, 2, {"姓名", "性别", "职务"});
        wb.row(1, 3, {"甲", "男", "教师", "777", "40"});
        Rig rig;
        rig.run(&wb);
        QVERIFY(rig.notifier.notices.contains("未找到“卡号”项"));
        QCOMPARE(rig.roster.person(1).cardNumber, qint64(0));
    }

    void nothingMatches_data() {
        QTest::addColumn<bool>("readable");
        QTest::newRow("no title anywhere") << true;
        QTest::newRow("not a workbook") << false;
    }
    void nothingMatches() {
        QFETCH(bool, readable);
        FakeWorkbook wb;
        wb.row(1, 1, {"foo", "bar"});
        wb.row(1, 2, {"1", "2"});
        Rig rig;
        rig.run(readable ? &wb : nullptr);
        // A file that is no workbook is said to be one, not blamed on its titles.
        QCOMPARE(rig.notifier.notices,
                 QStringList{readable ? "导入失败，请规范电子表格内名称字段与对应标题相同。"
                                      : "导入失败，无法读取该电子表格：不是电子表格"});
        QCOMPARE(rig.grid.rows(), 2);
        QVERIFY(ReadAll(rig.folder.roster()).isEmpty());
    }

    // Rows are all read before the first is stored: a workbook found damaged on the way
    // leaves the roster as it was; a cancel keeps the rows stored and says how many.
    void damagedOrCancelledOnTheWay_data() {
        QTest::addColumn<int>("damagedFromRow");
        QTest::addColumn<int>("cancelAfter");
        QTest::addColumn<int>("imported");
        QTest::addColumn<QString>("notice");
        QTest::newRow("damaged") << 4 << -1 << 0 << "导入失败，无法读取该电子表格：电子表格已损坏";
        QTest::newRow("cancelled") << 0 << 2 << 2 << "导入已取消，已导入2人";
    }
    void damagedOrCancelledOnTheWay() {
        QFETCH(int, damagedFromRow);
        QFETCH(int, cancelAfter);
        QFETCH(int, imported);
        QFETCH(QString, notice);
        FakeWorkbook wb;
        wb.row(1, 1, {"姓名"});
        for (int r = 2; r <= 6; ++r) wb.row(1, r, {QStringLiteral("P%1").arg(r)});
        wb.damagedFromRow = damagedFromRow;
        Rig rig;
        ImportTargets t{&rig.roster, &rig.grid, &rig.notifier, {}};
        const ImportResult r = ImportRosterSpreadsheet(
            &wb, t, [&](qint64 done, qint64 total) { return total == 0 || done < cancelAfter; });
        QCOMPARE(r.imported, imported);
        QCOMPARE(rig.notifier.notices.last(), notice);
        QCOMPARE(rig.grid.rows(), 2 + imported);
        QCOMPARE(ReadAll(rig.folder.roster()).size(), imported * 256);
    }

    void stopsWhenTheRosterIsFull() {
        FakeWorkbook wb;
        wb.row(1, 1, {"姓名"});
        for (int r = 2; r <= 5; ++r) wb.row(1, r, {QStringLiteral("P%1").arg(r)});
        Rig rig;
        PersonRecord taken;
        taken.name = QStringLiteral("X");
        for (int i = 1; i <= kRosterSize; ++i)
            if (i != 4998 && i != 5000) Must(rig.roster.store(i, taken));
        rig.run(&wb);
        QCOMPARE(rig.roster.person(4998).name, "P2");
        QCOMPARE(rig.roster.person(5000).name, "P3");
        QVERIFY(rig.notifier.notices.contains("人员已满5000人，未导入完成.行:4"));
        QCOMPARE(rig.notifier.notices.last(), "导入成功");
        QCOMPARE(rig.grid.rows(), 4);
    }

    void gridLimit() {
        FakeWorkbook wb;
        wb.row(1, 1, {"姓名"});
        for (int r = 2; r <= 20; ++r) wb.row(1, r, {QStringLiteral("P%1").arg(r)});
        Rig rig;
        rig.grid.setRows(4990);
        rig.run(&wb);
        QCOMPARE(rig.grid.rows(), 5000);
        QCOMPARE(rig.critical, QStringList{"到达数据记录上限，未导入完成.行:12"});
        QCOMPARE(rig.notifier.notices.last(), "导入成功");
    }

    void rowsARecordCannotHoldAreRefused() {
        FakeWorkbook wb;
        wb.row(1, 1, {"姓名", "住址", "卡号", "年龄"});
        wb.row(1, 2, {"甲", QString(200, u'长')});
        wb.row(1, 3, {"丙", "", "1E+20"});           // no card holds it
        wb.row(1, 4, {"丁", "", "", "2010-05-01"});  // an age of 2010 years: before the year 100
        wb.row(1, 5, {"乙", "短", "922337203685", "-30"});
        wb.row(1, 6, {"吉𠮷祥", "", "5"});         // stored as "?" it would read 吉?祥
        wb.row(1, 7, {"戊", "", "922337203685"});  // 乙's card: kept, and said
        Rig rig;
        rig.schema.enabled[5] = 1;
        rig.run(&wb);
        QCOMPARE(rig.notifier.notices,
                 (QStringList{"未找到“性别”项", "未找到“职务”项", "未找到“启用状态”项",
                              "第2行文字过长，未导入", "第3行数字超出范围，未导入",
                              "第4行数字超出范围，未导入",
                              "第6行文字“𠮷”无法保存，请改用其他文字，未导入",
                              "第7行卡号与“乙”重复", "导入成功"}));
        QCOMPARE(rig.roster.person(1).name, "乙");
        QCOMPARE(rig.roster.person(1).cardNumber, qint64(9223372036850000));
        QCOMPARE(rig.roster.person(2).name, "戊");
        QCOMPARE(rig.roster.person(3).name, "");
    }
};

QTEST_GUILESS_MAIN(TestImport)
#include "TestImport.moc"
