#include <QAbstractItemModelTester>
#include <QApplication>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

#include "gui/gridview.h"
#include "models/textgridmodel.h"

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

    // Another table is shown through a window of the rows that fit: the header row stays
    // above, the grid's scroll bar and the keys move the rows, a press names the table row.
    void tableOfAMillionRows() {
        struct Rows final : QAbstractTableModel {
            int rowCount(const QModelIndex& = {}) const override { return 1'000'001; }
            int columnCount(const QModelIndex& = {}) const override { return 2; }
            QVariant data(const QModelIndex& i, int role) const override {
                if (role != Qt::DisplayRole) return {};
                return i.row() == 0 ? QStringLiteral("head") : QString::number(i.row());
            }
        } table;
        GridView view;
        view.setFixedRows(1);
        view.setTable(&table);
        view.resize(300, 240);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        // The two proxies keep a model's promises while the rows move under them.
        using Tester = QAbstractItemModelTester;
        Tester rowsTester(view.model(), Tester::FailureReportingMode::QtTest);
        Tester headTester(view.fixedView()->model(), Tester::FailureReportingMode::QtTest);
        const int shown = view.model()->rowCount();
        QVERIFY(shown > 3 && shown < 20);
        QCOMPARE(view.fixedView()->model()->index(0, 1).data().toString(), "head");
        QCOMPARE(view.model()->index(0, 0).data().toString(), "1");
        QCOMPARE(view.rowScrollBar()->maximum(), 1'000'000 - shown);
        view.rowScrollBar()->setValue(view.rowScrollBar()->maximum());
        QCOMPARE(view.model()->index(shown - 1, 0).data().toString(), "1000000");
        view.rowScrollBar()->setValue(0);
        view.setCurrentIndex(view.model()->index(shown - 1, 0));
        QTest::keyClick(&view, Qt::Key_Down);
        QCOMPARE(view.rowScrollBar()->value(), 1);
        QCOMPARE(view.currentIndex().data().toString(), QString::number(shown + 1));
        QSignalSpy pressed(&view, &GridView::cellPressed);
        QTest::mouseClick(view.viewport(), Qt::LeftButton, {},
                          view.visualRect(view.model()->index(0, 0)).center());
        QCOMPARE(pressed.value(0).value(0).toInt(), 2);
    }
};

QTEST_MAIN(TestGridView)
#include "TestGridView.moc"
