#include <QApplication>
#include <QTest>

#include "core/textgridmodel.h"
#include "gui/gridview.h"

using namespace tallyra;

class TestGridView : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void twipsAndHiddenSizes() {
        TextGridModel grid(5, 4);
        grid.setColumnWidth(0, 0);
        grid.setColumnWidth(1, 1500);
        grid.setRowHeight(3, 0);
        GridView view;
        view.setGrid(&grid);
        QVERIFY(view.isColumnHidden(0));
        QCOMPARE(view.columnWidth(1), 100);
        QCOMPARE(view.columnWidthTwips(1), 1500);
        QCOMPARE(view.columnWidthTwips(0), 0);
        QVERIFY(view.isRowHidden(3));
        grid.setColumnWidth(0, 300);  // widths set later reach the view too
        QVERIFY(!view.isColumnHidden(0));
        QCOMPARE(view.columnWidth(0), 20);
        grid.beginBulkUpdate();
        grid.setRows(10);
        grid.endBulkUpdate();
        QVERIFY(view.isRowHidden(3));
    }
};

QTEST_MAIN(TestGridView)
#include "TestGridView.moc"
