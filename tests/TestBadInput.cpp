// Damaged data files of every kind: each has a defined result, never a crash or a read
// outside the data, and the folder check names what is wrong.
#include <QTest>
#include <cmath>
#include <cstring>

#include "core/calendarstore.h"
#include "core/format/datacheck.h"
#include "core/format/schema.h"
#include "core/format/settings.h"
#include "core/format/yearlog.h"
#include "core/ics.h"
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
    if (kind == "calendar") {
        CalendarStore store(folder);
        const FileError e = store.load();
        QStringList days;
        for (const auto& [day, d] : store.get().days())
            days << QString("%1:%2%3%4").arg(day).arg(int(d.kind)).arg(d.weekday).arg(d.name);
        return (e.failed() ? QString("unreadable ") : QString()) + days.join(' ');
    }
    if (kind == "leave") {
        LeaveStore store(folder);
        const FileError e = store.load();
        QStringList entries;
        for (const LeaveEntry& l : store.get().entries())
            entries << QString("%1:%2 %3/%4..%5/%6 %7%8")
                           .arg(l.id)
                           .arg(l.index)
                           .arg(l.fromDay)
                           .arg(l.fromWindow)
                           .arg(l.toDay)
                           .arg(l.toWindow)
                           .arg(l.kind)
                           .arg(l.cancelled ? " cancelled" : "");
        return (e.failed() ? QString("unreadable ") : QString()) + entries.join(' ');
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
    if (kind == "calendar") return folder.calendar();
    if (kind == "leave") return folder.leave();
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
        // Files of our own: slots out of range are passed over, a cut last slot is not
        // read (and said), nothing else is lost.
        const auto calSlot = [](qint32 day, char kind, char weekday, const QByteArray& name) {
            QByteArray b(32, '\0');
            std::memcpy(b.data(), &day, 4);
            b[4] = kind;
            b[5] = weekday;
            b.replace(8, name.size(), name);
            return b;
        };
        QTest::newRow("calendar: closed, made up, opened again")
            << "calendar"
            << calSlot(46296, 1, 0, "\xb9\xfa\xc7\xec") + calSlot(46300, 2, 2, "") +
                   calSlot(46297, 1, 0, "x") + calSlot(46297, 0, 0, "")
            << "46296:10国庆 46300:22" << false;
        QTest::newRow("calendar: kind and weekday out of range, a cut slot")
            << "calendar"
            << calSlot(46296, 7, 0, "") + calSlot(46300, 2, 9, "") + calSlot(46301, 1, 0, "y") +
                   QByteArray(20, 'z')
            << "46301:10y" << true;
        const auto leaveSlot = [](char type, qint16 index, qint32 id, qint32 from, char fw, char tw,
                                  qint32 to) {
            QByteArray b(128, ' ');
            b[0] = type;
            std::memcpy(b.data() + 2, &index, 2);
            std::memcpy(b.data() + 4, &id, 4);
            std::memcpy(b.data() + 8, &from, 4);
            b[12] = fw;
            b[13] = tw;
            std::memcpy(b.data() + 16, &to, 4);
            b.replace(32, 4, "\xb2\xa1\xbc\xd9");  // 病假
            return b;
        };
        QTest::newRow("leave: an entry, a cancellation, a second cancellation")
            << "leave"
            << leaveSlot(1, 3, 99, 46364, -1, 1, 46365) + leaveSlot(2, 3, 1, 0, -1, -1, 0) +
                   leaveSlot(2, 3, 1, 0, -1, -1, 0)
            << "1:3 46364/-1..46365/1 病假 cancelled" << false;
        QTest::newRow("leave: type, window and index out of range, a cut slot")
            << "leave"
            << leaveSlot(5, 3, 1, 46364, -1, -1, 46364) + leaveSlot(1, 3, 2, 46364, 9, -1, 46364) +
                   leaveSlot(1, 9000, 3, 46364, -1, -1, 46364) + QByteArray(100, 'x')
            << "3:9000 46364/-1..46364/-1 病假" << true;
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

    // What an iCalendar file gives, as "day kind weekday name" per day (kind 1 closed, 2
    // made up), or its failure.
    void icsReader_data() {
        QTest::addColumn<QByteArray>("ics");
        QTest::addColumn<QString>("result");
        const QByteArray head = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\n";
        const QByteArray tail = "END:VCALENDAR\r\n";
        const auto event = [](const QByteArray& body) {
            return "BEGIN:VEVENT\r\n" + body + "END:VEVENT\r\n";
        };
        QTest::newRow("a holiday of three days")
            << head +
                   event(
                       "DTSTART;VALUE=DATE:20261001\r\nDTEND;VALUE=DATE:20261004\r\n"
                       "SUMMARY:国庆节\r\n") +
                   tail
            << "46296 1 0 国庆节|46297 1 0 国庆节|46298 1 0 国庆节";
        QTest::newRow("a worked Saturday, weekday named; a timed event's date")
            << head + event("DTSTART;VALUE=DATE:20261010\r\nSUMMARY:补班（周一）\r\n") +
                   event(
                       "DTSTART:20261012T080000Z\r\nDTEND:20261012T100000Z\r\nSUMMARY:运动会\r\n") +
                   tail
            << "46305 2 2 |46307 1 0 运动会";
        QTest::newRow("folded lines, escapes, LF endings, a duration, an alarm's own start")
            << QByteArray(
                   "BEGIN:VCALENDAR\nBEGIN:VEVENT\nDTSTART;VALUE=DATE:20270201\nDUR"
                   "ATION:P2D\nSUMMARY:寒\n 假\\, 一\nBEGIN:VALARM\nDTSTART:20300101\n"
                   "END:VALARM\nEND:VEVENT\nEND:VCALENDAR\n")
            << "46419 1 0 寒假, 一|46420 1 0 寒假, 一";
        QTest::newRow("our own make-up day")
            << head +
                   event("DTSTART;VALUE=DATE:20261010\r\nSUMMARY:调休\r\nX-TALLYRA-WEEKDAY:5\r\n") +
                   tail
            << "46305 2 5 ";
        QTest::newRow("no start, a backwards end, over a year: passed over")
            << head + event("SUMMARY:x\r\n") +
                   event("DTSTART;VALUE=DATE:20261010\r\nDTEND;VALUE=DATE:20261001\r\n") +
                   event("DTSTART;VALUE=DATE:20260101\r\nDTEND;VALUE=DATE:20280101\r\n") + tail
            << "";
        QTest::newRow("not a calendar")
            << QByteArray("DTSTART:20261010\r\n") << "不是iCalendar日历文件";
        QByteArray many = head;
        for (int k = 0; k <= kMostIcsEvents; ++k) many += event("DTSTART;VALUE=DATE:20261010\r\n");
        QTest::newRow("too many events") << many + tail << "日历中的事件超过5000个";
        QByteArray long_ = head;
        for (int k = 0; k < 60; ++k)
            long_ += event("DTSTART;VALUE=DATE:20260101\r\nDTEND;VALUE=DATE:20261231\r\n");
        QTest::newRow("too many days") << long_ + tail << "日历中的日子超过20000天";
        QTest::newRow("too large") << QByteArray(kMostIcsBytes + 1, 'x') << "日历文件太大";
    }
    void icsReader() {
        QFETCH(QByteArray, ics);
        QFETCH(QString, result);
        const IcsRead read = ReadIcs(ics);
        QStringList days;
        for (const CalendarChange& c : read.changes)
            days << QString("%1 %2 %3 %4").arg(c.day).arg(int(c.kind)).arg(c.weekday).arg(c.name);
        QCOMPARE(read.failure.isEmpty() ? days.join('|') : read.failure, result);
        if (!read.failure.isEmpty()) QVERIFY(read.changes.empty());
    }

    // What we write reads back as the same days.
    void icsRoundTrip() {
        SchoolCalendar cal;
        for (qint32 d = 46296; d <= 46302; ++d)
            cal.apply({d, CalendarChange::Closed, 0, QStringLiteral("国庆节, 长假;")});
        cal.apply({46305, CalendarChange::MakeUp, 2, {}});
        cal.apply({46400, CalendarChange::Closed, 0, QString(12, u'寒')});
        const IcsRead read = ReadIcs(WriteIcs(cal, QDateTime(QDate(2026, 9, 1), QTime(8, 0))));
        SchoolCalendar back;
        for (const CalendarChange& c : read.changes) back.apply(c);
        QCOMPARE(read.events, 3);
        QCOMPARE(back.days().size(), cal.days().size());
        for (size_t k = 0; k < cal.days().size(); ++k) {
            QCOMPARE(back.days()[k].first, cal.days()[k].first);
            QCOMPARE(back.days()[k].second.kind, cal.days()[k].second.kind);
            QCOMPARE(back.days()[k].second.weekday, cal.days()[k].second.weekday);
            QCOMPARE(back.days()[k].second.name, cal.days()[k].second.name);
        }
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
