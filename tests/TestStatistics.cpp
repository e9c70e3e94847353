#include <QAbstractItemModelTester>
#include <QDir>
#include <QTest>

#include "common/datetime.h"
#include "core/format/yearlog.h"
#include "core/statistics.h"
#include "hostsystem.h"
#include "models/headersort.h"
#include "models/statsgridmodel.h"
#include "must.h"
#include "testsupport.h"

using namespace tallyra;
using namespace tallyra::test;

// Declared before the first table that holds one: GCC for Windows refuses it later.
Q_DECLARE_METATYPE(tallyra::StatsFilter)

namespace {

// People 1 张三, 2 张小明, 3 李四, 4 王五 with cards 11, 10, 9, 8; 5 has left (no name).
struct Logs {
    QTemporaryDir dir;
    DataFolder folder{dir.path()};
    Roster roster;
    Logs() {
        const char16_t* names[] = {u"张三", u"张小明", u"李四", u"王五"};
        for (int i = 1; i <= 4; ++i) {
            roster.at(i).name = QString::fromUtf16(names[i - 1]);
            roster.at(i).cardNumber = qint64(12 - i) * 10000;
        }
    }
    void add(int year, const YearLogRecord& r) {
        YearLog log;
        log.open(folder, year);
        Must(log.append(r));
    }
    static double Day(int y, int m, int d) { return DateToOle(QDate(y, m, d)); }
};

// 2026-12-07 is a Monday.
void Fill(Logs& l) {
    l.add(2025, {1, Logs::Day(2025, 12, 31), 450, 0});    // Wednesday
    l.add(2026, {2, Logs::Day(2026, 1, 2), 451, 30});     // Friday
    l.add(2026, {3, Logs::Day(2026, 12, 6), 452, 9999});  // Sunday
    l.add(2026, {4, Logs::Day(2026, 12, 7), 453, 50});    // Monday
    l.add(2026, {5, Logs::Day(2026, 12, 7), 454, 0});     // nobody
    l.add(2026, {6000, Logs::Day(2026, 12, 7), 455, 0});  // outside the roster
    l.add(2026, {1, Logs::Day(2026, 12, 12), 456, 0});    // Saturday
}

}  // namespace

class TestStatistics : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void filters_data() {
        QTest::addColumn<StatsFilter>("filter");
        QTest::addColumn<QList<int>>("minutes");     // of the listed rows, in order
        QTest::addColumn<QList<qint64>>("summary");  // late, total, missed, on time, rows
        QTest::addColumn<QString>("hours");
        StatsFilter all;
        all.first = QDate(2025, 1, 1);
        all.last = QDate(2026, 12, 31);
        QTest::newRow("across the new year, earlier first")
            << all << QList<int>{450, 451, 452, 453, 456} << QList<qint64>{2, 80, 1, 2, 5}
            << "1.3小时";
        StatsFilter backwards = all;
        std::swap(backwards.first, backwards.last);
        QTest::newRow("first day after the last")
            << backwards << QList<int>{} << QList<qint64>{0, 0, 0, 0, 0} << "0.0小时";
        StatsFilter missed = all;
        missed.lateMin = missed.lateMax = 9999;
        QTest::newRow("only missed")
            << missed << QList<int>{452} << QList<qint64>{0, 0, 1, 0, 1} << "0.0小时";
        StatsFilter onTime = all;
        onTime.lateMax = 0;
        QTest::newRow("only on time")
            << onTime << QList<int>{450, 456} << QList<qint64>{0, 0, 0, 2, 2} << "0.0小时";
        StatsFilter twoChars = all;
        twoChars.namePattern = QStringLiteral("张?");
        QTest::newRow("张? is two characters")
            << twoChars << QList<int>{450, 456} << QList<qint64>{0, 0, 0, 2, 2} << "0.0小时";
        StatsFilter workdays = all;
        workdays.weekdayFirst = 2;
        workdays.weekdayLast = 6;
        QTest::newRow("Monday to Friday")
            << workdays << QList<int>{450, 451, 453} << QList<qint64>{2, 80, 0, 1, 3} << "1.3小时";
        StatsFilter none = workdays;
        std::swap(none.weekdayFirst, none.weekdayLast);
        QTest::newRow("weekdays the wrong way")
            << none << QList<int>{} << QList<qint64>{0, 0, 0, 0, 0} << "0.0小时";
        StatsFilter card = all;
        card.card = 9 * 10000;
        QTest::newRow("one card") << card << QList<int>{452} << QList<qint64>{0, 0, 1, 0, 1}
                                  << "0.0小时";
        StatsFilter own = all;  // the personal centre: by roster index, the name is no pattern
        own.index = 1;
        own.namePattern = QStringLiteral("李[x]");
        QTest::newRow("one person by index")
            << own << QList<int>{450, 456} << QList<qint64>{0, 0, 0, 2, 2} << "0.0小时";
        StatsFilter oneDay = all;
        oneDay.first = oneDay.last = QDate(2026, 12, 7);
        QTest::newRow("one day, bounds inclusive")
            << oneDay << QList<int>{453} << QList<qint64>{1, 50, 0, 0, 1} << "0.8小时";
    }
    void filters() {
        QFETCH(StatsFilter, filter);
        QFETCH(QList<int>, minutes);
        QFETCH(QList<qint64>, summary);
        QFETCH(QString, hours);
        Logs l;
        Fill(l);
        std::vector<StatsRow> rows;
        const StatsSummary s = RunStatisticsQuery(l.folder, l.roster, filter, rows);
        QList<int> got;
        for (const StatsRow& r : rows) got << r.minute;
        QCOMPARE(got, minutes);
        QCOMPARE((QList<qint64>{s.late, s.lateMinutes, s.missed, s.onTime, s.rows}), summary);
        QCOMPARE(s.hoursText(), hours);
        // The grid's own query, into memory a full result left behind, lists the same.
        StatsGridModel grid(&l.roster);
        StatsFilter everything;
        everything.first = QDate(2025, 1, 1);
        everything.last = QDate(2026, 12, 31);
        RunStatistics(l.folder, l.roster, everything, grid);
        const StatsSummary again = RunStatistics(l.folder, l.roster, filter, grid);
        QCOMPARE(again.rows, s.rows);
        QCOMPARE(again.lateMinutes, s.lateMinutes);
        got.clear();
        for (size_t k = 0; k < grid.resultCount(); ++k) got << grid.result(k).minute;
        QCOMPARE(got, minutes);
    }

    // Absences the calendar or leave excuse, declared after the log was written: listed
    // with their kind in place of 9999 and not counted as 未签 (or left out). Windows 0
    // (07:30-08:00, closing 08:01) and 1 (08:30-09:00, closing 09:01) every day; person 1
    // absent at both on Mon 7th, person 2 at window 0 on Tue 8th, person 3 at window 0 on
    // Sat 12th (a make-up day running Monday) and person 4 at window 0 on Wed 9th.
    void excusedAndClosedRows_data() {
        QTest::addColumn<QString>("calendar");   // "closed DAY NAME" / "makeup DAY WEEKDAY"
        QTest::addColumn<QStringList>("leave");  // "INDEX FROMDAY/W TODAY/W [cancelled]"
        QTest::addColumn<bool>("withExcused");
        QTest::addColumn<QStringList>("late");      // column 4 of each listed row, in order
        QTest::addColumn<QList<qint32>>("counts");  // missed, excused, closed, rows
        const QStringList all{"9999", "9999", "9999", "9999", "9999"};
        QTest::newRow("nothing excused")
            << "" << QStringList{} << true << all << QList<qint32>{5, 0, 0, 5};
        QTest::newRow("a closed day declared afterwards")
            << "closed 7 雪天" << QStringList{} << true
            << QStringList{"休：雪天", "休：雪天", "9999", "9999", "9999"}
            << QList<qint32>{3, 0, 2, 5};
        QTest::newRow("leave for one window")
            << "" << QStringList{"1 7/2 7/2"} << true
            << QStringList{"9999", "病假", "9999", "9999", "9999"} << QList<qint32>{4, 1, 0, 5};
        QTest::newRow("leave over days, left out")
            << "" << QStringList{"2 8 9", "4 9/1 9/1"} << false
            << QStringList{"9999", "9999", "9999"} << QList<qint32>{3, 2, 0, 3};
        QTest::newRow("cancelled leave")
            << "" << QStringList{"1 7 7 cancelled"} << true << all << QList<qint32>{5, 0, 0, 5};
        QTest::newRow("make-up day's windows")
            << "makeup 12 2" << QStringList{"3 12/1 12/1"} << true
            << QStringList{"9999", "9999", "9999", "9999", "病假"} << QList<qint32>{4, 1, 0, 5};
    }
    void excusedAndClosedRows() {
        QFETCH(QString, calendar);
        QFETCH(QStringList, leave);
        QFETCH(bool, withExcused);
        QFETCH(QStringList, late);
        QFETCH(QList<qint32>, counts);
        Logs l;
        const auto day = [](int d) { return QDate(2026, 12, d); };
        l.add(2026, {1, DateToOle(day(7)), 481, 9999});
        l.add(2026, {1, DateToOle(day(7)), 541, 9999});
        l.add(2026, {2, DateToOle(day(8)), 481, 9999});
        l.add(2026, {4, DateToOle(day(9)), 481, 9999});
        l.add(2026, {3, DateToOle(day(12)), 481, 9999});
        TimeTable table;
        for (int d = 1; d <= 7; ++d) {
            for (int w : {0, 1}) {
                const int k = TimeTable::Cell(w, d);
                table.set[size_t(k)] = true;
                table.starts[size_t(k)] = qint16(450 + 60 * w);
                table.ends[size_t(k)] = qint16(480 + 60 * w);
            }
        }
        table.set[size_t(TimeTable::Cell(0, 7))] = false;  // Saturdays hold no window 0
        SchoolCalendar cal;
        const QStringList c = calendar.split(u' ');
        if (c[0] == u"closed")
            cal.apply({qint32(DateToOle(day(c[1].toInt()))), CalendarChange::Closed, 0, c[2]});
        if (c[0] == u"makeup")
            cal.apply({qint32(DateToOle(day(c[1].toInt()))),
                       CalendarChange::MakeUp,
                       quint8(c[2].toInt()),
                       {}});
        LeaveBook book;
        qint32 id = 0;
        for (const QString& entry : leave) {
            const QStringList p = entry.split(u' ');
            LeaveRecord r;
            r.id = ++id;
            r.index = qint16(p[0].toInt());
            r.fromDay = qint32(DateToOle(day(p[1].section(u'/', 0, 0).toInt())));
            r.fromWindow = qint8(p[1].contains(u'/') ? p[1].section(u'/', 1).toInt() - 1 : -1);
            r.toDay = qint32(DateToOle(day(p[2].section(u'/', 0, 0).toInt())));
            r.toWindow = qint8(p[2].contains(u'/') ? p[2].section(u'/', 1).toInt() - 1 : -1);
            r.kind = QStringLiteral("病假");
            book.apply(r);
            r.type = LeaveRecord::Cancel;
            if (p.size() > 3) book.apply(r);
        }
        const AttendanceCalendar days{&table, &cal, &book};
        StatsFilter f;
        f.first = day(1);
        f.last = day(31);
        f.excused = withExcused;
        StatsGridModel grid(&l.roster);
        const StatsSummary s = RunStatistics(l.folder, l.roster, f, grid, &days);
        QStringList got;
        for (int r = 2; r < grid.gridRowCount(); ++r) got << grid.text(r, 4);
        QCOMPARE(got, late);
        QCOMPARE((QList<qint32>{s.missed, s.excused, s.closed, s.rows}), counts);
    }

    // A log longer than one read, so a record sits first in the second block, and a last
    // slot cut after the record's 14 bytes.
    void recordsAcrossBlocksAndACutSlot() {
        Logs l;
        QDir().mkpath(l.folder.yearLogFolder());
        QByteArray bytes(kScanBlockBytes, '\0');  // index 0: no one, all of the first block
        char slot[kLogSlotSize];
        const double day = Logs::Day(2026, 12, 7);
        EncodeYearLogRecord({3, day, 600, 7}, slot);
        bytes.append(slot, kLogSlotSize);
        EncodeYearLogRecord({4, day, 601, 9999}, slot);
        bytes.append(slot, kLogRecordBytes);
        WriteAll(l.folder.yearLog(2026), bytes);
        StatsFilter f;
        f.first = f.last = QDate(2026, 12, 7);
        std::vector<StatsRow> rows;
        const StatsSummary s = RunStatisticsQuery(l.folder, l.roster, f, rows);
        QCOMPARE(rows, (std::vector<StatsRow>{{qint32(day), 3, 600, 7, 0},
                                              {qint32(day), 4, 601, 9999, 0}}));
        QCOMPARE((QList<qint64>{s.late, s.lateMinutes, s.missed}), (QList<qint64>{1, 7, 1}));
    }

    // Header sorts: stable, the blank row placed as empty text or the value 0, keys of more
    // than one byte (days, 300 minutes) and an earlier sort's order kept among equal keys.
    void sortOrders_data() {
        QTest::addColumn<QList<int>>("sorts");  // column * 10 + code, in turn
        QTest::addColumn<QList<int>>("order");  // rows by their minute, 0 the blank row
        QTest::newRow("late ascending") << QList<int>{43} << QList<int>{0, 5, 2, 1, 3, 4};
        QTest::newRow("late descending") << QList<int>{44} << QList<int>{4, 1, 3, 2, 0, 5};
        QTest::newRow("date descending") << QList<int>{18} << QList<int>{1, 3, 5, 2, 4, 0};
        QTest::newRow("names ascending") << QList<int>{7} << QList<int>{0, 2, 5, 1, 3, 4};
        QTest::newRow("cards ascending") << QList<int>{33} << QList<int>{0, 2, 5, 1, 3, 4};
        QTest::newRow("late descending, then ascending")
            << QList<int>{44, 43} << QList<int>{0, 5, 2, 1, 3, 4};
        QTest::newRow("late, then names descending")
            << QList<int>{43, 8} << QList<int>{1, 3, 4, 5, 2, 0};
    }
    void sortOrders() {
        if (UnderWine()) QSKIP("Wine collates without Windows' pinyin order");
        QFETCH(QList<int>, sorts);
        QFETCH(QList<int>, order);
        Logs l;  // 张三 card 11, 李四 card 9; 张小明 stands in for a second 张三 by card
        l.roster.at(2).name = l.roster.at(3).name;
        l.roster.at(3).name = l.roster.at(1).name;
        l.roster.at(3).cardNumber = l.roster.at(1).cardNumber;
        StatsGridModel grid(&l.roster);
        grid.setResults({{46000, 1, 1, 300, 0},
                         {45000, 2, 2, 5, 0},
                         {46000, 3, 3, 300, 0},
                         {10, 1, 4, 9999, 0},
                         {46000, 2, 5, 0, 0}});
        for (int s : sorts) grid.sortColumn(s / 10, s % 10);
        QList<int> got;
        for (int r = 1; r < grid.gridRowCount(); ++r)
            got << (r == grid.blankGridRow() ? 0 : grid.text(r, 2).mid(3).toInt());
        QCOMPARE(got, order);
    }

    // The command-line tool's lines are the grid's texts joined by tabs, whatever shares a
    // cached text: days 1024 apart, minutes 2048 apart, no person, the blank row moved.
    void linesAreTheGridTexts() {
        Logs l;
        StatsGridModel grid(&l.roster);
        grid.setResults({{45000, 1, 5, 0, 0},
                         {46024, 2, 2053, -3, 0},
                         {45000, 6000, -5, 9999, 0},
                         {-700000, 4, 1439, 12, 0}});
        grid.sortColumn(4, 4);
        QByteArray expected, got;
        for (int r = 1; r < grid.gridRowCount(); ++r) {
            QStringList cells;
            for (int c = 0; c < StatsGridModel::kColumns; ++c) cells << grid.text(r, c);
            expected += (cells.join(u'\t') + u'\n').toUtf8();
        }
        QVERIFY(grid.writeLines(1, [&got](QByteArrayView b) {
            got += b;
            return true;
        }));
        QCOMPARE(got, expected);
    }

    // Sorting moves rows chunk by chunk; several chunks and a short last one end as a
    // stable sort leaves them.
    void sortAcrossChunks() {
        Logs l;
        std::vector<StatsRow> rows;
        for (int k = 0; k < 3 * int(StatsRowStore::kChunkRows) + 5; ++k)
            rows.push_back({qint32(45000 + k * 7919 % 400), qint16(1 + k % 4), qint16(k),
                            qint16(k * 104729 % 1000), 0});
        StatsGridModel grid(&l.roster);
        grid.setResults(rows);
        grid.sortColumn(4, 4);
        grid.sortColumn(1, 7);
        std::stable_sort(rows.begin(), rows.end(),
                         [](auto& a, auto& b) { return a.late > b.late; });
        std::stable_sort(rows.begin(), rows.end(), [](auto& a, auto& b) { return a.day < b.day; });
        QCOMPARE(grid.blankGridRow(), 1);
        for (size_t k = 0; k < rows.size(); ++k) QCOMPARE(grid.result(k), rows[k]);
    }

    void hoursRoundHalvesUp_data() {
        QTest::addColumn<qint64>("minutes");
        QTest::addColumn<QString>("hours");
        QTest::newRow("9 minutes are 0.15 h") << qint64(9) << "0.2小时";
        QTest::newRow("57 minutes are 0.95 h") << qint64(57) << "1.0小时";
        QTest::newRow("4563 minutes are 76.05 h") << qint64(4563) << "76.1小时";
        QTest::newRow("3 minutes are 0.05 h") << qint64(3) << "0.1小时";
        QTest::newRow("2 minutes") << qint64(2) << "0.0小时";
        QTest::newRow("none") << qint64(0) << "0.0小时";
    }
    void hoursRoundHalvesUp() {
        QFETCH(qint64, minutes);
        QFETCH(QString, hours);
        StatsSummary s;
        s.lateMinutes = minutes;
        QCOMPARE(s.hoursText(), hours);
    }

    void gridCellsAndSorting() {
        if (UnderWine()) QSKIP("Wine collates without Windows' pinyin order");
        Logs l;
        Fill(l);
        StatsFilter all;
        all.first = QDate(2025, 1, 1);
        all.last = QDate(2026, 12, 31);
        std::vector<StatsRow> rows;
        RunStatisticsQuery(l.folder, l.roster, all, rows);
        StatsGridModel grid(&l.roster);
        // Every reset, sort and refill below keeps the model's promises to its views.
        QAbstractItemModelTester tester(&grid,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        grid.setResults(rows);
        QCOMPARE(grid.gridRowCount(), 7);  // header, blank, five results
        QCOMPARE(grid.rowCount(), 6);      // the blank row is not shown
        QCOMPARE(grid.text(0, 4), "迟签时间");
        const QStringList first{grid.text(2, 0), grid.text(2, 1), grid.text(2, 2),
                                grid.text(2, 3), grid.text(2, 4), grid.text(2, 5)};
        QCOMPARE(first, (QStringList{"张三", "2025-12-31", "07:30", "11", "0", "三"}));
        QCOMPARE(grid.text(1, 0), QString());

        HeaderSort sort({7, 7, 7, 3, 3, 7});
        grid.sortColumn(3, sort.next(3));  // cards descending, numerically: 11 10 9
        QCOMPARE(grid.text(1, 3), "11");
        QCOMPARE(grid.text(grid.gridRowCount() - 1, 3), QString());  // blank row last (value 0)
        grid.sortColumn(3, sort.next(3));                            // ascending: 9 before 10
        QCOMPARE(grid.text(1, 3), QString());
        QCOMPARE(grid.text(2, 3), "8");
        QCOMPARE(grid.text(3, 3), "9");
        QCOMPARE(grid.text(4, 3), "10");
        QVERIFY(sort.descending(0) == false);
        grid.sortColumn(0, sort.next(0));  // names descending: 张 王 李 in pinyin
        QCOMPARE(grid.data(grid.index(1, 0)).toString(), "张小明");
        QCOMPARE(grid.text(grid.gridRowCount() - 1, 0), QString());
        QCOMPARE(grid.data(grid.index(grid.rowCount() - 1, 0)).toString(), "李四");

        // A second query replaces the first.
        RunStatistics(l.folder, l.roster, all, grid);
        QCOMPARE(grid.gridRowCount(), 7);
        grid.setResults({});
        QCOMPARE(grid.gridRowCount(), 2);
    }
};

QTEST_GUILESS_MAIN(TestStatistics)
#include "TestStatistics.moc"
