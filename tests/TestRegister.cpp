#include <QTest>
#include <algorithm>
#include <numeric>
#include <random>

#include "core/format/registersettings.h"
#include "core/format/yearlog.h"
#include "registerfixture.h"

using namespace tallyra;
using namespace tallyra::test;

class TestRegister : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // The first week of November 2026 for 张三 (row 0), seen on Saturday the 7th.
    void marks_data() {
        QTest::addColumn<Rows>("records");   // {index, day, minute, late}
        QTest::addColumn<Rows>("calendar");  // {day, 1 closed | 2 make-up, weekday}
        QTest::addColumn<Rows>("leave");     // {index, day, first window, last window}
        QTest::addColumn<QDate>("today");
        QTest::addColumn<int>("minuteNow");
        QTest::addColumn<QString>("marks");  // days 1-7, "-" blank
        // held, present, on time, late, late minutes, absent, excused
        QTest::addColumn<QList<int>>("totals");
        QTest::addColumn<QString>("rate");
        const QDate sat(2026, 11, 7);
        QTest::newRow("no records: every held window on time")
            << Rows{} << Rows{} << Rows{} << sat << 1440 << "-√√√√√-"
            << QList<int>{5, 5, 5, 0, 0, 0, 0} << "100.0%";
        QTest::newRow("on-time records")
            << Rows{{1, 2, 455, 0}, {1, 2, 725, 0}} << Rows{} << Rows{} << sat << 1440 << "-√√√√√-"
            << QList<int>{5, 5, 5, 0, 0, 0, 0} << "100.0%";
        QTest::newRow("late at one window")
            << Rows{{1, 3, 490, 10}} << Rows{} << Rows{} << sat << 1440 << "-√○√√√-"
            << QList<int>{5, 5, 4, 1, 10, 0, 0} << "100.0%";
        QTest::newRow("absent at one window")
            << Rows{{1, 4, kClose1, kAbsent}} << Rows{} << Rows{} << sat << 1440 << "-√√×√√-"
            << QList<int>{5, 4, 4, 0, 0, 1, 0} << "80.0%";
        QTest::newRow("late and absent the same day is absent")
            << Rows{{1, 5, 483, 3}, {1, 5, kClose1, kAbsent}} << Rows{} << Rows{} << sat << 1440
            << "-√√√×√-" << QList<int>{5, 4, 4, 1, 3, 1, 0} << "80.0%";
        QTest::newRow("both windows absent, one day")
            << Rows{{1, 5, kClose0, kAbsent}, {1, 5, kClose1, kAbsent}} << Rows{} << Rows{} << sat
            << 1440 << "-√√√×√-" << QList<int>{5, 4, 4, 0, 0, 1, 0} << "80.0%";
        QTest::newRow("a record of another person is not his")
            << Rows{{2, 3, kClose0, kAbsent}, {6000, 3, kClose0, kAbsent}} << Rows{} << Rows{}
            << sat << 1440 << "-√√√√√-" << QList<int>{5, 5, 5, 0, 0, 0, 0} << "100.0%";
        QTest::newRow("leave for the day")
            << Rows{} << Rows{} << Rows{{1, 6, -1, -1}} << sat << 1440 << "-√√√√假-"
            << QList<int>{5, 4, 4, 0, 0, 0, 1} << "80.0%";
        QTest::newRow("leave excuses a logged absence")
            << Rows{{1, 6, kClose0, kAbsent}} << Rows{} << Rows{{1, 6, 0, 1}} << sat << 1440
            << "-√√√√假-" << QList<int>{5, 4, 4, 0, 0, 0, 1} << "80.0%";
        QTest::newRow("leave for the afternoon only, morning on time")
            << Rows{} << Rows{} << Rows{{1, 6, 1, 1}} << sat << 1440 << "-√√√√√-"
            << QList<int>{5, 5, 5, 0, 0, 0, 0} << "100.0%";
        QTest::newRow("leave for the morning, absent in the afternoon")
            << Rows{{1, 6, kClose1, kAbsent}} << Rows{} << Rows{{1, 6, 0, 0}} << sat << 1440
            << "-√√√√×-" << QList<int>{5, 4, 4, 0, 0, 1, 0} << "80.0%";
        QTest::newRow("came late while on leave")
            << Rows{{1, 6, 500, 20}} << Rows{} << Rows{{1, 6, -1, -1}} << sat << 1440 << "-√√√√○-"
            << QList<int>{5, 5, 4, 1, 20, 0, 0} << "100.0%";
        QTest::newRow("closed after the fact: its absences are rest")
            << Rows{{1, 4, kClose0, kAbsent}, {1, 4, kClose1, kAbsent}} << Rows{{4, 1, 0}} << Rows{}
            << sat << 1440 << "-√√休√√-" << QList<int>{4, 4, 4, 0, 0, 0, 0} << "100.0%";
        QTest::newRow("make-up Saturday runs Monday's windows")
            << Rows{{1, 7, kClose1, kAbsent}} << Rows{{7, 2, 2}} << Rows{} << sat << 1440
            << "-√√√√√×" << QList<int>{6, 5, 5, 0, 0, 1, 0} << "83.3%";
        QTest::newRow("records on a day without windows do not count")
            << Rows{{1, 1, kClose0, kAbsent}, {1, 7, 490, 10}} << Rows{} << Rows{} << sat << 1440
            << "-√√√√√-" << QList<int>{5, 5, 5, 0, 0, 0, 0} << "100.0%";
        QTest::newRow("added on Thursday: logged windows without him do not count")
            << Rows{{2, 2, 455, 0}, {2, 2, 725, 0},  {2, 3, 455, 0}, {2, 3, 725, 0}, {2, 4, 455, 0},
                    {2, 4, 725, 0}, {2, 5, 455, 0},  {1, 5, 456, 0}, {2, 5, 725, 0}, {1, 5, 726, 0},
                    {2, 6, 455, 0}, {1, 6, 500, 20}, {2, 6, 725, 0}, {1, 6, 726, 0}}
            << Rows{} << Rows{} << sat << 1440 << "----√○-" << QList<int>{2, 2, 1, 1, 20, 0, 0}
            << "100.0%";
        QTest::newRow("a record the window times no longer explain still counts")
            << Rows{{1, 3, 999, kAbsent}} << Rows{} << Rows{} << sat << 1440 << "-√×√√√-"
            << QList<int>{5, 4, 4, 0, 0, 1, 0} << "80.0%";
        QTest::newRow("Wednesday 10:00: the morning closed, the afternoon still open")
            << Rows{} << Rows{} << Rows{} << QDate(2026, 11, 4) << 600 << "-√√√---"
            << QList<int>{3, 3, 3, 0, 0, 0, 0} << "100.0%";
        QTest::newRow("Wednesday 07:50: nothing closed yet")
            << Rows{} << Rows{} << Rows{} << QDate(2026, 11, 4) << 470 << "-√√----"
            << QList<int>{2, 2, 2, 0, 0, 0, 0} << "100.0%";
        QTest::newRow("Wednesday 07:50: signed in already")
            << Rows{{1, 4, 455, 0}} << Rows{} << Rows{} << QDate(2026, 11, 4) << 470 << "-√√√---"
            << QList<int>{3, 3, 3, 0, 0, 0, 0} << "100.0%";
        QTest::newRow("before the month has begun")
            << Rows{} << Rows{} << Rows{} << QDate(2026, 10, 30) << 1440 << "-------"
            << QList<int>{0, 0, 0, 0, 0, 0, 0} << "";
    }
    void marks() {
        QFETCH(Rows, records);
        QFETCH(Rows, calendar);
        QFETCH(Rows, leave);
        QFETCH(QDate, today);
        QFETCH(int, minuteNow);
        QFETCH(QString, marks);
        QFETCH(QList<int>, totals);
        QFETCH(QString, rate);
        Fixture f;
        f.log(2026, 11, records);
        for (const QList<int>& c : calendar)
            f.calendar.apply({qint32(Fixture::Ole(2026, 11, c[0])), CalendarChange::Kind(c[1]),
                              quint8(c[2]), QStringLiteral("运动会")});
        qint32 id = 0;
        for (const QList<int>& l : leave) {
            LeaveRecord r;
            r.id = ++id;
            r.index = qint16(l[0]);
            r.fromDay = r.toDay = qint32(Fixture::Ole(2026, 11, l[1]));
            r.fromWindow = qint8(l[2]);
            r.toWindow = qint8(l[3]);
            r.kind = QStringLiteral("病假");
            f.leave.apply(r);
        }
        const RegisterBuild b = f.build(QDate(2026, 11, 1), {}, today, minuteNow);
        QVERIFY(!b.error.failed());
        const RegisterSheet& s = b.sheet;
        QCOMPARE(s.dayCount(), 30);
        QCOMPARE(s.people[0].name, QStringLiteral("张三"));
        QCOMPARE(Fixture::Marks(s, 0, 1, 7), marks);
        const RegisterTotals& t = s.people[0].totals;
        QCOMPARE((QList<int>{t.held, t.present, t.onTime, t.late, int(t.lateMinutes), t.absent,
                             t.excused}),
                 totals);
        QCOMPARE(RegisterTotalText(t, kRate), rate);
        // The picture of the month agrees with the marks and totals: the day's share
        // present, every late sign-in in the minutes' distribution.
        const RegisterPicture p = PictureOf(s, {0});
        QCOMPARE(std::accumulate(p.lateBuckets.cbegin(), p.lateBuckets.cend(), 0), t.late);
        for (int d = 0; d < 7; ++d) {
            const DayMark m = s.mark(0, d);
            const bool counts = m != DayMark::Blank && m != DayMark::Closed;
            QCOMPARE(p.dayRates[size_t(d)], !counts                                       ? -1.0
                                            : m == DayMark::Present || m == DayMark::Late ? 1.0
                                                                                          : 0.0);
        }
    }

    void windowDetail() {
        Fixture f;
        f.log(2026, 11, {{1, 3, 490, 10}, {1, 3, kClose1, kAbsent}});
        const RegisterBuild b = f.build(QDate(2026, 11, 1));
        const QStringList lines =
            RegisterDayDetail(b.sheet, 0, 2, {&f.table, &f.calendar, &f.leave}).split(u'\n');
        QCOMPARE(lines.value(1), QStringLiteral("早读 07:30~08:00：○ 08:10 补签，迟到10分钟"));
        QCOMPARE(lines.value(2), QStringLiteral("午间 12:00~12:30：× 未签到"));
    }

    void groups_data() {
        QTest::addColumn<QString>("group");  // as the command line takes it
        QTest::addColumn<int>("index");      // one person alone
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QStringList>("parts");
        QTest::newRow("everyone who signs in")
            << "" << 0 << QStringList{"张三", "李四", "王五", "赵六"} << QStringList{"全部人员"};
        QTest::newRow("one class")
            << "班级=二班" << 0 << QStringList{"王五", "赵六"} << QStringList{"班级：二班"};
        QTest::newRow("every class, a part each")
            << "班级" << 0 << QStringList{"张三", "李四", "王五", "赵六"}
            << QStringList{"班级：一班", "班级：二班"};
        QTest::newRow("a class nobody is in")
            << "班级=三班" << 0 << QStringList{} << QStringList{"班级：三班"};
        QTest::newRow("the personal centre's own")
            << "" << 3 << QStringList{"王五"} << QStringList{"全部人员"};
        QTest::newRow("off the board, even on his own")
            << "" << 5 << QStringList{} << QStringList{"全部人员"};
    }
    void groups() {
        QFETCH(QString, group);
        QFETCH(int, index);
        QFETCH(QStringList, names);
        QFETCH(QStringList, parts);
        Fixture f;
        RegisterGroup g;
        if (!group.isEmpty()) {
            const std::optional<RegisterGroup> parsed = ParseRegisterGroup(group, f.schema);
            QVERIFY(parsed);
            g = *parsed;
        }
        const RegisterSheet s = f.build(QDate(2026, 11, 1), {{}, g, index}).sheet;
        QStringList got;
        for (const RegisterPerson& p : s.people) got << p.name;
        QCOMPARE(got, names);
        QStringList titles;
        int rows = 0;
        for (const RegisterPart& p : RegisterParts(s, f.schema, g)) {
            titles << p.title;
            rows += int(p.rows.size());
        }
        QCOMPARE(titles, parts);
        QCOMPARE(rows, int(names.size()));
    }

    void refusedGroupsAndMonths_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("isMonth");
        QTest::addColumn<QString>("error");  // empty: taken
        QTest::newRow("month") << "2026-11" << true << "";
        QTest::newRow("month 13") << "2026-13" << true << "-";
        QTest::newRow("month 0") << "2026-00" << true << "-";
        QTest::newRow("no month") << "2026" << true << "-";
        QTest::newRow("a day") << "2026-11-03" << true << "-";
        QTest::newRow("unknown field")
            << "年级=一班" << false << "没有这个分组字段：年级（可选：班级）";
        QTest::newRow("unknown element") << "班级=九班" << false << "字段“班级”没有“九班”这一项";
        QTest::newRow("an element past the list") << "班级=" << false << "字段“班级”没有“”这一项";
    }
    void refusedGroupsAndMonths() {
        QFETCH(QString, text);
        QFETCH(bool, isMonth);
        QFETCH(QString, error);
        if (isMonth) {
            QCOMPARE(ParseRegisterMonth(text).has_value(), error.isEmpty());
            return;
        }
        Fixture f;
        QString why;
        QVERIFY(!ParseRegisterGroup(text, f.schema, &why));
        QCOMPARE(why, error);
    }

    // The month's own log, and each month as long as it is.
    void monthBounds_data() {
        QTest::addColumn<QDate>("month");
        QTest::addColumn<int>("days");
        QTest::addColumn<int>("probe");
        QTest::addColumn<QString>("marks");  // 张三's on the first day, the probe, the last
        QTest::newRow("December ends in its own year") << QDate(2026, 12, 1) << 31 << 31 << "√××";
        QTest::newRow("January reads its own year's log alone")
            << QDate(2027, 1, 1) << 31 << 29 << "×√-";
        QTest::newRow("30 days") << QDate(2026, 4, 1) << 30 << 30 << "√√√";
        QTest::newRow("28 days") << QDate(2026, 2, 1) << 28 << 28 << "-××";
        QTest::newRow("29 days") << QDate(2028, 2, 1) << 29 << 29 << "√√√";
    }
    void monthBounds() {
        QFETCH(QDate, month);
        QFETCH(int, days);
        QFETCH(int, probe);
        QFETCH(QString, marks);
        Fixture f;
        // Monday to Saturday: 2026-12-31 is a Thursday, 2027-01-01 a Friday, 2026-02-28 a
        // Saturday, 2027-01-31 a Sunday.
        for (int d = 2; d <= 7; ++d) {
            for (int w = 0; w < 2; ++w) {
                const size_t k = size_t(TimeTable::Cell(w, d));
                f.table.starts[k] = qint16(w == 0 ? 450 : 720);
                f.table.ends[k] = qint16(w == 0 ? 480 : 750);
                f.table.set[k] = true;
            }
        }
        f.log(2026, 2, {{1, 28, kClose0, kAbsent}});
        f.log(2026, 12, {{1, 31, kClose0, kAbsent}});
        // A January day in the old year's file is no January record.
        f.log(2027, 1, {{1, 1, kClose0, kAbsent}});
        {
            YearLog y;
            QVERIFY(y.open(f.folder, 2026));
            Must(y.append({1, Fixture::Ole(2027, 1, 29), kClose0, kAbsent}));
        }
        const RegisterSheet s = f.build(month, {}, QDate(2030, 1, 1)).sheet;
        QCOMPARE(s.dayCount(), days);
        QCOMPARE(s.days.back().date, month.addMonths(1).addDays(-1));
        QCOMPARE(Fixture::Marks(s, 0, 1, 1) + Fixture::Marks(s, 0, probe, probe) +
                     Fixture::Marks(s, 0, days, days),
                 marks);
    }

    // A clock set back writes earlier days after later ones: the register reads the whole
    // file then, and comes out as from the same records in date order.
    void outOfOrderLog_data() {
        QTest::addColumn<int>("shuffle");  // 0 in date order, 1 a clock set back, 2 shuffled
        QTest::newRow("in date order") << 0;
        QTest::newRow("clock set back into October") << 1;
        QTest::newRow("shuffled") << 2;
    }
    void outOfOrderLog() {
        QFETCH(int, shuffle);
        Rows october, november, december;
        for (int d = 2; d <= 27; ++d)
            for (int i = 1; i <= 4; ++i)
                if ((i + d) % 3 == 0)
                    november << QList<int>{i, d, (i + d) % 2 ? kClose0 : kClose1, kAbsent};
        for (int i = 1; i <= 4; ++i) {
            october << QList<int>{i, 30, kClose0, kAbsent};
            december << QList<int>{i, 1, 490, 10};
        }
        Fixture sorted, f;
        sorted.log(2026, 10, october);
        sorted.log(2026, 11, november);
        sorted.log(2026, 12, december);
        if (shuffle == 0) {
            f.log(2026, 10, october);
            f.log(2026, 11, november);
            f.log(2026, 12, december);
        } else if (shuffle == 1) {
            f.log(2026, 11, november.mid(0, 20));
            f.log(2026, 12, december);
            f.log(2026, 10, october);  // the clock went back a month and a half
            f.log(2026, 11, november.mid(20));
        } else {
            std::mt19937 random(7);
            std::vector<std::pair<int, QList<int>>> all;
            for (const QList<int>& r : october) all.emplace_back(10, r);
            for (const QList<int>& r : november) all.emplace_back(11, r);
            for (const QList<int>& r : december) all.emplace_back(12, r);
            std::shuffle(all.begin(), all.end(), random);
            for (const auto& [m, r] : all) f.log(2026, m, {r});
        }
        LogOrderMemo memo;
        for (int month : {10, 11, 12}) {
            const QDate first(2026, month, 1);
            const RegisterBuild want = sorted.build(first, {}, QDate(2027, 1, 1));
            const RegisterBuild got = f.build(first, {}, QDate(2027, 1, 1), 1440, &memo);
            QCOMPARE(got.scan.ordered, shuffle == 0);
            // In order, only the month's part of the file is read.
            if (shuffle == 0) QVERIFY(got.scan.slotsRead < got.scan.slotsInFile);
            QVERIFY(got.sheet.marks == want.sheet.marks);
            for (int r = 0; r < 4; ++r)
                QCOMPARE(got.sheet.people[size_t(r)].totals.absent,
                         want.sheet.people[size_t(r)].totals.absent);
        }
    }

    // The order found is remembered, and what is appended later is checked: a record in a
    // cut last slot, and one the clock put back, still come out.
    void rememberedOrderFollowsTheFile() {
        Fixture f;
        f.log(2026, 11, {{1, 2, kClose0, kAbsent}, {1, 20, kClose0, kAbsent}});
        LogOrderMemo memo;
        const QDate nov(2026, 11, 1), today(2026, 11, 30);
        QCOMPARE(f.build(nov, {}, today, 1440, &memo).sheet.people[0].totals.absent, 2);
        f.log(2026, 11, {{1, 25, kClose0, kAbsent}});
        RegisterBuild b = f.build(nov, {}, today, 1440, &memo);
        QVERIFY(b.scan.ordered);
        QCOMPARE(b.sheet.people[0].totals.absent, 3);
        {
            QFile file(f.folder.yearLog(2026));
            QVERIFY(file.open(QIODevice::Append));
            char slot[kLogSlotSize];
            EncodeYearLogRecord({1, Fixture::Ole(2026, 11, 26), kClose0, kAbsent}, slot);
            file.write(slot, kLogRecordBytes);
        }
        b = f.build(nov, {}, today, 1440, &memo);
        QVERIFY(b.scan.ordered);
        QCOMPARE(Fixture::Marks(b.sheet, 0, 25, 26), QStringLiteral("××"));
        f.log(2026, 11, {{1, 3, kClose0, kAbsent}});  // the clock set back
        b = f.build(nov, {}, today, 1440, &memo);
        QVERIFY(!b.scan.ordered);
        QCOMPARE(b.sheet.people[0].totals.absent, 5);
    }

    void settingsFile() {
        QTemporaryDir dir;
        DataFolder folder(dir.path());
        QCOMPARE(LoadRegisterSettings(folder), RegisterSettings{});
        const RegisterSettings s{10, QStringLiteral("第一\n中学")};
        QVERIFY(SaveRegisterSettings(folder, s));
        QCOMPARE(LoadRegisterSettings(folder), (RegisterSettings{10, QStringLiteral("第一 中学")}));
        WriteAll(folder.file("register.txt"), "field=3\r\nschool=  实验小学 \r\n");
        QCOMPARE(LoadRegisterSettings(folder), (RegisterSettings{0, QStringLiteral("实验小学")}));
    }

    // Sorting by a total keeps roster order among equals; the first click is descending.
    void sortByTotals() {
        Fixture f;
        f.log(
            2026, 11,
            {{2, 2, kClose0, kAbsent}, {4, 2, kClose0, kAbsent}, {3, 3, 500, 20}, {4, 3, 490, 10}});
        const RegisterSheet s = f.build(QDate(2026, 11, 1)).sheet;
        RegisterTableModel model;
        model.setSheet(&s, s.allRows());
        auto names = [&] {
            QStringList n;
            for (int r = 0; r < model.rowCount(); ++r) n << model.text(r, 0);
            return n.join(u' ');
        };
        model.sortByColumn(model.totalColumn(kAbsentDays));
        QCOMPARE(names(), QStringLiteral("李四 赵六 张三 王五"));
        model.sortByColumn(model.totalColumn(kAbsentDays));
        QCOMPARE(names(), QStringLiteral("张三 王五 李四 赵六"));
        model.sortByColumn(model.totalColumn(kLateMinutes));
        QCOMPARE(names(), QStringLiteral("王五 赵六 张三 李四"));
        model.sortByColumn(model.dayColumn(3));  // days are not sorted by
        QCOMPARE(names(), QStringLiteral("王五 赵六 张三 李四"));
        QCOMPARE(model.headerData(0, Qt::Vertical).toInt(), 3);  // the roster-order number
        model.sortByColumn(0);
        QCOMPARE(names(), QStringLiteral("张三 李四 王五 赵六"));
    }
};

QTEST_GUILESS_MAIN(TestRegister)
#include "TestRegister.moc"
