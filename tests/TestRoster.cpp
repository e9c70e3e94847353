#include <QTest>

#include "common/datetime.h"
#include "core/format/daystatus.h"
#include "core/format/schema.h"
#include "core/roster.h"
#include "models/textgridmodel.h"
#include "must.h"
#include "testsupport.h"

using namespace tallyra;
using namespace tallyra::test;

namespace {
PersonRecord Person(const QString& name, qint64 card) {
    PersonRecord p;
    p.name = name;
    p.cardNumber = card * 10000;
    return p;
}

void WriteRoster(const DataFolder& folder, const QList<QPair<int, PersonRecord>>& people) {
    RosterFile file;
    QVERIFY(file.open(folder));
    for (const auto& [index, person] : people)
        QCOMPARE(file.write(index, person), WriteResult::Written);
}
}  // namespace

class TestRoster : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void goldenBytes() {
        PersonRecord p = Person("张三", 12345678);
        p.firstDate = 41716.0;
        p.flags = 0x03;
        p.secondDate = 2.5;
        p.texts = {"ab", "", "中"};
        p.numbers[0] = -15000;  // -1.5
        p.choices = {1, -1, 63};
        p.personalPassword = "pw";
        const QByteArray slot = EncodePersonRecord(p).value();
        QCOMPARE(slot.size(), 256);
        QByteArray expected;
        expected += QByteArray("\x04\x00\xd5\xc5\xc8\xfd", 6);          // name
        expected += QByteArray("\xe0\xf6\x98\xbe\x1c\x00\x00\x00", 8);  // 123456780000
        expected += QByteArray("\x00\x00\x00\x00\x80\x5e\xe4\x40", 8);  // 41716.0
        expected += QByteArray("\x03", 1);                              // flags
        expected += QByteArray("\x00\x00\x00\x00\x00\x00\x04\x40", 8);  // 2.5
        expected += QByteArray(
            "\x02\x00"
            "ab"
            "\x00\x00"
            "\x02\x00\xd6\xd0",
            10);
        expected += QByteArray("\x68\xc5\xff\xff\xff\xff\xff\xff", 8);  // -15000
        expected += QByteArray(48, '\0');                               // numbers 2-7
        expected += QByteArray("\x01\x00\xff\xff\x3f\x00", 6);          // choices
        expected += QByteArray("\x02\x00pw", 4);
        QCOMPARE(slot.left(expected.size()), expected);
        QCOMPARE(slot.mid(expected.size()), QByteArray(256 - expected.size(), '\0'));
        QCOMPARE(DecodePersonRecord(slot).record, p);
    }

    void textLimit_data() {
        QTest::addColumn<int>("asciiBytes");
        QTest::addColumn<bool>("stored");
        QTest::newRow("exactly 159") << 159 << true;
        QTest::newRow("160 refused") << 160 << false;
    }
    void textLimit() {
        QFETCH(int, asciiBytes);
        QFETCH(bool, stored);
        PersonRecord p = Person(QString(asciiBytes - 100, 'n'), 1);
        p.texts[2] = QString(50, 't');
        p.personalPassword = QString(50, 'p');
        QCOMPARE(RecordTextBytes(p), asciiBytes);
        QCOMPARE(EncodePersonRecord(p).has_value(), stored);
        // Chinese characters count two bytes each.
        p = Person(QString(80, u'中'), 1);
        QVERIFY(!EncodePersonRecord(p).has_value());
    }

    void refusedWriteLeavesSlot() {
        QTemporaryDir dir;
        DataFolder folder(dir.path());
        WriteRoster(folder, {{3, Person("old", 7)}});
        RosterFile file;
        QVERIFY(file.open(folder));
        QCOMPARE(file.write(3, Person(QString(200, 'x'), 8)), WriteResult::TooLong);
        QCOMPARE(file.write(0, Person("a", 1)), WriteResult::BadIndex);
        QCOMPARE(file.write(5001, Person("a", 1)), WriteResult::BadIndex);
        const QByteArray all = ReadAll(folder.roster());
        QCOMPARE(all.size(), 3 * 256);
        QCOMPARE(DecodePersonRecord(all.mid(512)).record.name, QStringLiteral("old"));
    }

    void cardAndNumberTexts_data() {
        QTest::addColumn<qint64>("fixed");
        QTest::addColumn<QString>("card");
        QTest::addColumn<QString>("number");
        QTest::newRow("card") << qint64(123456780000) << "12345678"
                              << "12345678";
        QTest::newRow("zero") << qint64(0) << "0"
                              << "0";
        QTest::newRow("fraction") << qint64(125000) << "12"
                                  << "12.5";
        QTest::newRow("small fraction") << qint64(1) << "0"
                                        << "0.0001";
        QTest::newRow("negative fraction") << qint64(-5000) << "0"
                                           << "-0.5";
        QTest::newRow("negative") << qint64(-125000) << "-12"
                                  << "-12.5";
    }
    void cardAndNumberTexts() {
        QFETCH(qint64, fixed);
        QFETCH(QString, card);
        QFETCH(QString, number);
        QCOMPARE(CardText(fixed), card);
        QCOMPARE(FixedPointText(fixed), number);
    }

    void rosterCells() {
        Schema schema = Schema::Defaults();
        schema.choiceElements[0][2] = "教师";
        schema.twoValueLabels[1] = "在校";  // field 20 clear
        schema.twoValueLabels[8] = "离校";  // field 20 set
        const QDate today(2026, 12, 8);
        RosterDisplay display{&schema, {1, 0}, today};
        PersonRecord p = Person("李四", 42);
        p.firstDate = DateToOle(today.addDays(-400));
        p.secondDate = DateToOle(today.addDays(-1461));
        p.flags = 0b101;  // 男, field 19 clear, field 20 set
        p.texts[0] = "  住址  ";
        p.choices[0] = 2;
        p.choices[1] = 64;
        p.numbers[0] = 138001380000000;
        const QStringList row = RosterRowTexts(9, p, display);
        QCOMPARE(row.size(), 26);
        QCOMPARE(row[0], "9");
        QCOMPARE(row[1], "42");
        QCOMPARE(row[2], "李四");
        QCOMPARE(row[3], "1.1");
        QCOMPARE(row[4], "男");
        QCOMPARE(row[5], "4");
        QCOMPARE(row[6], "住址");
        QCOMPARE(row[9], "教师");
        QCOMPARE(row[10], "");  // element 64 does not exist
        QCOMPARE(row[12], "13800138000");
        QCOMPARE(row[19], "否");
        QCOMPARE(row[20], "离校");
    }

    void loadFillsBothGrids() {
        QTemporaryDir dir;
        DataFolder folder(dir.path());
        PersonRecord off = Person("不签到", 3);
        off.flags = 0x02;
        PersonRecord blank = Person("", 9);
        blank.texts[0] = "data without a name";
        WriteRoster(folder, {{1, Person("甲", 1)},
                             {2, Person("乙", 2)},
                             {7, Person("丙", 7)},
                             {4, off},
                             {5, blank},
                             {6, Person("   ", 6)}});
        DayStatusFile status;
        QCOMPARE(status.open(folder), DayStatusFile::OpenResult::Opened);
        Must(status.write(2, 0, -1));
        Must(status.write(2, 1, 5));
        Must(status.write(7, 5, 9999));

        Schema schema = Schema::Defaults();
        Roster roster;
        TextGridModel board(4, 9), grid(2, 26);
        RecordingNotifier notifier;
        const RosterLoadResult r =
            LoadRoster(folder, roster, RosterDisplay{&schema, {0, 0}, QDate(2026, 1, 1)},
                       RosterLoadTargets{&board, &grid, &status, &notifier, {}});
        QCOMPARE(board.rows(), 4 + 3);
        QCOMPARE(grid.rows(), 2 + 4);
        QCOMPARE(r.boardRows, 7);
        QCOMPARE(board.text(4, 0), "1");
        QCOMPARE(board.text(5, 0), "2");
        QCOMPARE(board.text(6, 0), "7");
        QCOMPARE(board.text(6, 1), "7");
        QCOMPARE(board.text(6, 2), "丙");
        QCOMPARE(board.text(5, 3), "√");
        QCOMPARE(board.text(5, 4), "○  5");
        QCOMPARE(board.text(6, 8), "×");
        QCOMPARE(board.text(4, 3), "");
        const QStringList rosterIndexes{grid.text(2, 0), grid.text(3, 0), grid.text(4, 0),
                                        grid.text(5, 0)};
        QCOMPARE(rosterIndexes, QStringList({"1", "2", "4", "7"}));
        QCOMPARE(roster.at(5).texts[0], "data without a name");
        QVERIFY(!roster.at(5).inUse());
        QVERIFY(!roster.at(6).inUse());
        QCOMPARE(notifier.notices, QStringList{"数据已经载入完毕"});
    }

    void missingFileIsEmpty() {
        QTemporaryDir dir;
        Roster roster;
        TextGridModel board(4, 9), grid(2, 26);
        roster.at(3).name = "stale";
        LoadRoster(DataFolder(dir.path()), roster, {}, RosterLoadTargets{&board, &grid});
        QCOMPARE(board.rows(), 4);
        QCOMPARE(grid.rows(), 2);
        QVERIFY(!roster.at(3).inUse());
    }
};

QTEST_GUILESS_MAIN(TestRoster)
#include "TestRoster.moc"
