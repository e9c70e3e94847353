#include <QTest>

#include "core/rosterrows.h"
#include "must.h"
#include "testsupport.h"

using namespace tallyra;
using namespace tallyra::test;

class TestRosterRows : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void addRowsAnswer_data() {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("count");  // 0: ask again
        QTest::newRow("one") << "1" << 2 << 1;
        QTest::newRow("1.6 rounds up") << "1.6" << 2 << 2;
        QTest::newRow("2.5 rounds to even") << "2.5" << 2 << 2;
        QTest::newRow("zero") << "0" << 2 << 0;
        QTest::newRow("negative") << "-2" << 2 << 0;
        QTest::newRow("no digits") << "abc" << 2 << 0;
        QTest::newRow("six characters") << "123456" << 2 << 0;
        QTest::newRow("five characters") << "  100" << 2 << 100;
        QTest::newRow("past 32000 rows") << "100" << 31901 << 0;
        QTest::newRow("up to 32000 rows") << "99" << 31901 << 99;
    }
    void addRowsAnswer() {
        QFETCH(QString, answer);
        QFETCH(int, rows);
        QFETCH(int, count);
        QCOMPARE(ParseAddRowsCount(answer, rows).value_or(0), count);
    }

    void addTakesTheFreeSlots() {
        QTemporaryDir dir;
        DataFolder folder(dir.path());
        RosterStore roster(folder);
        Must(roster.open());
        for (int i : {1, 2, 4}) {
            PersonRecord p;
            p.name = QStringLiteral("P%1").arg(i);
            Must(roster.store(i, p));
        }
        PersonRecord deleted;
        deleted.cardNumber = 777 * 10000;  // a deleted person's card
        deleted.texts[0] = QStringLiteral("旧住址");
        Must(roster.store(3, deleted));
        TextGridModel grid(2, 26);
        const AddedRows added = AddRosterRows(roster, grid, 3);
        QCOMPARE(added.added, 3);
        QCOMPARE(grid.rows(), 5);
        QCOMPARE((QStringList{grid.text(2, 0), grid.text(3, 0), grid.text(4, 0)}),
                 (QStringList{"3", "5", "6"}));
        QCOMPARE(grid.text(2, 1), QString());
        // The new person starts from nothing: the old card would sign them in.
        PersonRecord fresh;
        fresh.name = QStringLiteral("[NEW]");
        QCOMPARE(roster.person(3), fresh);
        QByteArray slot3 = ReadAll(folder.roster()).mid(2 * 256, 256);
        QCOMPARE(slot3, *EncodePersonRecord(fresh));
    }

    void addStopsWhenTheRosterIsFull() {
        QTemporaryDir dir;
        RosterStore roster{DataFolder(dir.path())};
        Must(roster.open());
        PersonRecord p;
        p.name = QStringLiteral("P");
        for (int i = 1; i <= kRosterSize; ++i)
            if (i != 4999) Must(roster.store(i, p));
        TextGridModel grid(2, 26);
        const AddedRows added = AddRosterRows(roster, grid, 3);
        QCOMPARE(added.added, 1);
        QVERIFY(added.rosterFull);
        QCOMPARE(grid.rows(), 3);
        QCOMPARE(grid.text(2, 0), "4999");
    }

    void deleteEitherDirection_data() {
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("to");
        QTest::newRow("top down") << 3 << 4;
        QTest::newRow("bottom up") << 4 << 3;
    }
    void deleteEitherDirection() {
        QFETCH(int, from);
        QFETCH(int, to);
        QTemporaryDir dir;
        RosterStore roster{DataFolder(dir.path())};
        TextGridModel grid(2, 26);
        Must(roster.open());
        AddRosterRows(roster, grid, 4);
        PersonRecord second = roster.person(2);
        second.cardNumber = 42 * 10000;
        Must(roster.store(2, second));
        Must(DeleteRosterRows(roster, grid, from, to));
        QCOMPARE(grid.rows(), 6);
        QCOMPARE(grid.text(2, 0), "1");
        QCOMPARE(grid.text(3, 0), QString());
        QCOMPARE(grid.text(4, 2), QString());
        QCOMPARE(grid.text(5, 0), "4");
        QVERIFY(!roster.person(2).inUse());
        QVERIFY(!roster.person(3).inUse());
        QCOMPARE(roster.person(2).cardNumber, 42 * 10000);  // only the name goes
        QVERIFY(roster.person(4).inUse());
    }
};

QTEST_GUILESS_MAIN(TestRosterRows)
#include "TestRosterRows.moc"
