#pragma once

#include <functional>
#include <memory>

#include "core/clock.h"
#include "core/datafolder.h"
#include "core/daystatus.h"
#include "core/notifier.h"
#include "core/rollover.h"
#include "core/roster.h"
#include "core/schema.h"
#include "core/settings.h"
#include "core/statistics.h"
#include "core/textgridmodel.h"
#include "core/timewindows.h"
#include "core/yearlog.h"

namespace tallyra {

// Everything the attendance program holds for a run, loaded in the start-up order the
// later steps depend on: rollover, the second-copy guard, definitions, the open day status
// file and year log, settings, grid headers, time windows, roster, today's windows.
class Workstation {
public:
    enum class StartResult { Ready, InUse, CaptureFailed };

    Workstation(DataFolder folder, const Clock& clock, Notifier& notifier);

    // `installCapture` runs once the grids are built and before anything is loaded; when it
    // returns false nothing more is loaded.
    StartResult start(const std::function<void()>& yield = {},
                      const std::function<bool()>& installCapture = {});
    void shutDown();

    const DataFolder& folder() const { return folder_; }
    const Clock& clock() const { return clock_; }
    Notifier& notifier() { return notifier_; }
    const RolloverResult& rollover() const { return rollover_; }
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

    static constexpr int kHiddenWidth = 0;

private:
    void buildGrids();
    void applySettings();
    void writeRosterHeaders();
    void showTimeWindows();

    DataFolder folder_;
    const Clock& clock_;
    Notifier& notifier_;
    RolloverResult rollover_;
    Schema schema_;
    Settings settings_;
    TimeTable timeTable_;
    TodayWindows todayWindows_;
    Roster roster_;
    DayStatusFile dayStatus_;
    YearLog yearLog_;
    RosterFile rosterFile_;
    TextGridModel board_{4, 9};
    TextGridModel rosterGrid_{2, 26};
    StatsGridModel statsGrid_{&roster_};
};

}  // namespace tallyra
