// The faults a school PC meets (a full disk, a read-only file, a short write, a kill or a
// power cut in the middle of a write), injected at every write of every store.

#include <QTest>
#include <cerrno>
#include <cstdlib>
#include <functional>

#include "childprocess.h"
#include "common/datetime.h"
#include "common/text.h"
#include "core/rosteredit.h"
#include "core/rosterimport.h"
#include "fakeworkbook.h"
#include "must.h"
#include "signinfixture.h"

using namespace tallyra;
using namespace tallyra::test;

Q_DECLARE_METATYPE(tallyra::faults::Kind)

namespace {

// Window 0 runs 07:30-08:00 and closes at 08:01; three people.
constexpr int kPeople = 3;
std::vector<WindowSpec> Windows() { return {{0, 450, 480}}; }

enum class Path {
    OnTime,
    OnTimeUnlogged,
    Late,
    Close,
    RosterEdit,
    Import,
    Option,
    Font,
    Times,
    Schema,
    Element,
    Calendar,
    Leave
};

struct Case {
    Path path;
    bool recordOnTime = true;
    // Runs the store; true when it reported success.
    std::function<bool(SignInRig&)> run;
};

Case CaseOf(Path path) {
    switch (path) {
        case Path::OnTime:
        case Path::OnTimeUnlogged:
            return {path, path == Path::OnTime, [](SignInRig& rig) {
                        return rig.swipe(460, Card(1)).outcome == SwipeOutcome::OnTime;
                    }};
        case Path::Late:
            return {path, true, [](SignInRig& rig) {
                        return rig.swipe(485, Card(1)).outcome == SwipeOutcome::Late;
                    }};
        case Path::Close:
            return {path, true, [](SignInRig& rig) {
                        rig.clock.set(At(481, 5));
                        rig.signIn->OnTimer1();
                        return rig.station->dayStatus().isClosed(0);
                    }};
        case Path::RosterEdit:
            return {path, true, [](SignInRig& rig) {
                        Workstation& s = *rig.station;
                        Must(s.roster().open());
                        RosterEdit edit(s.roster());
                        return edit.commitText(2, 2, QStringLiteral("新名字")).result ==
                               EditResult::Stored;
                    }};
        case Path::Import:
            return {path, true, [](SignInRig& rig) {
                        Workstation& s = *rig.station;
                        Must(s.roster().open());
                        FakeWorkbook wb;
                        wb.row(1, 1, {"卡号", "姓名"});
                        wb.row(1, 2, {"2001", "甲"});
                        wb.row(1, 3, {"2002", "乙"});
                        return !ImportRosterSpreadsheet(&wb, s.importTargets()).notStored;
                    }};
        case Path::Option:
            return {path, true, [](SignInRig& rig) {
                        return rig.station->settings().setOption(Settings::SystemPrompt, true) ==
                               StoreResult::Stored;
                    }};
        case Path::Font:
            return {path, true, [](SignInRig& rig) {
                        return rig.station->settings().setGridFont({"宋体", 12.0f, true, true}) ==
                               StoreResult::Stored;
                    }};
        case Path::Times:
            return {path, true, [](SignInRig& rig) {
                        return rig.station->timeTable().setTimes(2, 540, 570, true) ==
                               StoreResult::Stored;
                    }};
        case Path::Schema:
            return {path, true, [](SignInRig& rig) {
                        FieldDefinitions d;
                        d.titles = Schema::Defaults().titles;
                        d.titles[5] = QStringLiteral("住址");
                        d.enabled[5] = 1;
                        return rig.station->schema().setDefinitions(d) == StoreResult::Stored;
                    }};
        case Path::Calendar:
            return {path, true, [](SignInRig& rig) {
                        return rig.station->calendar().close(
                                   FixtureDay().addDays(1), FixtureDay().addDays(3),
                                   QStringLiteral("雪天")) == StoreResult::Stored;
                    }};
        case Path::Leave:
            return {path, true, [](SignInRig& rig) {
                        LeaveEntry e;
                        e.index = 2;
                        e.fromDay = e.toDay = qint32(DateToOle(FixtureDay()));
                        e.kind = QStringLiteral("病假");
                        e.by = QStringLiteral("王老师");
                        return rig.station->leave().add(e) == StoreResult::Stored;
                    }};
        case Path::Element:
            return {path, true, [](SignInRig& rig) {
                        return rig.station->schema().setElement(1, 3, QStringLiteral("高三")) ==
                               StoreResult::Stored;
                    }};
    }
    return {};
}

// The files' bytes; the day status by its values, since a status taken back may leave the
// zeros it reads as.
QByteArray FolderBytes(const DataFolder& folder) {
    QByteArray all;
    for (const QString& path :
         {folder.roster(), folder.settings(), folder.schema(), folder.timeWindows(),
          folder.yearLog(FixtureDay().year()), folder.calendar(), folder.leave()})
        all += path.toUtf8() + ':' + ReadAll(path) + '\n';
    QByteArray status = ReadAll(folder.dayStatus());
    while (status.endsWith('\0')) status.chop(1);
    return all + status;
}

// The day status, the year log and the board tell one story: each status has exactly one
// record (on-time ones when they are recorded), each record its status, each mark its status.
void CheckJournal(SignInRig& rig, bool recordOnTime) {
    const std::vector<YearLogRecord> log = rig.log();
    for (int i = 1; i <= kPeople; ++i) {
        const qint16 s = rig.status(i, 0);
        QCOMPARE(rig.mark(i, 0), StatusMark(s));
        int records = 0;
        for (const YearLogRecord& r : log) {
            if (r.index != i) continue;
            ++records;
            QCOMPARE(r.minutesLate, s == kStatusOnTime ? qint16(0) : s);
        }
        const bool logged = s != 0 && (s != kStatusOnTime || recordOnTime);
        QCOMPARE(records, logged ? 1 : 0);
    }
}

// What the core holds is what a fresh start would load from the files.
void CheckMemoryFollowsFiles(SignInRig& rig) {
    Workstation& s = *rig.station;
    Roster loaded;
    LoadRoster(rig.folder, loaded, {}, {});
    for (int i = 1; i <= 5; ++i) QCOMPARE(s.roster().person(i), loaded.at(i));
    const TimeTable table = LoadTimeWindows(rig.folder);
    QCOMPARE(s.timeTable().get().starts, table.starts);
    QCOMPARE(s.timeTable().get().ends, table.ends);
    const Settings settings = LoadSettings(rig.folder);
    QCOMPARE(s.settings().get().options, settings.options);
    QCOMPARE(s.settings().get().gridFont, settings.gridFont);
    Schema schema;
    LoadSchema(rig.folder, schema);
    for (int f = 9; f <= 11; ++f) LoadChoiceList(rig.folder, schema, f);
    QCOMPARE(s.schema().get().titles, schema.titles);
    QCOMPARE(s.schema().get().enabled, schema.enabled);
    QCOMPARE(s.schema().get().choiceElements, schema.choiceElements);
    CalendarStore calendar(rig.folder);
    LeaveStore leave(rig.folder);
    QVERIFY(!calendar.load().failed() && !leave.load().failed());
    QCOMPARE(s.calendar().get().days().size(), calendar.get().days().size());
    QCOMPARE(s.leave().get().entries().size(), leave.get().entries().size());
}

}  // namespace

class TestStoreFaults : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void cleanup() { faults::Disarm(); }

    void everyWriteOfEveryStore_data() {
        QTest::addColumn<int>("path");
        QTest::addColumn<faults::Kind>("kind");
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("nth");
        const std::pair<const char*, Path> paths[] = {
            {"on time", Path::OnTime},
            {"on time, not recorded", Path::OnTimeUnlogged},
            {"late", Path::Late},
            {"window close", Path::Close},
            {"roster edit", Path::RosterEdit},
            {"import", Path::Import},
            {"option box", Path::Option},
            {"grid font", Path::Font},
            {"time window", Path::Times},
            {"definitions", Path::Schema},
            {"element list", Path::Element},
            {"calendar", Path::Calendar},
            {"leave", Path::Leave}};
        const std::tuple<const char*, faults::Kind, int> kinds[] = {
            {"disk full", faults::Kind::Fail, ENOSPC},
            {"read-only", faults::Kind::Fail, EROFS},
            {"short write", faults::Kind::Short, ENOSPC}};
        for (auto [name, path] : paths) {
            // How many writes the store makes when nothing goes wrong.
            SignInRig rig(kPeople, Windows(), CaseOf(path).recordOnTime);
            faults::Arm(faults::Kind::None, 0);
            CaseOf(path).run(rig);
            const int writes = faults::WritesSoFar();
            faults::Disarm();
            for (int n = 1; n <= writes; ++n)
                for (auto [kindName, kind, code] : kinds)
                    QTest::addRow("%s, write %d, %s", name, n, kindName)
                        << int(path) << kind << code << n;
        }
    }
    void everyWriteOfEveryStore() {
        QFETCH(int, path);
        QFETCH(faults::Kind, kind);
        QFETCH(int, code);
        QFETCH(int, nth);
        const Case c = CaseOf(Path(path));
        SignInRig rig(kPeople, Windows(), c.recordOnTime);
        const QByteArray before = FolderBytes(rig.folder);
        faults::Arm(kind, nth, code);
        const bool reported = c.run(rig);
        faults::Disarm();

        QVERIFY(!reported);
        for (const QString& n : rig.notifier.notices) QVERIFY2(!n.contains("成功"), qPrintable(n));
        CheckMemoryFollowsFiles(rig);
        switch (c.path) {
            case Path::OnTime:
            case Path::OnTimeUnlogged:
            case Path::Late:
                QVERIFY(rig.notifier.notices.last().contains("未能保存"));
                QCOMPARE(rig.cues.played.last(), "4.wav");
                // Nothing is left that would refuse the retry, and the retry is stored.
                QCOMPARE(FolderBytes(rig.folder), before);
                QVERIFY(c.run(rig));
                CheckJournal(rig, c.recordOnTime);
                break;
            case Path::Close:
                QVERIFY(rig.notifier.notices.last().contains("缺勤记录未能保存"));
                CheckJournal(rig, c.recordOnTime);
                // The next tick finishes it, each absentee once.
                rig.clock.set(At(481, 35));
                rig.signIn->OnTimer1();
                QVERIFY(rig.station->dayStatus().isClosed(0));
                for (int i = 1; i <= kPeople; ++i) QCOMPARE(rig.status(i, 0), kStatusAbsent);
                CheckJournal(rig, c.recordOnTime);
                break;
            case Path::Import:
                QVERIFY(rig.notifier.notices.last().startsWith("导入未完成"));
                break;
            default:
                // One write each: a failed store leaves its file as it was.
                QCOMPARE(FolderBytes(rig.folder), before);
                break;
        }
    }

    void killedAtEveryWrite_data() {
        QTest::addColumn<int>("path");
        QTest::addColumn<int>("nth");
        for (Path path : {Path::OnTime, Path::Late, Path::Close})
            for (int n = 1; n <= (path == Path::Close ? 2 * kPeople + 3 : 4); ++n)
                QTest::addRow("%s, before write %d",
                              path == Path::Close  ? "close"
                              : path == Path::Late ? "late"
                                                   : "on time",
                              n)
                    << int(path) << n;
    }
    void killedAtEveryWrite() {
        QFETCH(int, path);
        QFETCH(int, nth);
        const Case c = CaseOf(Path(path));
        SignInRig rig(kPeople, Windows());
        rig.station->shutDown();
        if (const QStringList role = ChildRole(); !role.isEmpty()) {
            // A copy of the program on the parent's folder that dies at the n-th write, as a
            // kill -9 or a power cut would end it.
            rig.folder = DataFolder(role[0]);
            rig.station = std::make_unique<Workstation>(rig.folder, rig.clock, rig.notifier);
            if (rig.station->start() != Workstation::StartResult::Ready) std::_Exit(3);
            rig.signIn = std::make_unique<SignIn>(*rig.station, rig.cues);
            faults::Arm(faults::Kind::Exit, nth);
            std::_Exit(c.run(rig) ? 0 : 4);
        }
        const int status = RunChild({rig.folder.root()});
        // Each row but the last of a path dies; the last one runs through.
        const int writes = Path(path) == Path::Close ? 2 * kPeople + 2 : 3;
        QCOMPARE(status, nth <= writes ? 77 : 0);

        // The restart: statuses rebuilt from the journal, a begun close finished.
        rig.station = std::make_unique<Workstation>(rig.folder, rig.clock, rig.notifier);
        QCOMPARE(rig.station->start(), Workstation::StartResult::Ready);
        rig.signIn = std::make_unique<SignIn>(*rig.station, rig.cues);
        rig.signIn->RecoverDay();
        CheckJournal(rig, true);
        if (Path(path) == Path::Close) {
            // Restarted in the closing minute, the tick closes whatever was not begun.
            rig.clock.set(At(481, 40));
            rig.signIn->OnTimer1();
            for (int i = 1; i <= kPeople; ++i) QCOMPARE(rig.status(i, 0), kStatusAbsent);
        } else if (rig.status(1, 0) == 0) {
            QVERIFY(c.run(rig));  // an unanswered swipe can be made again
        }
        CheckJournal(rig, true);
    }
};

QTEST_GUILESS_MAIN(TestStoreFaults)
#include "TestStoreFaults.moc"
