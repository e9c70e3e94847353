#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTest>

#include "hostsystem.h"
#include "models/textgridmodel.h"

using namespace tallyra;
using tallyra::test::UnderWine;

namespace {
QStringList Column(const TextGridModel& g, int c) {
    QStringList out;
    for (int r = 0; r < g.rows(); ++r) out << g.text(r, c);
    return out;
}
}  // namespace

class TestTextGridModel : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void modelContract() {
        TextGridModel grid(2, 3);
        QAbstractItemModelTester tester(&grid,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        grid.setText(0, 1, "head");
        grid.setRows(10);
        grid.setRowTexts(5, {"a", "b", "c", "ignored"});
        grid.beginBulkUpdate();
        grid.setRows(4);
        grid.setText(3, 2, "x");
        grid.endBulkUpdate();
        grid.sortRows(1, 3, 2, 2, TextGridModel::TextDescending);
        grid.setRows(0);
        QCOMPARE(grid.rowCount(), 0);
    }

    void cellsOutsideAreIgnored() {
        TextGridModel grid(2, 2);
        grid.setText(5, 0, "x");
        grid.setText(0, -1, "x");
        QCOMPARE(grid.text(5, 0), QString());
        QCOMPARE(grid.text(-1, 0), QString());
        grid.setRows(3);
        QCOMPARE(grid.text(2, 1), QString());
    }

    void sortCodes_data() {
        QTest::addColumn<int>("code");
        QTest::addColumn<QStringList>("expected");
        const QStringList start{"head", "10", "9", "b", "B", "", "9"};
        QTest::newRow("numeric ascending")
            << 3 << QStringList{"head", "b", "B", "", "9", "9", "10"};
        QTest::newRow("numeric descending")
            << 4 << QStringList{"head", "10", "9", "9", "b", "B", ""};
        // Collation keeps case apart but puts a letter's two cases side by side.
        QTest::newRow("text ascending") << 7 << QStringList{"head", "", "10", "9", "9", "b", "B"};
        QTest::newRow("text descending") << 8 << QStringList{"head", "B", "b", "9", "9", "10", ""};
        QTest::newRow("unknown code") << 5 << start;
    }
    void chineseNamesSortByPinyin() {
        if (UnderWine()) QSKIP("Wine collates without Windows' pinyin order");
        const QStringList names{"张伟", "李娜", "王芳", "陈静", "李白"};
        TextGridModel grid(int(names.size()), 1);
        for (int r = 0; r < names.size(); ++r) grid.setText(r, 0, names[r]);
        grid.sortRows(0, grid.rows() - 1, 0, 0, TextGridModel::TextAscending);
        QCOMPARE(Column(grid, 0), (QStringList{"陈静", "李白", "李娜", "王芳", "张伟"}));
    }

    void sortCodes() {
        QFETCH(int, code);
        QFETCH(QStringList, expected);
        if ((code == 7 || code == 8) && UnderWine()) QSKIP("Wine collates without Windows' rules");
        const QStringList start{"head", "10", "9", "b", "B", "", "9"};
        TextGridModel grid(int(start.size()), 2);
        for (int r = 0; r < start.size(); ++r) {
            grid.setText(r, 0, start[r]);
            grid.setText(r, 1, QString::number(r));
        }
        grid.setCurrentCell(1, 0);
        grid.setSelectionEnd(int(start.size()) - 1, 0);
        grid.sortSelection(code);
        QCOMPARE(Column(grid, 0), expected);
        // Whole rows move: column 1 still belongs to its key.
        for (int r = 0; r < grid.rows(); ++r)
            QCOMPARE(grid.text(r, 0), start[grid.text(r, 1).toInt()]);
    }

    void equalKeysKeepTheirOrder() {
        TextGridModel grid(5, 2);
        const QStringList keys{"1", "2", "1", "2", "1"};
        for (int r = 0; r < 5; ++r) grid.setRowTexts(r, {keys[r], QString::number(r)});
        grid.sortRows(0, 4, 0, 0, TextGridModel::NumericDescending);
        QCOMPARE(Column(grid, 1), QStringList({"1", "3", "0", "2", "4"}));
    }

    void hiddenRowMovesWithItsRow() {
        TextGridModel grid(4, 1);
        grid.setRowTexts(1, {""});
        grid.setRowHeight(1, 0);
        grid.setRowTexts(2, {"b"});
        grid.setRowTexts(3, {"a"});
        grid.sortRows(1, 3, 0, 0, TextGridModel::TextDescending);
        QCOMPARE(Column(grid, 0), QStringList({"", "b", "a", ""}));
        QCOMPARE(grid.rowHeight(3), 0);
        QCOMPARE(grid.rowHeight(1), TextGridModel::kDefaultWidth);
    }

    void widthsAndSignals() {
        TextGridModel grid(2, 3);
        QSignalSpy widths(&grid, &TextGridModel::columnWidthChanged);
        grid.setColumnWidth(1, 1500);
        grid.setColumnWidth(2, -40);
        grid.setColumnWidth(7, 10);
        QCOMPARE(grid.columnWidth(1), 1500);
        QCOMPARE(grid.columnWidth(2), TextGridModel::kDefaultWidth);
        QCOMPARE(widths.count(), 2);
    }

    void currentCellIsClamped() {
        TextGridModel grid(3, 3);
        grid.setCurrentCell(10, -2);
        QCOMPARE(grid.row(), 2);
        QCOMPARE(grid.col(), 0);
        QCOMPARE(grid.rowSel(), 2);
        grid.setRows(1);
        QCOMPARE(grid.row(), 0);
    }
};

QTEST_GUILESS_MAIN(TestTextGridModel)
#include "TestTextGridModel.moc"
