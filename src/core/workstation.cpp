#include "core/workstation.h"

#include <QStringList>
#include <algorithm>

#include "core/signin.h"

namespace tallyra {

Workstation::Workstation(DataFolder folder, const Clock& clock, Notifier& notifier)
    : folder_(std::move(folder)), clock_(clock), notifier_(notifier) {}

RosterDisplay Workstation::rosterDisplay() const {
    return RosterDisplay{&schema_, settings_.yearsPrecision, clock_.today()};
}

Workstation::StartResult Workstation::start(const std::function<void()>& yield,
                                            const std::function<bool()>& installCapture) {
    rollover_ = RollOverDay(folder_, clock_.today(), notifier_);
    if (IsFileInUse(folder_.dayStatus())) return StartResult::InUse;
    buildGrids();
    if (installCapture && !installCapture()) return StartResult::CaptureFailed;
    LoadSchema(folder_, schema_);
    // Taking the lock here as well closes the gap between the guard and this open, in
    // which a second copy could have started.
    if (dayStatus_.open(folder_) == DayStatusFile::OpenResult::InUse) return StartResult::InUse;
    yearLog_.open(folder_, rollover_.currentYear);
    settings_ = LoadSettings(folder_);
    applySettings();
    writeRosterHeaders();
    timeTable_ = LoadTimeWindows(folder_);
    showTimeWindows();
    LoadRoster(folder_, roster_, rosterDisplay(),
               RosterLoadTargets{&board_, &rosterGrid_, &dayStatus_, &notifier_, yield});
    todayWindows_ = ComputeTodayWindows(timeTable_, rollover_.weekday);
    for (int w = 0; w < kWindowCount; ++w)
        if (board_.columnWidth(kBoardFirstWindowColumn + w) != 0) RecountWindow(board_, w);
    return StartResult::Ready;
}

void Workstation::shutDown() {
    rosterFile_.close();
    yearLog_.close();
    dayStatus_.close();
}

void Workstation::buildGrids() {
    rosterGrid_.setRowHeight(1, 0);
    board_.setRowHeight(3, 0);
    board_.setText(0, 0, QStringLiteral("SID"));
    board_.setText(0, 2, QStringLiteral("姓名"));
    board_.setText(1, 2, QStringLiteral("实到/应到"));
    board_.setText(2, 2, QStringLiteral("迟签/未签"));
    board_.setColumnWidth(0, kHiddenWidth);
    for (int f = 9; f <= 11; ++f) LoadChoiceList(folder_, schema_, f);
    rosterGrid_.setText(0, 0, QStringLiteral("SID"));
    rosterGrid_.setColumnWidth(0, kHiddenWidth);
}

void Workstation::applySettings() {
    for (int c = 0; c < 26; ++c) rosterGrid_.setColumnWidth(c, settings_.rosterWidths[size_t(c)]);
    for (int c = 0; c < 9; ++c) board_.setColumnWidth(c, settings_.boardWidths[size_t(c)]);
}

void Workstation::writeRosterHeaders() {
    for (int f = 1; f <= kFieldCount; ++f) {
        rosterGrid_.setText(0, f, schema_.title(f));
        const int width = rosterGrid_.columnWidth(f);
        if (!schema_.isEnabled(f))
            rosterGrid_.setColumnWidth(f, kHiddenWidth);
        else if (width == 0)
            rosterGrid_.setColumnWidth(f, 120);
        else if (width > 2500)
            rosterGrid_.setColumnWidth(f, 2500);
    }
}

void Workstation::showTimeWindows() {
    for (int w = 0; w < kWindowCount; ++w) {
        board_.setText(0, w + 3, timeTable_.names[size_t(w)]);
        if (!timeTable_.isSet(w, rollover_.weekday)) board_.setColumnWidth(w + 3, kHiddenWidth);
    }
}

}  // namespace tallyra
