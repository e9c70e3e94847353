#include "core/workstation.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>
#include <algorithm>

#include "common/datetime.h"
#include "core/firststart.h"
#include "core/format/fields.h"

namespace tallyra {

Workstation::Workstation(DataFolder folder, const Clock& clock, Notifier& notifier)
    : folder_(std::move(folder)),
      clock_(clock),
      settings_(folder_),
      notifier_(notifier, settings_),
      schema_(folder_),
      timeTable_(folder_),
      roster_(folder_,
              [this] {
                  return RosterDisplay{&schema_.get(), settings_.get().yearsPrecision, day_.day};
              }),
      calendar_(folder_),
      leave_(folder_) {
    // A day closed or made up while the program runs takes effect at once; so does leave.
    calendar_.onChanged([this] {
        planDay();
        showLeaveMarks();
    });
    leave_.onChanged([this] { showLeaveMarks(); });
}

bool Workstation::isHeldToday(int window) const {
    return !plan_.closed && window >= 0 && window < kWindowCount &&
           timeTable_.get().isSet(window, plan_.tableWeekday);
}

void Workstation::planDay() {
    plan_ = DayPlan{};
    const QString* closed = calendar_.get().closedName(day_.day);
    plan_.closed = closed != nullptr;
    if (closed) plan_.closedName = *closed;
    plan_.tableWeekday = calendar_.get().tableWeekday(day_.day);
    todayWindows_ = ComputeTodayWindows(timeTable_.get(), plan_.tableWeekday);
    board_.beginBulkUpdate();
    showTimeWindows();
    board_.endBulkUpdate();
    boardRows_.recountShown();
}

void Workstation::showLeaveMarks() {
    const qint32 today = qint32(DateToOle(day_.day));
    const LeaveBook& book = leave_.get();
    board_.beginBulkUpdate();
    for (int r = boardRows_.first(); r < boardRows_.end(); ++r) {
        const int i = boardRows_.indexAt(r);
        if (i <= 0) continue;
        for (int w = 0; w < kWindowCount; ++w) {
            if (dayStatus_.read(i, w) != kStatusNone) continue;
            const bool excused = isHeldToday(w) && book.excuse(i, today, w);
            if (excused != BoardRows::IsExcusedMark(boardRows_.mark(r, w)))
                boardRows_.setExcused(r, w, excused);
        }
    }
    board_.endBulkUpdate();
    boardRows_.recountShown();
}

ImportTargets Workstation::importTargets(std::function<void(const QString&)> criticalMessage) {
    ImportTargets t;
    t.roster = &roster_;
    t.grid = &rosterGrid_;
    t.notifier = &notifier_;
    t.criticalMessage = std::move(criticalMessage);
    return t;
}

Workstation::StartResult Workstation::refuse(StartResult why, const QString& message) {
    startMessage_ = message;
    yearLog_.close();
    dayStatus_.close();
    return why;
}

Workstation::StartResult Workstation::refuseFile(const QString& what, const FileError& error) {
    return refuse(StartResult::FileProblem, what + QDir::toNativeSeparators(error.path) +
                                                QStringLiteral("（") + error.reason() +
                                                QStringLiteral("）"));
}

Workstation::StartResult Workstation::start(const std::function<void()>& yield,
                                            const std::function<bool()>& installCapture) {
    const QDate today = clock_.today();
    day_ = DescribeDay(today);
    if (!QFileInfo(folder_.root()).isDir())
        return refuse(StartResult::FileProblem, QStringLiteral("数据文件夹不存在：") +
                                                    QDir::toNativeSeparators(folder_.root()));
    // The guard comes before any write: a refused copy leaves every file as it found it.
    // The lock it takes is held for the run, so the day is reset only by the copy that owns
    // the folder.
    switch (dayStatus_.open(folder_)) {
        case DayStatusFile::OpenResult::InUse:
            return refuse(StartResult::InUse, QStringLiteral("未获得运行权限！"));
        case DayStatusFile::OpenResult::Failed:
            return refuseFile(QStringLiteral("未获得运行权限！\n"), dayStatus_.lastError());
        case DayStatusFile::OpenResult::Opened:
            break;
    }
    rollover_ = RollOverDay(folder_, today, dayStatus_, notifier_);
    if (rollover_.error.failed())
        return refuseFile(QStringLiteral("数据文件无法读写："), rollover_.error);
    // A new station gets the files it needs to be used at once; files that hold anything
    // are never rewritten.
    const FileError defaults = WriteMissingDefaults(folder_);
    if (defaults.failed()) return refuseFile(QStringLiteral("数据文件无法写入："), defaults);
    const QString unreadable = QStringLiteral("数据文件无法读取：");
    buildGrids();
    if (const FileError e = schema_.loadChoiceLists(); e.failed()) return refuseFile(unreadable, e);
    if (installCapture && !installCapture()) return refuse(StartResult::CaptureFailed, {});
    if (const FileError e = schema_.loadDefinitions(); e.failed()) return refuseFile(unreadable, e);
    if (!yearLog_.open(folder_, day_.currentYear) &&
        QFileInfo::exists(folder_.yearLog(day_.currentYear)))
        return refuseFile(unreadable, yearLog_.openError());
    // Passwords must never be taken as empty because their file could not be read.
    if (const FileError e = settings_.load(); e.failed()) return refuseFile(unreadable, e);
    applySettings();
    writeRosterHeaders();
    if (const FileError e = timeTable_.load(); e.failed()) return refuseFile(unreadable, e);
    if (const FileError e = calendar_.load(); e.failed()) return refuseFile(unreadable, e);
    if (const FileError e = leave_.load(); e.failed()) return refuseFile(unreadable, e);
    const RosterLoadResult loaded =
        roster_.load(RosterLoadTargets{&board_, &rosterGrid_, &dayStatus_, &notifier_, yield});
    if (loaded.error.failed()) return refuseFile(unreadable, loaded.error);
    planDay();
    showLeaveMarks();
    return StartResult::Ready;
}

void Workstation::shutDown() {
    roster_.close();
    yearLog_.close();
    dayStatus_.close();
}

bool Workstation::StartNewDay(const QDate& today) {
    const DayCaptions next = DescribeDay(today);
    const QString failed = NotSavedText(QStringLiteral("新一天的签到状态"));
    // Emptied before the day is stored, as at a start: an interruption between the two
    // is finished by the next start, never mistaken for the same day.
    if (!dayStatus_.reset() || WriteLastStart(folder_, today).failed()) {
        notifier_.ShowFailure(failed);
        return false;
    }
    if (next.currentYear != day_.currentYear) {
        YearLog fresh;
        if (!fresh.open(folder_, next.currentYear) &&
            QFileInfo::exists(folder_.yearLog(next.currentYear)))
            notifier_.ShowFailure(QStringLiteral("数据文件无法读取：") +
                                  QDir::toNativeSeparators(fresh.openError().path));
        yearLog_ = std::move(fresh);
        notifier_.ShowNotice(QStringLiteral("欢迎新一年"));
    }
    day_ = next;
    boardRows_.clearMarks();
    planDay();
    showLeaveMarks();
    // Years since a date count from today.
    rosterGrid_.beginBulkUpdate();
    for (int r = kRosterFirstPerson; r < rosterGrid_.rows(); ++r) {
        const int i = rosterGrid_.text(r, 0).toInt();
        if (!Roster::validIndex(i) || !roster_.person(i).inUse()) continue;
        for (int f = 1; f <= kFieldCount; ++f)
            if (KindOfField(f) == FieldKind::Date)
                rosterGrid_.setText(r, f, roster_.cellText(i, f));
    }
    rosterGrid_.endBulkUpdate();
    notifier_.ShowNotice(QStringLiteral("新的一天已经开始：") + day_.dateCaption + u' ' +
                         day_.weekdayCaption);
    return true;
}

void Workstation::buildGrids() {
    rosterGrid_.setRowHeight(1, 0);
    board_.setRowHeight(3, 0);
    board_.setText(0, 0, QStringLiteral("SID"));
    board_.setText(0, 2, QStringLiteral("姓名"));
    board_.setText(1, 2, QStringLiteral("实到/应到"));
    board_.setText(2, 2, QStringLiteral("迟签/未签"));
    board_.setColumnWidth(0, kHiddenWidth);
    rosterGrid_.setText(0, 0, QStringLiteral("SID"));
    rosterGrid_.setColumnWidth(0, kHiddenWidth);
}

void Workstation::applySettings() {
    const Settings& s = settings_.get();
    for (int c = 0; c < 26; ++c) rosterGrid_.setColumnWidth(c, s.rosterWidths[size_t(c)]);
    for (int c = 0; c < 9; ++c) board_.setColumnWidth(c, s.boardWidths[size_t(c)]);
}

void Workstation::writeRosterHeaders() {
    const Schema& schema = schema_.get();
    for (int f = 1; f <= kFieldCount; ++f) {
        rosterGrid_.setText(0, f, schema.title(f));
        const int width = rosterGrid_.columnWidth(f);
        if (!schema.isEnabled(f))
            rosterGrid_.setColumnWidth(f, kHiddenWidth);
        else if (width == 0)
            rosterGrid_.setColumnWidth(f, TitleWidth(schema.title(f)));
        else if (width > 2500)
            rosterGrid_.setColumnWidth(f, 2500);
    }
}

void Workstation::showTimeWindows() {
    const TimeTable& table = timeTable_.get();
    for (int w = 0; w < kWindowCount; ++w) {
        const int c = kBoardFirstWindowColumn + w;
        board_.setText(0, c, table.names[size_t(w)]);
        // A window hidden on another day shows again at its stored width.
        if (!isHeldToday(w))
            board_.setColumnWidth(c, kHiddenWidth);
        else if (board_.columnWidth(c) == 0)
            board_.setColumnWidth(c, settings_.get().boardWidths[size_t(c)]);
    }
}

}  // namespace tallyra
