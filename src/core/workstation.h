#pragma once

#include <functional>

#include "core/calendarstore.h"
#include "core/clock.h"
#include "core/cueplayer.h"
#include "core/format/datafolder.h"
#include "core/format/daystatus.h"
#include "core/format/yearlog.h"
#include "core/notifier.h"
#include "core/rollover.h"
#include "core/rosterimport.h"
#include "core/rosterstore.h"
#include "core/schemastore.h"
#include "core/settingsstore.h"
#include "core/timewindows.h"
#include "models/boardrows.h"
#include "models/textgridmodel.h"

namespace tallyra {

// The notices of a running station: a failure also sounds 4.wav when the settings ask for
// cue sounds.
class StationNotifier final : public Notifier {
public:
    StationNotifier(Notifier& out, const SettingsStore& settings)
        : out_(out), settings_(settings) {}
    void setCuePlayer(CuePlayer* cues) { cues_ = cues ? cues : &silent_; }
    void PlayCueSound(const QString& fileName) {
        if (settings_.option(Settings::SoundCues)) cues_->play(fileName);
    }
    void ShowNotice(const QString& text) override { out_.ShowNotice(text); }
    void ShowFailure(const QString& text) override {
        out_.ShowFailure(text);
        PlayCueSound(QStringLiteral("4.wav"));
    }

private:
    Notifier& out_;
    const SettingsStore& settings_;
    SilentCuePlayer silent_;
    CuePlayer* cues_ = &silent_;
};

// One run of the attendance program over a data folder: the start-up order the later steps
// depend on (the second-copy guard, rollover under its lock, definitions, the year log,
// settings, grid headers, time windows, roster, today's windows) and the shut-down. It owns
// the stores, through which every change to a data file goes, and the day: the day status
// file, the year log, today's windows and the board. The day is changed by the sign-in
// alone.
class Workstation {
public:
    enum class StartResult {
        Ready,
        InUse,          // another copy holds the folder; nothing was written
        CaptureFailed,  // keys cannot be captured
        FileProblem,    // a data file cannot be read, or the new day cannot be stored
    };

    Workstation(DataFolder folder, const Clock& clock, Notifier& notifier);
    Workstation(const Workstation&) = delete;
    Workstation& operator=(const Workstation&) = delete;

    // `installCapture` runs once the grids are built and before anything is loaded; when it
    // returns false nothing more is loaded.
    StartResult start(const std::function<void()>& yield = {},
                      const std::function<bool()>& installCapture = {});
    // What the message box of a refused start says (title "提示").
    const QString& startMessage() const { return startMessage_; }
    void shutDown();

    const DataFolder& folder() const { return folder_; }
    const Clock& clock() const { return clock_; }
    // Notices for the user; a failure comes with 4.wav.
    StationNotifier& notifier() { return notifier_; }
    const RolloverResult& rollover() const { return rollover_; }

    SettingsStore& settings() { return settings_; }
    SchemaStore& schema() { return schema_; }
    TimeTableStore& timeTable() { return timeTable_; }
    RosterStore& roster() { return roster_; }
    CalendarStore& calendar() { return calendar_; }
    LeaveStore& leave() { return leave_; }
    const SettingsStore& settings() const { return settings_; }
    const SchemaStore& schema() const { return schema_; }
    const TimeTableStore& timeTable() const { return timeTable_; }
    const RosterStore& roster() const { return roster_; }
    const CalendarStore& calendar() const { return calendar_; }
    const LeaveStore& leave() const { return leave_; }
    // The time table, the calendar and the leave together: what a day looks like.
    AttendanceCalendar attendance() const {
        return {&timeTable_.get(), &calendar_.get(), &leave_.get()};
    }

    // The day the station keeps: today at start-up, moved on by StartNewDay. A clock set
    // back across midnight does not move it back.
    const DayCaptions& day() const { return day_; }
    const DayPlan& plan() const { return plan_; }
    // Window w is held today: set for the weekday today runs, and today is not closed.
    bool isHeldToday(int window) const;
    const TodayWindows& todayWindows() const { return todayWindows_; }
    const DayStatusFile& dayStatus() const { return dayStatus_; }
    const YearLog& yearLog() const { return yearLog_; }

    // The grids the window shows: the board (MSQD) and the roster grid (MSRW). Views keep
    // their column widths, current cell and sort order in them.
    TextGridModel& board() { return board_; }
    TextGridModel& rosterGrid() { return rosterGrid_; }
    BoardRows& boardRows() { return boardRows_; }

    // Where the import stores the rows it takes; `criticalMessage` tells of the grid's limit.
    ImportTargets importTargets(std::function<void(const QString&)> criticalMessage = {});

    // Cue sounds ("0.wav", "3.wav", "4.wav"), played when the settings ask for them.
    void setCuePlayer(CuePlayer* cues) { notifier_.setCuePlayer(cues); }
    void PlayCueSound(const QString& fileName) { notifier_.PlayCueSound(fileName); }

    // The date changed while the program runs: what a start on `today` does, under the
    // lock this copy holds. False (the user told) when the new day could not be stored;
    // the station then stays on its day and the next call tries again.
    bool StartNewDay(const QDate& today);

    static constexpr int kHiddenWidth = 0;

private:
    // The day's statuses and records are written by the sign-in alone.
    friend class SignIn;

    StartResult refuse(StartResult why, const QString& message);
    StartResult refuseFile(const QString& what, const FileError& error);
    void buildGrids();
    void applySettings();
    void writeRosterHeaders();
    void showTimeWindows();
    // Today's plan and windows from the calendar, and the board's columns after them.
    void planDay();
    // The board's "假" for everyone whose leave covers a window still open to them today.
    void showLeaveMarks();

    DataFolder folder_;
    const Clock& clock_;
    SettingsStore settings_;
    StationNotifier notifier_;
    RolloverResult rollover_;
    DayCaptions day_;
    QString startMessage_;
    SchemaStore schema_;
    TimeTableStore timeTable_;
    TodayWindows todayWindows_;
    RosterStore roster_;
    CalendarStore calendar_;
    LeaveStore leave_;
    DayPlan plan_;
    DayStatusFile dayStatus_;
    YearLog yearLog_;
    TextGridModel board_{kBoardFirstPerson, kBoardColumns};
    BoardRows boardRows_{board_};
    TextGridModel rosterGrid_{kRosterFirstPerson, kFieldCount + 1};
};

}  // namespace tallyra
