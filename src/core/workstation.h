#pragma once

#include <functional>
#include <memory>

#include "core/clock.h"
#include "core/cueplayer.h"
#include "core/format/datafolder.h"
#include "core/format/daystatus.h"
#include "core/format/schema.h"
#include "core/format/settings.h"
#include "core/format/yearlog.h"
#include "core/notifier.h"
#include "core/rollover.h"
#include "core/roster.h"
#include "core/statistics.h"
#include "core/timewindows.h"
#include "models/headersort.h"
#include "models/statsgridmodel.h"
#include "models/textgridmodel.h"

namespace tallyra {

// Everything the attendance program holds for a run, loaded in the start-up order the
// later steps depend on: the second-copy guard, rollover under its lock, definitions, the
// year log, settings, grid headers, time windows, roster, today's windows.
class Workstation {
public:
    enum class StartResult {
        Ready,
        InUse,          // another copy holds the folder; nothing was written
        CaptureFailed,  // keys cannot be captured
        FileProblem,    // a data file cannot be read, or the new day cannot be stored
    };

    Workstation(DataFolder folder, const Clock& clock, Notifier& notifier);

    // `installCapture` runs once the grids are built and before anything is loaded; when it
    // returns false nothing more is loaded.
    StartResult start(const std::function<void()>& yield = {},
                      const std::function<bool()>& installCapture = {});
    // What the message box of a refused start says (title "提示").
    const QString& startMessage() const { return startMessage_; }
    void shutDown();

    const DataFolder& folder() const { return folder_; }
    const Clock& clock() const { return clock_; }
    Notifier& notifier() { return notifier_; }
    const RolloverResult& rollover() const { return rollover_; }
    // The day the station keeps: today at start-up, moved on by StartNewDay. A clock set
    // back across midnight does not move it back.
    const DayCaptions& day() const { return day_; }
    Schema& schema() { return schema_; }
    Settings& settings() { return settings_; }
    TimeTable& timeTable() { return timeTable_; }
    const TodayWindows& todayWindows() const { return todayWindows_; }
    Roster& roster() { return roster_; }
    DayStatusFile& dayStatus() { return dayStatus_; }
    YearLog& yearLog() { return yearLog_; }
    RosterFile& rosterFile() { return rosterFile_; }
    RosterDisplay rosterDisplay() const;

    TextGridModel& board() { return board_; }  // sign-in grid
    TextGridModel& rosterGrid() { return rosterGrid_; }
    StatsGridModel& statsGrid() { return statsGrid_; }

    // Cue sounds ("0.wav", "3.wav", "4.wav"), played when the settings ask for them.
    void setCuePlayer(CuePlayer* cues) { cues_ = cues ? cues : &silent_; }
    void PlayCueSound(const QString& fileName);
    // The one way a store that failed is told: the notice with 4.wav.
    void ReportFailure(const QString& text);

    // The date changed while the program runs: what a start on `today` does, under the
    // lock this copy holds. False (the user told) when the new day could not be stored;
    // the station then stays on its day and the next call tries again.
    bool StartNewDay(const QDate& today);

    static constexpr int kHiddenWidth = 0;

private:
    StartResult refuse(StartResult why, const QString& message);
    StartResult refuseFile(const QString& what, const FileError& error);
    void buildGrids();
    void applySettings();
    void writeRosterHeaders();
    void showTimeWindows();

    DataFolder folder_;
    const Clock& clock_;
    Notifier& notifier_;
    SilentCuePlayer silent_;
    CuePlayer* cues_ = &silent_;
    RolloverResult rollover_;
    DayCaptions day_;
    QString startMessage_;
    Schema schema_;
    Settings settings_;
    TimeTable timeTable_;
    TodayWindows todayWindows_;
    Roster roster_;
    DayStatusFile dayStatus_;
    YearLog yearLog_;
    RosterFile rosterFile_;
    TextGridModel board_{kBoardFirstPerson, kBoardColumns};
    TextGridModel rosterGrid_{kRosterFirstPerson, kFieldCount + 1};
    StatsGridModel statsGrid_{&roster_};
};

}  // namespace tallyra
