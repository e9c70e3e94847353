#pragma once

#include <QTemporaryDir>
#include <QTest>
#include <tuple>

#include "common/datetime.h"
#include "core/format/schema.h"
#include "core/format/yearlog.h"
#include "core/register.h"
#include "core/timewindows.h"
#include "must.h"
#include "testsupport.h"

namespace tallyra::test {

using Rows = QList<QList<int>>;

// November 2026 starts on a Sunday. Two windows, 早读 07:30-08:00 and 午间 12:00-12:30,
// Monday to Friday; an absence is logged at 08:01 and 12:31. People 1 张三, 2 李四 (班级 一班)
// and 3 王五, 4 赵六 (二班); 5 has left the board, 6 has no name.
struct Fixture {
    QTemporaryDir dir;
    DataFolder folder{dir.path()};
    Roster roster;
    TimeTable table;
    SchoolCalendar calendar;
    LeaveBook leave;
    Schema schema = Schema::Defaults();

    Fixture() {
        const char16_t* names[] = {u"张三", u"李四", u"王五", u"赵六", u"钱七"};
        for (int i = 1; i <= 5; ++i) {
            roster.at(i).name = QString::fromUtf16(names[i - 1]);
            roster.at(i).choices[1] = qint16(i <= 2 ? 0 : 1);
        }
        roster.at(5).flags = 2;  // takes no part in sign-in
        roster.at(6).choices[1] = 0;
        for (int d = 2; d <= 6; ++d) {
            for (auto [w, start, end] : {std::tuple{0, 450, 480}, std::tuple{1, 720, 750}}) {
                const int k = TimeTable::Cell(w, d);
                table.starts[size_t(k)] = qint16(start);
                table.ends[size_t(k)] = qint16(end);
                table.set[size_t(k)] = true;
            }
        }
        table.names[0] = QStringLiteral("早读");
        table.names[1] = QStringLiteral("午间");
        schema.titles[9] = QStringLiteral("班级");
        schema.enabled[9] = 1;
        schema.choiceCounts[1] = 3;
        schema.choiceElements[1][0] = QStringLiteral("一班");
        schema.choiceElements[1][1] = QStringLiteral("二班");
        schema.choiceElements[1][2] = QStringLiteral("三班");
    }
    // `count` more people of class `element` from roster index `from`, named 学生<index>.
    void addPeople(int from, int count, int element) {
        for (int i = from; i < from + count; ++i) {
            roster.at(i).name = QStringLiteral("学生%1").arg(i);
            roster.at(i).cardNumber = qint64(1000 + i) * 10000;
            roster.at(i).choices[1] = qint16(element);
        }
    }
    // The roster, the definitions and the windows into the folder, for what reads them there
    // (the command line, the window).
    void store() const {
        RosterFile file;
        Must(file.open(folder));
        for (int i = 1; i <= kRosterSize; ++i)
            if (!roster.at(i).name.isEmpty()) Must(file.write(i, roster.at(i)));
        Must(SaveSchema(folder, schema));
        for (int f = 9; f <= 11; ++f) Must(SaveChoiceList(folder, schema, f));
        for (int k = 0; k < kCellCount; ++k) {
            Must(WriteCellTimes(folder, k, table.starts[size_t(k)], table.ends[size_t(k)]));
            Must(WriteCellFlag(folder, k, table.set[size_t(k)]));
        }
        for (int w = 0; w < 2; ++w) Must(WriteWindowName(folder, w, table.names[size_t(w)]));
    }
    static double Ole(int y, int m, int d) { return DateToOle(QDate(y, m, d)); }
    // {index, day of the month, minute, minutes late}, appended in this order.
    void log(int year, int month, const Rows& records) {
        YearLog y;
        QVERIFY(y.open(folder, year));
        for (const QList<int>& r : records)
            Must(y.append({qint16(r[0]), Ole(year, month, r[1]), qint16(r[2]), qint16(r[3])}));
    }
    RegisterBuild build(const QDate& month, RegisterRequest request = {},
                        const QDate& today = QDate(2026, 11, 7), int minuteNow = 24 * 60,
                        LogOrderMemo* memo = nullptr) const {
        request.month = month;
        return BuildRegister(
            RegisterSources{
                folder, &roster, {&table, &calendar, &leave}, today, minuteNow, -1, memo},
            request);
    }
    static QString Marks(const RegisterSheet& s, int row, int from, int to) {
        QString out;
        for (int d = from; d <= to; ++d) {
            const QString m = DayMarkText(s.mark(row, d - 1));
            out += m.isEmpty() ? QStringLiteral("-") : m;
        }
        return out;
    }
};

constexpr int kAbsent = 9999;
// The minutes an absence of each window is logged at.
constexpr int kClose0 = 481, kClose1 = 751;

}  // namespace tallyra::test
