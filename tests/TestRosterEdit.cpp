#include <QTest>

#include "common/datetime.h"
#include "core/rosteredit.h"
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
    RosterStore roster{folder, [this] { return RosterDisplay{&schema, {0, 1}, today}; }};
    Rig() {
        schema.choiceCounts = {3, 2, 2};
        schema.choiceElements[0][0] = QStringLiteral("教师");
        schema.choiceElements[0][1] = QStringLiteral("学生");
        schema.choiceElements[0][2] = QStringLiteral("职员");
        schema.twoValueLabels[1] = QStringLiteral("走读");
        schema.twoValueLabels[8] = QStringLiteral("住校");
        Must(roster.open());
        PersonRecord p;
        p.name = QStringLiteral("王芳");
        p.flags = 0b101;  // bit 0 (男) and field 20's bit
        Must(roster.store(7, p));
    }
    RosterEdit edit() { return RosterEdit(roster); }
    PersonRecord stored() {
        return DecodePersonRecord(ReadAll(folder.roster()).mid(6 * 256, 256)).record;
    }
};

}  // namespace

class TestRosterEdit : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void fixedPoint_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<qint64>("value");  // -1: refused
        QTest::newRow("card") << "3000137" << qint64(30001370000);
        QTest::newRow("blanks around") << "  42 " << qint64(420000);
        QTest::newRow("fraction") << "12.5" << qint64(125000);
        QTest::newRow("negative") << "-0.0001" << qint64(-1);
        QTest::newRow("rounded") << "1.00005" << qint64(10000);
        QTest::newRow("rounded up") << "1.00015" << qint64(10002);
        QTest::newRow("leading zeros") << "007" << qint64(70000);
        QTest::newRow("twelve digits") << "999999999999" << qint64(9999999999990000);
        QTest::newRow("letters") << "12a" << qint64(-1);
        QTest::newRow("empty") << "" << qint64(-1);
        QTest::newRow("only a point") << "." << qint64(-1);
        QTest::newRow("too large") << "9999999999999999" << qint64(-1);
        QTest::newRow("full-width digits") << "１２" << qint64(-1);
    }
    void fixedPoint() {
        QFETCH(QString, text);
        QFETCH(qint64, value);
        const std::optional<qint64> got = ParseFixedPoint(text);
        if (value == -1 && text != "-0.0001")
            QVERIFY(!got);
        else
            QCOMPARE(got.value_or(-999), value);
    }

    void commitsChangeOneRecord() {
        Rig rig;
        RosterEdit edit = rig.edit();
        QCOMPARE(edit.commitNumber(7, 1, "3000137").cellText, "3000137");
        QCOMPARE(edit.commitNumber(7, 13, "12.5").cellText, "12.5");
        QCOMPARE(edit.commitText(7, 2, "  李娜 ").cellText, "李娜");
        QCOMPARE(edit.commitText(7, 7, "初二(3)班").cellText, "初二(3)班");
        QCOMPARE(edit.commitChoice(7, 9, 2, "职员").cellText, "职员");
        QCOMPARE(edit.commitDate(7, 5, QDate(2016, 12, 8)).cellText, "10.0");
        const PersonRecord p = rig.stored();
        QCOMPARE(p, rig.roster.person(7));
        QCOMPARE(p.cardNumber, qint64(30001370000));
        QCOMPARE(p.numbers[1], qint64(125000));
        QCOMPARE(p.name, "李娜");
        QCOMPARE(p.texts[1], "初二(3)班");
        QCOMPARE(p.choices[0], qint16(2));
        QCOMPARE(p.secondDate, DateToOle(QDate(2016, 12, 8)));
        // The other slots are untouched.
        QCOMPARE(ReadAll(rig.folder.roster()).size(), 7 * 256);
    }

    void twoValuedFieldsChangeOnlyTheirBit_data() {
        QTest::addColumn<int>("field");
        QTest::addColumn<int>("choice");
        QTest::addColumn<int>("flags");
        QTest::newRow("sex to 女") << 4 << 0 << 0b100;
        QTest::newRow("field 20 to its first label") << 20 << 0 << 0b001;
        QTest::newRow("field 19 to its second label") << 19 << 1 << 0b111;
        QTest::newRow("field 25 set") << 25 << 1 << 0b10000101;
    }
    void twoValuedFieldsChangeOnlyTheirBit() {
        QFETCH(int, field);
        QFETCH(int, choice);
        QFETCH(int, flags);
        Rig rig;
        QCOMPARE(rig.edit().commitChoice(7, field, choice, "x").result, EditResult::Stored);
        QCOMPARE(int(rig.stored().flags), flags);
    }

    void refusals() {
        Rig rig;
        RosterEdit edit = rig.edit();
        const PersonRecord before = rig.roster.person(7);
        QCOMPARE(edit.commitNumber(7, 12, "13800138000x").result, EditResult::NotANumber);
        // Five texts may hold 159 bytes of code page 936 between them.
        QCOMPARE(edit.commitText(7, 6, QString(70, u'长')).result, EditResult::Stored);
        QCOMPARE(edit.commitText(7, 7, QString(10, u'长')).result, EditResult::TooLong);
        QCOMPARE(rig.roster.person(7).texts[1], QString());
        QCOMPARE(rig.stored().texts[0], QString(70, u'长'));
        QCOMPARE(edit.commitText(7, 2, "x").result, EditResult::Stored);
        QCOMPARE(edit.commitNumber(0, 1, "1").result, EditResult::NotEditable);
        QCOMPARE(edit.commitText(7, 1, "1").result, EditResult::NotEditable);
        rig.roster.close();
        QCOMPARE(edit.commitText(7, 8, "y").result, EditResult::NotStored);
        QCOMPARE(rig.roster.person(7).texts[2], QString());
        Q_UNUSED(before);
    }

    void yearsBox_data() {
        QTest::addColumn<QString>("years");
        QTest::addColumn<QDate>("date");
        QTest::addColumn<bool>("reset");
        // 3652.5 days back lands at noon; the date part is the day before.
        QTest::newRow("ten years") << "10" << QDate(2016, 12, 7) << false;
        QTest::newRow("a quarter") << "0.25" << QDate(2026, 9, 7) << false;
        QTest::newRow("future") << "-1" << QDate(2027, 12, 8) << false;
        QTest::newRow("too many") << "901" << QDate(2026, 12, 8) << true;
        QTest::newRow("text") << "abc" << QDate(2026, 12, 8) << false;
    }
    void yearsBox() {
        QFETCH(QString, years);
        QFETCH(QDate, date);
        QFETCH(bool, reset);
        const YearsToDate got = DateFromYearsText(years, QDate(2026, 12, 8));
        QCOMPARE(got.date, date);
        QCOMPARE(got.reset, reset);
    }

    void dateParts() {
        const QDate today(2026, 12, 8);
        QCOMPARE(YearsTextFromDate(2016, 12, 8, today), "10.00");
        QCOMPARE(YearsTextFromDate(2026, 12, 8, today), "0.00");
        // 31 February rolls over into March, as a date built from parts does.
        QCOMPARE(YearsTextFromDate(2025, 2, 31, today), YearsTextFromDate(2025, 3, 3, today));
    }

    void findChoiceElement() {
        Schema s = Schema::Defaults();
        s.choiceElements[1][0] = QStringLiteral("甲");
        s.choiceElements[1][40] = QStringLiteral("乙    ");  // beyond the count still counts
        QCOMPARE(FindChoiceElement(s, "乙", 1), 40);
        QCOMPARE(FindChoiceElement(s, "甲", 1), 0);
        QCOMPARE(FindChoiceElement(s, "丙", 1), 0);
        QCOMPARE(FindChoiceElement(s, "乙", 0), 0);
    }

    void sortKinds() {
        QList<int> kinds;
        for (int c = 0; c <= 25; ++c) kinds << RosterSortKind(c);
        QCOMPARE(kinds, (QList<int>{7, 3, 7, 3, 7, 3, 7, 7, 7, 7, 7, 7, 3,
                                    3, 3, 3, 3, 3, 3, 7, 7, 7, 7, 7, 7, 7}));
    }
};

QTEST_GUILESS_MAIN(TestRosterEdit)
#include "TestRosterEdit.moc"
