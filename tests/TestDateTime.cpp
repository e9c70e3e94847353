#include <QTest>
#include <cmath>
#include <limits>

#include "common/datetime.h"

using namespace tallyra;

class TestDateTime : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void oleDates_data() {
        QTest::addColumn<double>("ole");
        QTest::addColumn<QDate>("date");
        QTest::newRow("epoch") << 0.0 << QDate(1899, 12, 30);
        QTest::newRow("day one") << 1.0 << QDate(1899, 12, 31);
        QTest::newRow("2014-03-18") << 41716.0 << QDate(2014, 3, 18);
        QTest::newRow("time of day ignored") << 41716.75 << QDate(2014, 3, 18);
        QTest::newRow("negative whole part is the day") << -1.5 << QDate(1899, 12, 29);
        QTest::newRow("last date") << 2958465.0 << QDate(9999, 12, 31);
    }
    void oleDates() {
        QFETCH(double, ole);
        QFETCH(QDate, date);
        QCOMPARE(OleToDate(ole).value_or(QDate()), date);
        if (ole == std::trunc(ole)) QCOMPARE(DateToOle(date), ole);
    }

    void notDates_data() {
        QTest::addColumn<double>("ole");
        QTest::newRow("nan") << std::numeric_limits<double>::quiet_NaN();
        QTest::newRow("infinity") << std::numeric_limits<double>::infinity();
        QTest::newRow("huge") << 1e300;
        QTest::newRow("after 9999") << 2958466.0;
        QTest::newRow("before year 100") << -657435.0;
    }
    void notDates() {
        QFETCH(double, ole);
        QVERIFY(!OleToDate(ole).has_value());
        QCOMPARE(YearsSince(ole, 1, QDate(2020, 1, 1)), 0.0f);
    }

    void clockText_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("minutes");
        QTest::newRow("07:30") << "07:30" << 450;
        QTest::newRow("with seconds") << "23:59:10" << 1439;
        QTest::newRow("midnight") << "00:00" << 0;
        QTest::newRow("garbage") << "ab:cd" << 0;
        QTest::newRow("short") << "7" << 420;
    }
    void clockText() {
        QFETCH(QString, text);
        QFETCH(int, minutes);
        QCOMPARE(int(ClockTextToMinutes(text)), minutes);
    }

    void minutesText_data() {
        QTest::addColumn<int>("minutes");
        QTest::addColumn<QString>("text");
        QTest::newRow("450") << 450 << "07:30";
        QTest::newRow("0") << 0 << "00:00";
        QTest::newRow("1439") << 1439 << "23:59";
        QTest::newRow("beyond a day") << 1500 << "25:00";
        QTest::newRow("three digit hours") << 6000 << "100:00";
        QTest::newRow("negative") << -30 << "00:-30";
    }
    void minutesText() {
        QFETCH(int, minutes);
        QFETCH(QString, text);
        QCOMPARE(MinutesToClockText(qint16(minutes)), text);
        if (minutes >= 0 && minutes < 1440) QCOMPARE(int(ClockTextToMinutes(text)), minutes);
    }

    void weekdays() {
        const QStringList names{"日", "一", "二", "三", "四", "五", "六"};
        for (int d = 1; d <= 7; ++d) QCOMPARE(WeekdayName(d), names[d - 1]);
        QCOMPARE(WeekdayName(0), QString());
        QCOMPARE(WeekdayName(8), QString());
        QCOMPARE(WeekdayOf(QDate(2026, 12, 6)), 1);  // a Sunday
        QCOMPARE(WeekdayOf(QDate(2026, 12, 12)), 7);
    }

    void yearsSince_data() {
        QTest::addColumn<int>("daysBefore");
        QTest::addColumn<int>("precision");
        QTest::addColumn<float>("years");
        for (int p = 0; p <= 3; ++p)
            QTest::addRow("1461 days, precision %d", p) << 1461 << p << 4.0f;
        QTest::newRow("400 days whole") << 400 << 0 << 1.0f;
        QTest::newRow("400 days one decimal") << 400 << 1 << 1.1f;
        QTest::newRow("400 days two decimals") << 400 << 2 << 1.1f;
        QTest::newRow("400 days three decimals") << 400 << 3 << 1.095f;
        QTest::newRow("no choice floors") << 400 << -1 << 1.0f;
        QTest::newRow("unknown precision") << 400 << 7 << 0.0f;
        QTest::newRow("future date floors down") << -200 << 0 << -1.0f;
    }
    void yearsSince() {
        QFETCH(int, daysBefore);
        QFETCH(int, precision);
        QFETCH(float, years);
        const QDate today(2026, 12, 8);
        QCOMPARE(YearsSince(DateToOle(today.addDays(-daysBefore)), precision, today), years);
    }

    void yearsText() {
        QCOMPARE(YearsText(4.0f), QStringLiteral("4"));
        QCOMPARE(YearsText(1.1f), QStringLiteral("1.1"));
        QCOMPARE(YearsText(19.27f), QStringLiteral("19.27"));
        QCOMPARE(YearsText(1.095f), QStringLiteral("1.095"));
        QCOMPARE(YearsText(-0.5f), QStringLiteral("-0.5"));
        QCOMPARE(YearsText(-3.0f), QStringLiteral("-3"));
        QCOMPARE(YearsText(126.0f), QStringLiteral("126"));
        QCOMPARE(YearsText(1.2345f),
                 QStringLiteral("1.2345"));  // not a rounded value: general form
        QCOMPARE(YearsText(1e7f), QStringLiteral("1e+07"));
    }

    void captions() {
        QCOMPARE(ChineseDateText(QDate(2014, 3, 18)), QStringLiteral("2014年03月18日"));
        QCOMPARE(IsoDateText(QDate(2014, 3, 8)), QStringLiteral("2014-03-08"));
    }
};

QTEST_APPLESS_MAIN(TestDateTime)
#include "TestDateTime.moc"
