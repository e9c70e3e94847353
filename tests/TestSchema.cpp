#include <QTest>

#include "core/format/schema.h"
#include "testsupport.h"

using namespace tallyra;
using namespace tallyra::test;

class TestSchema : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void roundTrip() {
        QTemporaryDir dir;
        DataFolder folder(dir.path());
        Schema s = Schema::Defaults();
        s.titles[6] = " 班级 ";
        s.enabled[6] = 1;
        s.twoValueLabels[6] = "关";   // first label of field 25
        s.twoValueLabels[13] = "开";  // second label of field 25
        s.choiceCounts = {10, 2, 64};
        QVERIFY(SaveSchema(folder, s));
        Schema back;
        LoadSchema(folder, back);
        s.titles[6] = "班级";  // read back trimmed
        QCOMPARE(back.titles, s.titles);
        QCOMPARE(back.enabled, s.enabled);
        QCOMPARE(back.twoValueLabels, s.twoValueLabels);
        QCOMPARE(back.choiceCounts, s.choiceCounts);
    }

    void goldenPositions() {
        QTemporaryDir dir;
        DataFolder folder(dir.path());
        Schema s;
        s.titles[1] = "姓名";
        s.enabled[24] = 1;
        s.choiceCounts = {0x0102, 0, 0x0304};
        s.twoValueLabels[0] = "A";   // first label of field 19
        s.twoValueLabels[13] = "Z";  // second label of field 25
        QVERIFY(SaveSchema(folder, s));
        const QByteArray b = ReadAll(folder.schema());
        QCOMPARE(b.mid(48, 24),
                 QByteArray("\xd0\xd5\xc3\xfb") + QByteArray(20, ' '));  // field 2 at 49
        QCOMPARE(b.at(1225 - 1), '\x01');                                // enabled of 25
        QCOMPARE(b.mid(1267 - 1, 2), QByteArray("\x02\x01", 2));
        QCOMPARE(b.mid(1271 - 1, 2), QByteArray("\x04\x03", 2));
        QCOMPARE(b.mid(1517 - 1, 6), QByteArray("A     "));
        QCOMPARE(b.mid(1889 - 1, 6), QByteArray("Z     "));
        QCOMPARE(b.size(), 1894);
    }

    void shortFileReadsEmpty() {
        QTemporaryDir dir;
        DataFolder folder(dir.path());
        WriteAll(folder.schema(), QByteArray("\xbf\xa8\xba\xc5"));  // "卡号", the rest missing
        Schema s = Schema::Defaults();
        LoadSchema(folder, s);
        QCOMPARE(s.titles[0], "卡号");
        QCOMPARE(s.titles[1], "");
        QCOMPARE(s.enabled[0], 0);
        QCOMPARE(s.choiceCounts[0], 0);
    }

    void elementFiles() {
        QTemporaryDir dir;
        DataFolder folder(dir.path());
        QCOMPARE(QFileInfo(folder.choiceList(9)).fileName(), "enids8.dat");
        QCOMPARE(QFileInfo(folder.choiceList(11)).fileName(), "enids10.dat");
        Schema s;
        for (int e = 0; e < 10; ++e) s.choiceElements[0][e] = QString("元素%1").arg(e);
        s.choiceCounts[0] = 5;  // cut to 5: elements 5-9 keep their text
        QVERIFY(SaveChoiceList(folder, s, 9));
        QCOMPARE(ReadAll(folder.choiceList(9)).size(), 48 * 63 + 24);
        Schema back;
        LoadChoiceList(folder, back, 9);
        QCOMPARE(back.choiceElements[0][7], "元素7");
        QCOMPARE(back.choiceElement(9, 7), "元素7");
        QCOMPARE(back.choiceElement(9, -1), "");
        QCOMPARE(back.choiceElement(9, 64), "");
    }
};

QTEST_APPLESS_MAIN(TestSchema)
#include "TestSchema.moc"
