#include <QTest>
#include <map>

#include "common/datetime.h"
#include "common/text.h"
#include "core/calendarstore.h"
#include "must.h"
#include "signinfixture.h"

using namespace tallyra;
using namespace tallyra::test;

Q_DECLARE_METATYPE(tallyra::SwipeOutcome)

namespace {
// 0: 07:30-08:00, 1: 08:30-09:00, 2: 08:45-09:30 (overlaps 1), 3: 10:00-10:30 not set today.
std::vector<WindowSpec> DayWindows() {
    return {{0, 450, 480}, {1, 510, 540}, {2, 525, 570}, {3, 600, 630, false}};
}
}  // namespace

class TestSignIn : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void judgesTheMinute_data() {
        QTest::addColumn<int>("minute");
        QTest::addColumn<SwipeOutcome>("outcome");
        QTest::addColumn<int>("window");
        QTest::addColumn<int>("late");
        QTest::newRow("start minute") << 450 << SwipeOutcome::OnTime << 0 << -1;
        QTest::newRow("end minute") << 480 << SwipeOutcome::OnTime << 0 << -1;
        QTest::newRow("a minute after the end") << 481 << SwipeOutcome::Late << 0 << 1;
        QTest::newRow("before the next window") << 509 << SwipeOutcome::Late << 0 << 29;
        QTest::newRow("overlap: higher wins") << 530 << SwipeOutcome::OnTime << 2 << -1;
        QTest::newRow("only the lower open") << 520 << SwipeOutcome::OnTime << 1 << -1;
        QTest::newRow("nothing ended yet") << 449 << SwipeOutcome::NoWindow << -1 << 0;
        // Window 3 is not set today: never open, never made up; the latest set end wins.
        QTest::newRow("unset window's time") << 610 << SwipeOutcome::Late << 2 << 40;
    }
    void judgesTheMinute() {
        QFETCH(int, minute);
        QFETCH(SwipeOutcome, outcome);
        QFETCH(int, window);
        QFETCH(int, late);
        SignInRig rig(3, DayWindows());
        const SwipeResult r = rig.swipe(minute, Card(2));
        QCOMPARE(r.outcome, outcome);
        QCOMPARE(r.window, window);
        QCOMPARE(r.index, 2);
        if (window >= 0) {
            QCOMPARE(rig.status(2, window), qint16(late));
            QCOMPARE(rig.mark(2, window), StatusMark(late));
        }
        for (int w = 0; w < 6; ++w)
            if (w != window) QCOMPARE(rig.status(2, w), qint16(0));
    }

    void noticesAndCues_data() {
        QTest::addColumn<QList<int>>("minutes");  // swipes of person 1, in order
        QTest::addColumn<int>("panel");
        QTest::addColumn<QStringList>("notices");
        QTest::addColumn<QStringList>("cues");
        const QStringList none;
        QTest::newRow("on time") << QList<int>{455} << 4 << QStringList{"P1[0]签到成功"}
                                 << QStringList{"3.wav"};
        QTest::newRow("repeat, sign-in panel")
            << QList<int>{455, 456} << 4
            << QStringList{"P1[0]签到成功", "P1[0]已经签到，无须重复刷卡。"}
            << QStringList{"3.wav", "4.wav"};
        QTest::newRow("repeat, personal centre")
            << QList<int>{455, 456} << 5 << QStringList{"P1[0]签到成功"} << QStringList{"3.wav"};
        QTest::newRow("make-up, then refused")
            << QList<int>{495, 500} << 4
            << QStringList{"P1[0]补签成功 (迟签15分钟)", "P1: 当前不是签到时间。"}
            << QStringList{"0.wav", "4.wav"};
        QTest::newRow("make-up, then refused, personal centre")
            << QList<int>{495, 500} << 5 << QStringList{"P1[0]补签成功 (迟签15分钟)"}
            << QStringList{"0.wav"};
        QTest::newRow("too early")
            << QList<int>{400} << 4 << QStringList{"P1: 当前不是签到时间。"} << none;
        QTest::newRow("too early, personal centre") << QList<int>{400} << 5 << none << none;
    }
    void noticesAndCues() {
        QFETCH(QList<int>, minutes);
        QFETCH(int, panel);
        QFETCH(QStringList, notices);
        QFETCH(QStringList, cues);
        SignInRig rig(2, DayWindows());
        for (int m : minutes) rig.swipe(m, Card(1), Panel(panel));
        QCOMPARE(rig.notifier.notices, notices);
        QCOMPARE(rig.cues.played, cues);
    }

    void badNumbers_data() {
        QTest::addColumn<QString>("card");
        QTest::addColumn<SwipeOutcome>("outcome");
        QTest::addColumn<QStringList>("notices");
        QTest::newRow("empty") << "" << SwipeOutcome::Empty << QStringList{};
        QTest::newRow("13 digits")
            << "1234567890123" << SwipeOutcome::TooLong << QStringList{"刷卡出现错误"};
        QTest::newRow("12 digits, unknown")
            << "123456789012" << SwipeOutcome::UnknownCard << QStringList{"卡号不存在"};
        QTest::newRow("leading zero")
            << "01001" << SwipeOutcome::UnknownCard << QStringList{"卡号不存在"};
    }
    void badNumbers() {
        QFETCH(QString, card);
        QFETCH(SwipeOutcome, outcome);
        QFETCH(QStringList, notices);
        SignInRig rig(2, DayWindows());
        QCOMPARE(rig.swipe(455, card).outcome, outcome);
        QCOMPARE(rig.notifier.notices, notices);
        QVERIFY(rig.cues.played.isEmpty());
        QVERIFY(rig.log().empty());
        QCOMPARE(rig.status(1, 0), qint16(0));
    }

    void twelveDigitCardIsFound() {
        QTemporaryDir dir;
        DataFolder folder(dir.path());
        WriteSignInFolder(folder, 0, DayWindows());
        RosterFile file;
        file.open(folder);
        PersonRecord p;
        p.name = QStringLiteral("长卡");
        p.cardNumber = 999999999999LL * 10000;
        Must(file.write(7, p));
        file.close();
        MockClock clock(At(455));
        RecordingNotifier notifier;
        Workstation station(folder, clock, notifier);
        station.start();
        SilentCuePlayer cues;
        SignIn signIn(station, cues);
        QCOMPARE(signIn.ProcessSwipe(QStringLiteral("999999999999"), Panel::SignIn).outcome,
                 SwipeOutcome::OnTime);
        QCOMPARE(notifier.notices.last(), "长卡[0]签到成功");
        station.shutDown();
    }

    void findsCardsAfterTheBoardChanges() {
        SignInRig rig(4, DayWindows());
        TextGridModel& board = rig.station->board();
        QCOMPARE(rig.signIn->FindCardRow(Card(1)), rig.rowOf(1));
        board.sortRows(kBoardFirstPerson, board.rows() - 1, 1, 1, TextGridModel::TextDescending);
        QCOMPARE(rig.rowOf(1), board.rows() - 1);
        QCOMPARE(rig.swipe(455, Card(1)).index, 1);
        // Two rows with one card: the upper one counts.
        board.setText(rig.rowOf(3), kBoardCardColumn, Card(2));
        QCOMPARE(rig.signIn->FindCardRow(Card(2)), std::min(rig.rowOf(2), rig.rowOf(3)));
        QCOMPARE(rig.signIn->FindCardRow(Card(3)), -1);
        board.setRows(kBoardFirstPerson);
        QCOMPARE(rig.swipe(455, Card(4)).outcome, SwipeOutcome::UnknownCard);
    }

    void recordsInTheFiles() {
        SignInRig rig(3, DayWindows());
        rig.swipe(455, Card(3));  // on time, logged: the option is on
        rig.swipe(500, Card(2));  // 20 late for window 0
        const double day = DateToOle(FixtureDay());
        const std::vector<YearLogRecord> expected{{3, day, 455, 0}, {2, day, 500, 20}};
        QCOMPARE(rig.log(), expected);
        QCOMPARE(rig.station->yearLog().recordCount(), 2);
        // Status of index 3, window 0 at byte 12 * 3 + 0 (1-based): -1.
        const QByteArray status = ReadAll(rig.folder.dayStatus());
        QCOMPARE(status.mid(35, 2), QByteArray("\xff\xff", 2));
        QCOMPARE(status.mid(23, 2), QByteArray("\x14\x00", 2));
        const QByteArray log = ReadAll(rig.folder.yearLog(2026));
        QCOMPARE(log.size(), 32);
        QCOMPARE(log.mid(16, 2), QByteArray("\x02\x00", 2));
        QCOMPARE(log.mid(26, 4), QByteArray("\xf4\x01\x14\x00", 4));
        QCOMPARE(rig.station->board().text(1, 3), "2/3");
        QCOMPARE(rig.station->board().text(2, 3), "1/0");
        QCOMPARE(rig.mark(2, 0), QString("○ 20"));
    }

    void onTimeNotLoggedWhenTheOptionIsOff() {
        SignInRig rig(2, DayWindows(), /*recordOnTime=*/false);
        rig.swipe(455, Card(1));
        rig.swipe(490, Card(2));
        QCOMPARE(rig.log().size(), size_t(1));
        QCOMPARE(rig.log()[0].minutesLate, qint16(10));
        QCOMPARE(rig.status(1, 0), kStatusOnTime);
    }

    void noSoundWhenCuesAreOff() {
        SignInRig rig(1, DayWindows());
        Must(rig.station->settings().setOption(Settings::SoundCues, false));
        rig.swipe(455, Card(1));
        QVERIFY(rig.cues.played.isEmpty());
    }

    void switchingAWindowOffCountsAtOnce() {
        SignInRig rig(1, DayWindows());
        Must(rig.station->timeTable().setCellSet(TimeTable::Cell(0, kFixtureWeekday), false));
        QCOMPARE(rig.swipe(455, Card(1)).outcome, SwipeOutcome::NoWindow);
    }

    void swipeAfterTheAbsentMark() {
        SignInRig rig(2, DayWindows());
        rig.clock.set(At(481));
        rig.signIn->OnTimer1();
        const SwipeResult r = rig.swipe(485, Card(1));
        QCOMPARE(r.outcome, SwipeOutcome::AlreadyClosed);
        QCOMPARE(rig.notifier.notices.last(), "P1: 当前不是签到时间。");
        QCOMPARE(rig.cues.played, QStringList{"4.wav"});
        QCOMPARE(rig.status(1, 0), kStatusAbsent);
    }

    void boardCounts() {
        TextGridModel board(kBoardFirstPerson + 10, 9);
        const QStringList marks{"√", "√", "√", "√", "√", "√", "√", "○  5", "○120", "×"};
        for (int r = 0; r < 10; ++r) board.setText(kBoardFirstPerson + r, 5, marks[r]);
        RecountWindow(board, 2);
        QCOMPARE(board.text(1, 5), "9/10");
        QCOMPARE(board.text(2, 5), "2/1");
        RecountWindow(board, 0);
        QCOMPARE(board.text(1, 3), "0/10");
        QCOMPARE(board.text(2, 3), "0/0");
    }

    void countsAtStartUpFromTheStatusFile() {
        QTemporaryDir dir;
        DataFolder folder(dir.path());
        WriteSignInFolder(folder, 3, DayWindows());
        MockClock clock(At(500));
        SilentNotifier notifier;
        {
            // The first start of a day clears the status file; the marks come after it.
            Workstation first(folder, clock, notifier);
            first.start();
            WriteStatus(folder, 1, 0, kStatusOnTime);
            WriteStatus(folder, 2, 0, 7);
            first.shutDown();
        }
        Workstation again(folder, clock, notifier);
        again.start();
        QCOMPARE(again.board().text(1, 3), "2/3");
        QCOMPARE(again.board().text(2, 3), "1/0");
        QCOMPARE(again.board().text(1, 6), QString());  // window 3 is hidden today
        again.shutDown();
    }

    void closingAWindow_data() {
        QTest::addColumn<int>("people");
        QTest::addColumn<QList<int>>("signedIn");
        QTest::addColumn<QString>("notice");
        QTest::newRow("two absent") << 3 << QList<int>{2} << "P1,P3已登记[未签]";
        QTest::newRow("six absent") << 6 << QList<int>{} << "P1,P2,P3,P4,P5,P6等6人已登记[未签]";
        QTest::newRow("eight absent") << 9 << QList<int>{4} << "P1,P2,P3,P5,P6,P7等8人已登记[未签]";
        QTest::newRow("nobody absent") << 1 << QList<int>{1} << "已登记[未签]";
    }
    void closingAWindow() {
        QFETCH(int, people);
        QFETCH(QList<int>, signedIn);
        QFETCH(QString, notice);
        SignInRig rig(people, DayWindows(), /*recordOnTime=*/false);
        for (int i : signedIn) rig.swipe(460, Card(i));
        rig.notifier.notices.clear();
        rig.clock.set(At(481, 5));
        QCOMPARE(rig.signIn->OnTimer1(), "08:01");
        QCOMPARE(rig.notifier.notices, QStringList{notice});
        const std::vector<YearLogRecord> log = rig.log();
        QCOMPARE(int(log.size()), people - int(signedIn.size()));
        int n = 0;
        for (int i = 1; i <= people; ++i) {
            if (signedIn.contains(i)) continue;
            QCOMPARE(log[size_t(n++)],
                     (YearLogRecord{qint16(i), DateToOle(FixtureDay()), 481, kStatusAbsent}));
            QCOMPARE(rig.status(i, 0), kStatusAbsent);
            QCOMPARE(rig.mark(i, 0), "×");
        }
        QCOMPARE(rig.station->board().text(2, 3),
                 QStringLiteral("0/%1").arg(people - signedIn.size()));

        // A window closes once a day: the second tick of that minute leaves it alone, and
        // so does a restart.
        rig.notifier.notices.clear();
        rig.clock.set(At(481, 35));
        rig.signIn->OnTimer1();
        QCOMPARE(rig.notifier.notices, QStringList{});
        rig.station->shutDown();
        Workstation again(rig.folder, rig.clock, rig.notifier);
        QCOMPARE(again.start(), Workstation::StartResult::Ready);
        SignIn(again, rig.cues).RecoverDay();
        QCOMPARE(int(rig.log().size()), people - int(signedIn.size()));
    }

    // A station left running: the tick after midnight closes the old day (the window that
    // ends at 23:59 too, on the old date) and begins the new one as a start would.
    void aRunAcrossMidnight_data() {
        QTest::addColumn<QDate>("first");
        QTest::newRow("over midnight") << QDate(2026, 12, 8);
        QTest::newRow("over New Year") << QDate(2026, 12, 31);
    }
    void aRunAcrossMidnight() {
        QFETCH(QDate, first);
        const QDate second = first.addDays(1);
        QTemporaryDir dir;
        DataFolder folder(dir.path());
        WriteSignInFolder(folder, 3, {});
        for (int d = 1; d <= 7; ++d) {  // 07:30-08:00 and 23:00-23:59 every day
            Must(WriteCellTimes(folder, TimeTable::Cell(0, d), 450, 480));
            Must(WriteCellTimes(folder, TimeTable::Cell(1, d), 1380, 1439));
            Must(WriteCellFlag(folder, TimeTable::Cell(0, d), true));
            Must(WriteCellFlag(folder, TimeTable::Cell(1, d), true));
        }
        MockClock clock(QDateTime(first, QTime(7, 0)));
        RecordingNotifier notifier;
        RecordingCuePlayer cues;
        Workstation station(folder, clock, notifier);
        QCOMPARE(station.start(), Workstation::StartResult::Ready);
        SignIn signIn(station, cues);
        int newDays = 0;
        signIn.setNewDayHandler([&] { ++newDays; });
        auto at = [&](const QDate& d, int minute, int second = 0) {
            clock.set(QDateTime(d, QTime(minute / 60, minute % 60, second)));
        };
        at(first, 460);
        QCOMPARE(signIn.ProcessSwipe(Card(1), Panel::SignIn).outcome, SwipeOutcome::OnTime);
        at(first, 1390);
        QCOMPARE(signIn.ProcessSwipe(Card(1), Panel::SignIn).outcome, SwipeOutcome::OnTime);
        at(first, 481, 10);
        signIn.OnTimer1();  // 2 and 3 absent from window 0; the clock went back a little
        at(first, 1439, 50);
        signIn.OnTimer1();
        notifier.notices.clear();
        at(second, 0, 20);
        signIn.OnTimer1();
        QCOMPARE(newDays, 1);
        QCOMPARE(station.day().day, second);
        QCOMPARE(ReadLastStart(folder), second);
        const bool newYear = second.year() != first.year();
        QCOMPARE(notifier.notices.contains("欢迎新一年"), newYear);
        QVERIFY(notifier.notices.last().startsWith("新的一天已经开始"));
        // The old day's last window closed at midnight under the old date, minute 23:59.
        QCOMPARE(notifier.notices.first(), "P2,P3已登记[未签]");
        std::vector<YearLogRecord> old;
        ReadYearLog(folder.yearLog(first.year()), [&](const YearLogRecord* r, size_t n) {
            old.insert(old.end(), r, r + n);
            return true;
        });
        QCOMPARE(old.back(), (YearLogRecord{3, DateToOle(first), 1439, kStatusAbsent}));
        // A fresh board and day: yesterday's sign-in and absence are gone.
        for (int w = 0; w < 2; ++w) QCOMPARE(station.board().text(4, 3 + w), QString());
        QCOMPARE(station.board().text(1, 3), "0/3");
        at(second, 460);
        QCOMPARE(signIn.ProcessSwipe(Card(1), Panel::SignIn).outcome, SwipeOutcome::OnTime);
        QCOMPARE(signIn.ProcessSwipe(Card(2), Panel::SignIn).outcome, SwipeOutcome::OnTime);
        std::vector<YearLogRecord> fresh;
        ReadYearLog(folder.yearLog(second.year()), [&](const YearLogRecord* r, size_t n) {
            fresh.insert(fresh.end(), r, r + n);
            return true;
        });
        QCOMPARE(fresh.back(), (YearLogRecord{2, DateToOle(second), 460, 0}));
        QCOMPARE(int(fresh.size()), newYear ? 2 : int(old.size()) + 2);

        // The clock set back across midnight keeps the day, and says so once.
        notifier.notices.clear();
        at(first, 1438);
        signIn.OnTimer1();
        QCOMPARE(signIn.ProcessSwipe(Card(3), Panel::SignIn).outcome, SwipeOutcome::NoWindow);
        QCOMPARE(station.day().day, second);
        QCOMPARE(notifier.notices.filter("系统时钟").size(), 1);
        at(second, 470);
        QCOMPARE(signIn.ProcessSwipe(Card(3), Panel::SignIn).outcome, SwipeOutcome::OnTime);
        station.shutDown();
    }

    void whichWindowsATickCloses_data() {
        QTest::addColumn<QList<int>>("ticks");         // minutes of the ticks, in order
        QTest::addColumn<std::vector<int>>("closed");  // by the last of them
        QTest::newRow("a minute after window 0") << QList<int>{481} << std::vector<int>{0};
        QTest::newRow("the end minute itself") << QList<int>{480} << std::vector<int>{};
        QTest::newRow("the next minute: closed once") << QList<int>{481, 482} << std::vector<int>{};
        QTest::newRow("ticks missed for 3 minutes")
            << QList<int>{479, 484} << std::vector<int>{0, 5};
        QTest::newRow("two windows ending together")
            << QList<int>{540, 541} << std::vector<int>{1, 4};
        QTest::newRow("a jump of two hours")
            << QList<int>{470, 590} << std::vector<int>{0, 1, 2, 4, 5};
        QTest::newRow("clock set back 5 minutes")
            << QList<int>{481, 476, 481, 482} << std::vector<int>{};
        QTest::newRow("a window not set today") << QList<int>{630, 631} << std::vector<int>{};
    }
    void whichWindowsATickCloses() {
        QFETCH(QList<int>, ticks);
        QFETCH(std::vector<int>, closed);
        std::vector<WindowSpec> windows = DayWindows();
        windows.push_back({4, 500, 540});
        windows.push_back({5, 470, 483});
        SignInRig rig(2, windows);
        std::array<QString, 6> before;
        for (int minute : ticks) {
            for (int w = 0; w < 6; ++w) before[size_t(w)] = rig.mark(1, w);
            rig.clock.set(At(minute, 10));
            rig.signIn->OnTimer1();
        }
        for (int w = 0; w < 6; ++w) {
            const bool shut = std::find(closed.begin(), closed.end(), w) != closed.end();
            QCOMPARE(rig.mark(1, w) != before[size_t(w)], shut);
        }
        // However the clock went, each window has one absent record per person.
        std::map<std::pair<int, int>, int> records;
        for (const YearLogRecord& r : rig.log()) ++records[{r.index, r.minute}];
        for (const auto& [key, n] : records) QCOMPARE(n, key.second == 541 ? 2 : 1);
    }

    // The calendar and leave at a day's first window (0: 07:30-08:00, closing at 08:01):
    // what a swipe at `swipeAt` (-1: none) does, then what the close leaves person 1 with.
    // `calendar`: "closed:NAME" or "makeup:WEEKDAY" for the day; `leave`: person 1's leave
    // as "FROM[/W]..TO[/W]" (days as yyyy-MM-dd, W 1-6), "+cancelled" when it was withdrawn,
    // "+after" when it is entered only after the close.
    void calendarAndLeave_data() {
        QTest::addColumn<QDate>("day");
        QTest::addColumn<QString>("calendar");
        QTest::addColumn<QString>("leave");
        QTest::addColumn<int>("swipeAt");
        QTest::addColumn<SwipeOutcome>("outcome");
        QTest::addColumn<QString>("notice");  // the swipe's notice
        QTest::addColumn<int>("status");      // person 1, window 0, after the close
        QTest::addColumn<QString>("mark");
        QTest::addColumn<int>("records");
        const QDate tue = FixtureDay(), sat(2026, 12, 12), newYear(2027, 1, 1);
        const auto none = SwipeOutcome::Empty;
        QTest::newRow("closed day")
            << tue << "closed:国庆节"
            << "" << 455 << SwipeOutcome::ClosedDay << "P1: 今天休息：国庆节" << 0 << "" << 0;
        QTest::newRow("make-up Saturday runs Tuesday")
            << sat << "makeup:3"
            << "" << 455 << SwipeOutcome::OnTime << "P1[0]签到成功" << -1 << "√" << 1;
        QTest::newRow("a Saturday not made up")
            << sat << ""
            << "" << 455 << SwipeOutcome::NoWindow << "P1: 当前不是签到时间。" << 0 << "" << 0;
        QTest::newRow("leave before the window")
            << tue << ""
            << "2026-12-08..2026-12-08" << -1 << none << "" << 0 << "假" << 0;
        QTest::newRow("on leave, came after all")
            << tue << ""
            << "2026-12-08/1..2026-12-08/1" << 455 << SwipeOutcome::OnTime
            << "P1[0]签到成功（已请病假）" << -1 << "√" << 1;
        QTest::newRow("leave for the next window only")
            << tue << ""
            << "2026-12-08/2..2026-12-08/6" << -1 << none << "" << 9999 << "×" << 1;
        QTest::newRow("leave entered after the close")
            << tue << ""
            << "2026-12-08..2026-12-08+after" << -1 << none << "" << 9999 << "×" << 1;
        QTest::newRow("cancelled leave")
            << tue << ""
            << "2026-12-08..2026-12-08+cancelled" << -1 << none << "" << 9999 << "×" << 1;
        QTest::newRow("leave spanning midnight")
            << tue << ""
            << "2026-12-07/6..2026-12-08/1" << -1 << none << "" << 0 << "假" << 0;
        QTest::newRow("leave spanning New Year, on a make-up day")
            << newYear << "makeup:3"
            << "2026-12-31/2..2027-01-01/1" << -1 << none << "" << 0 << "假" << 0;
    }
    void calendarAndLeave() {
        QFETCH(QDate, day);
        QFETCH(QString, calendar);
        QFETCH(QString, leave);
        QFETCH(int, swipeAt);
        QFETCH(SwipeOutcome, outcome);
        QFETCH(QString, notice);
        QFETCH(int, status);
        QFETCH(QString, mark);
        QFETCH(int, records);
        const auto dayWindow = [](const QString& t, qint32& d, int& w) {
            const QStringList p = t.split(u'/');
            d = qint32(DateToOle(QDate::fromString(p[0], QStringLiteral("yyyy-MM-dd"))));
            w = p.size() > 1 ? p[1].toInt() - 1 : -1;
        };
        LeaveEntry entry;
        const QString span = leave.section(u'+', 0, 0);
        if (!span.isEmpty()) {
            dayWindow(span.section(QStringLiteral(".."), 0, 0), entry.fromDay, entry.fromWindow);
            dayWindow(span.section(QStringLiteral(".."), 1, 1), entry.toDay, entry.toWindow);
        }
        entry.index = 1;
        entry.kind = QStringLiteral("病假");
        entry.by = QStringLiteral("王老师");
        SignInRig rig(2, {{0, 450, 480}}, true, day, [&](const DataFolder& folder) {
            CalendarStore cal(folder);
            if (calendar.startsWith(u"closed:"))
                Must(cal.close(day, day, calendar.mid(7)));
            else if (calendar.startsWith(u"makeup:"))
                Must(cal.makeUp(day, calendar.mid(7).toInt()));
            if (span.isEmpty() || leave.endsWith(u"+after")) return;
            LeaveStore store(folder);
            qint32 id = 0;
            Must(store.add(entry, &id));
            if (leave.endsWith(u"+cancelled")) Must(store.cancel(id, QStringLiteral("李"), 1.0));
        });
        if (swipeAt >= 0) {
            QCOMPARE(rig.swipe(swipeAt, Card(1)).outcome, outcome);
            QCOMPARE(rig.notifier.notices.value(0), notice);
        }
        rig.clock.set(QDateTime(day, QTime(8, 1, 5)));
        rig.signIn->OnTimer1();
        if (leave.endsWith(u"+after")) Must(rig.station->leave().add(entry));
        QCOMPARE(rig.status(1, 0), qint16(status));
        QCOMPARE(rig.mark(1, 0), mark);
        int mine = 0;
        for (const YearLogRecord& r : rig.log()) mine += r.index == 1;
        QCOMPARE(mine, records);
        // Whoever is not excused is marked absent exactly when the window was held.
        QCOMPARE(rig.status(2, 0), rig.station->isHeldToday(0) ? kStatusAbsent : kStatusNone);
    }
};

QTEST_GUILESS_MAIN(TestSignIn)
#include "TestSignIn.moc"
