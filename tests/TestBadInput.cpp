// Damaged data files of every kind: each has a defined result, never a crash or a read
// outside the data, and the folder check names what is wrong.
#include <QTest>
#include <cmath>
#include <cstring>

#include "core/format/datacheck.h"
#include "core/format/schema.h"
#include "core/format/settings.h"
#include "core/format/yearlog.h"
#include "core/rollover.h"
#include "core/roster.h"
#include "core/timewindows.h"
#include "models/textgridmodel.h"
#include "testsupport.h"

using namespace tallyra;
using namespace tallyra::test;

namespace {

QByteArray F64(double v) {
    QByteArray b(8, '\0');
    std::memcpy(b.data(), &v, 8);
    return b;
}
QByteArray F32(float v) {
    QByteArray b(4, '\0');
    std::memcpy(b.data(), &v, 4);
    return b;
}

// A roster slot: name "甲", card 5, then whatever `tail` holds from the first date on.
QByteArray Slot(const QByteArray& afterCard) {
    QByteArray b = QByteArray("\x02\x00\xbc\xd7", 4) +
                   QByteArray("\x50\xc3\x00\x00\x00\x00\x00\x00", 8) + afterCard;
    ResizeZeroed(b, 256);
    return b;
}

QByteArray WithAt(QByteArray base, int position, const QByteArray& bytes) {
    if (base.size() < position - 1 + bytes.size()) ResizeZeroed(base, position - 1 + bytes.size());
    base.replace(position - 1, bytes.size(), bytes);
    return base;
}

QString Summarise(const QString& kind, const DataFolder& folder) {
    const QDate today(2026, 12, 8);
    if (kind == "roster") {
        Schema schema = Schema::Defaults();
        Roster roster;
        TextGridModel board(4, 9), grid(2, 26);
        const auto r = LoadRoster(folder, roster, RosterDisplay{&schema, {0, 0}, today},
                                  RosterLoadTargets{&board, &grid});
        QStringList damaged;
        for (int i : r.damagedSlots) damaged << QString::number(i);
        QStringList cells;
        if (grid.rows() > 2)
            for (int c : {1, 2, 3, 6, 9}) cells << grid.text(2, c);
        return QString("rows %1/%2 damaged [%3] %4")
            .arg(board.rows())
            .arg(grid.rows())
            .arg(damaged.join(','))
            .arg(cells.join('|'));
    }
    if (kind == "settings") {
        const Settings s = LoadSettings(folder);
        return QString("pw '%1' popup %2 grid %3 decimals %4")
            .arg(s.adminPassword)
            .arg(double(s.popupFont.size))
            .arg(double(s.gridFont.size))
            .arg(s.yearsPrecision[0]);
    }
    if (kind == "time") {
        const TimeTable t = LoadTimeWindows(folder);
        const TodayWindows w = ComputeTodayWindows(t, 1);
        return QString("%1 set %2 today %3-%4 name %5")
            .arg(t.cellCaption(0))
            .arg(t.set[0])
            .arg(w.start(0))
            .arg(w.end(0))
            .arg(t.displayName(0));
    }
    if (kind == "log") {
        int all = 0, valid = 0;
        ReadYearLog(folder.yearLog(2026), [&](const YearLogRecord* r, size_t n) {
            for (size_t i = 0; i < n; ++i) all += 1, valid += r[i].hasValidIndex();
            return true;
        });
        return QString("records %1 valid %2").arg(all).arg(valid);
    }
    if (kind == "schema") {
        Schema s;
        LoadSchema(folder, s);
        return QString("title '%1' count %2").arg(s.titles[0]).arg(s.choiceCounts[0]);
    }
    return {};
}

QString FileOf(const QString& kind, const DataFolder& folder) {
    if (kind == "roster") return folder.roster();
    if (kind == "settings") return folder.settings();
    if (kind == "time") return folder.timeWindows();
    if (kind == "log") return folder.yearLog(2026);
    return folder.schema();
}

}  // namespace

class TestBadInput : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void damagedFiles_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("result");
        QTest::addColumn<bool>("flagged");  // the folder check reports it
        const double nan = std::nan("");
        const QByteArray goodDates = F64(46000.0) + QByteArray(1, '\0') + F64(46000.0);

        QTest::newRow("roster empty file")
            << "roster" << QByteArray() << "rows 4/2 damaged [] " << false;
        QTest::newRow("roster cut inside a slot")
            << "roster" << Slot(goodDates).left(20) << "rows 5/3 damaged [] 5|甲|0||" << true;
        QTest::newRow("roster text length past the slot")
            << "roster" << Slot(goodDates + QByteArray("\xff\x00", 2) + "abc")
            << "rows 5/3 damaged [1] 5|甲|0|abc|" << true;
        QTest::newRow("roster name length past the slot")
            << "roster"
            << QByteArray("\x10\x27", 2) + QByteArray(254, 'a')
            // A date never set (0) shows empty, not as 126 years.
            << "rows 5/3 damaged [1] 0|" + QString(254, 'a') + "|||" << true;
        QTest::newRow("roster nan date")
            << "roster" << Slot(F64(nan)) << "rows 5/3 damaged [] 5|甲|||" << true;
        QTest::newRow("roster huge date")
            << "roster" << Slot(F64(1e300)) << "rows 5/3 damaged [] 5|甲|||" << true;
        QTest::newRow("roster choice 70")
            << "roster"
            << WithAt(Slot(goodDates + QByteArray(6, '\0') + QByteArray(56, '\0')),
                      4 + 8 + 17 + 6 + 56 + 1, QByteArray("\x46\x00", 2))
            << "rows 5/3 damaged [] 5|甲|0||" << true;
        QTest::newRow("roster oversized file") << "roster" << Slot(goodDates).repeated(5001)
                                               << "rows 5004/5002 damaged [] 5|甲|0||" << true;

        QTest::newRow("settings empty")
            << "settings" << QByteArray() << "pw '' popup 0 grid 0 decimals 0" << false;
        QTest::newRow("settings nan font sizes")
            << "settings"
            << WithAt(WithAt(QByteArray(), 306, F32(std::nanf(""))), 400, F32(std::nanf("")))
            << "pw '' popup 0 grid 0 decimals 0" << true;
        QTest::newRow("settings garbage")
            << "settings" << QByteArray(600, '\xff') << "pw '' popup 0 grid 0 decimals -1" << true;
        QTest::newRow("settings password length beyond field")
            << "settings"
            << WithAt(WithAt(QByteArray(), 74, QByteArray("\x63\x00", 2)), 76,
                      QByteArray(24, 'p') + "\x10\x00")
            << "pw '" + QString(24, 'p') + "' popup 0 grid 0 decimals 0" << true;

        QTest::newRow("time short file") << "time" << QByteArray("\xc2\x01", 2)
                                         << "07:30~00:00 set 0 today 450-0 name 0" << false;
        QTest::newRow("time minute outside a day")
            << "time" << WithAt(WithAt(QByteArray(392, '\0'), 1, Le16(-30)), 101, Le16(2000))
            << "00:-30~33:20 set 0 today -30-2000 name 0" << true;
        QTest::newRow("time garbage name")
            << "time" << WithAt(QByteArray(392, '\0'), 301, QByteArray("\x81\x20\xff\xfe", 4))
            << QString("00:00~00:00 set 0 today 0-0 name ") + QChar(0xFFFD) + " " + QChar(0xF8F5) +
                   QChar(0xFFFD)
            << false;

        QTest::newRow("log cut record")
            << "log" << QByteArray("\x01\x00\x00", 3) << "records 1 valid 1" << true;
        QTest::newRow("log index outside roster")
            << "log"
            << Le16(0) + F64(46000) + QByteArray(6, '\0') + Le16(5001) + F64(46000) +
                   QByteArray(6, '\0') + Le16(-2) + F64(46000) + QByteArray(6, '\0')
            << "records 3 valid 0" << true;
        QTest::newRow("log nan date")
            << "log" << Le16(3) + F64(nan) + QByteArray(6, '\0') << "records 1 valid 1" << true;

        QTest::newRow("schema counts garbage")
            << "schema" << WithAt(QByteArray(1900, '\0'), 1267, Le16(-5)) << "title '' count -5"
            << true;
    }

    void damagedFiles() {
        QFETCH(QString, kind);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, result);
        QFETCH(bool, flagged);
        QTemporaryDir dir;
        DataFolder folder(dir.path());
        QDir().mkpath(folder.yearLogFolder());
        WriteAll(FileOf(kind, folder), bytes);
        QCOMPARE(Summarise(kind, folder), result);
        QCOMPARE(!CheckDataFolder(folder).isEmpty(), flagged);
    }

    void decoderNeverReadsPastTheSlot() {
        // A view longer than a slot: only the first 256 bytes count.
        QByteArray b =
            Slot(F64(46000.0) + QByteArray(1, '\0') + F64(46000.0) + QByteArray("\xf0\x00", 2));
        b += QByteArray(1000, 'z');
        const DecodedRecord d = DecodePersonRecord(b);
        QVERIFY(d.damaged);
        QCOMPARE(d.record.texts[0], QString());
        QCOMPARE(d.record.personalPassword, QString());
    }
};

QTEST_GUILESS_MAIN(TestBadInput)
#include "TestBadInput.moc"
