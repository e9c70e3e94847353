#include "core/signin.h"

#include <QTime>
#include <algorithm>
#include <array>

#include "common/datetime.h"
#include "common/text.h"
#include "core/workstation.h"

namespace tallyra {

int CloseRecordMinute(int end) { return std::min(end + 1, 1439); }

SignIn::SignIn(Workstation& station, CuePlayer& cues)
    : station_(station), rows_(station.boardRows()) {
    station_.setCuePlayer(&cues);
    // A start in a closing minute closes that window at its first tick; minutes that
    // passed before the start close nothing.
    const QDateTime now = station_.clock().now();
    if (now.date() == station_.day().day)
        lastTick_ = now.time().hour() * 60 + now.time().minute() - 1;
}

bool SignIn::IsSetForToday(int window) const {
    return window >= 0 && window < kWindowCount && station_.isHeldToday(window);
}

int SignIn::currentMinute() {
    const QDateTime now = station_.clock().now();
    if (now.date() < station_.day().day) {
        if (!clockBehind_)
            station_.notifier().ShowNotice(
                QStringLiteral("系统时钟回到了") + ChineseDateText(now.date()) +
                QStringLiteral("，签到仍记在") + station_.day().dateCaption +
                QStringLiteral("，请校正时钟"));
        clockBehind_ = true;
        return -1;
    }
    clockBehind_ = false;
    return now.time().hour() * 60 + now.time().minute();
}

void SignIn::PlayCueSound(const QString& fileName) { station_.PlayCueSound(fileName); }

bool SignIn::store(int index, int window, qint16 status, int minute, bool logged) {
    YearLog& log = station_.yearLog_;
    DayStatusFile& day = station_.dayStatus_;
    const qint32 before = log.recordCount();
    if (logged) {
        const YearLogRecord record{qint16(index), DateToOle(station_.day().day), qint16(minute),
                                   qint16(status == kStatusOnTime ? 0 : status)};
        if (!log.append(record) || !log.sync()) {
            (void)log.truncateTo(before);
            return false;
        }
    }
    if (!day.write(index, window, status)) {
        (void)log.truncateTo(before);
        return false;
    }
    // Without a record the status is all there is of the sign-in: it goes to the disk.
    if (!logged && !day.sync()) {
        (void)day.write(index, window, 0);
        return false;
    }
    return true;
}

SwipeResult SignIn::ProcessSwipe(const QString& cardBuffer, Panel panel) {
    SwipeResult result;
    if (cardBuffer.isEmpty()) return result;
    followDate();
    Notifier& notifier = station_.notifier();
    if (cardBuffer.size() > kLongestCard) {
        result.outcome = SwipeOutcome::TooLong;
        notifier.ShowNotice(QStringLiteral("刷卡出现错误"));
        return result;
    }
    result.row = rows_.rowOfCard(cardBuffer);
    if (result.row < 0) {
        result.outcome = SwipeOutcome::UnknownCard;
        notifier.ShowNotice(QStringLiteral("卡号不存在"));
        return result;
    }
    const int t = currentMinute();
    const int i = rows_.indexAt(result.row);
    result.index = i;
    const QString name = Roster::validIndex(i) ? station_.roster().person(i).name : QString();
    const TodayWindows& today = station_.todayWindows();
    const bool signInPanel = panel == Panel::SignIn;
    if (station_.plan().closed) {
        result.outcome = SwipeOutcome::ClosedDay;
        if (signInPanel)
            notifier.ShowNotice(name + QStringLiteral(": 今天休息") +
                                (station_.plan().closedName.isEmpty()
                                     ? QString()
                                     : QStringLiteral("：") + station_.plan().closedName));
        return result;
    }
    // A person on leave who comes after all is signed in as anyone else, and told.
    const auto onLeave = [&](int w) {
        const LeaveEntry* e =
            station_.leave().get().excuse(i, qint32(DateToOle(station_.day().day)), w);
        return e ? QStringLiteral("（已请") + e->kind + QStringLiteral("）") : QString();
    };

    int open = -1;
    for (int w = 0; w < kWindowCount; ++w)
        if (IsSetForToday(w) && today.start(w) <= t && t <= today.end(w)) open = w;

    const DayStatusFile& status = station_.dayStatus_;
    if (open >= 0) {
        result.window = open;
        const QString caption = station_.timeTable().get().displayName(open);
        if (status.read(i, open) < 0) {
            result.outcome = SwipeOutcome::Repeated;
            if (signInPanel) {
                notifier.ShowNotice(name + u'[' + caption +
                                    QStringLiteral("]已经签到，无须重复刷卡。"));
                PlayCueSound(QStringLiteral("4.wav"));
            }
            return result;
        }
        if (!store(i, open, kStatusOnTime, t, station_.settings().option(Settings::RecordOnTime))) {
            result.outcome = SwipeOutcome::NotSaved;
            notifier.ShowFailure(NotSavedText(name + u'[' + caption + QStringLiteral("]签到")));
            return result;
        }
        result.outcome = SwipeOutcome::OnTime;
        notifier.ShowNotice(name + u'[' + caption + QStringLiteral("]签到成功") + onLeave(open));
        PlayCueSound(QStringLiteral("3.wav"));
        rows_.setMark(result.row, open, kStatusOnTime);
        rows_.recount(open);
        return result;
    }

    // Make-up: the window that ended last before now; on equal ends the higher one.
    int chosen = -1;
    for (int w = 0; w < kWindowCount; ++w) {
        if (!IsSetForToday(w) || today.end(w) >= t) continue;
        if (chosen < 0 || today.end(w) >= today.end(chosen)) chosen = w;
    }
    const QString refused = name + QStringLiteral(": 当前不是签到时间。");
    if (chosen < 0) {
        result.outcome = SwipeOutcome::NoWindow;
        if (signInPanel) notifier.ShowNotice(refused);
        return result;
    }
    result.window = chosen;
    if (status.read(i, chosen) != 0) {
        result.outcome = SwipeOutcome::AlreadyClosed;
        if (signInPanel) {
            notifier.ShowNotice(refused);
            PlayCueSound(QStringLiteral("4.wav"));
        }
        return result;
    }
    const int late = t - today.end(chosen);
    const QString caption = station_.timeTable().get().displayName(chosen);
    if (!store(i, chosen, qint16(late), t, true)) {
        result.outcome = SwipeOutcome::NotSaved;
        notifier.ShowFailure(NotSavedText(name + u'[' + caption + QStringLiteral("]补签")));
        return result;
    }
    result.outcome = SwipeOutcome::Late;
    result.minutesLate = qint16(late);
    notifier.ShowNotice(name + u'[' + caption + QStringLiteral("]补签成功 (迟签%1分钟)").arg(late) +
                        onLeave(chosen));
    PlayCueSound(QStringLiteral("0.wav"));
    rows_.setMark(result.row, chosen, late);
    rows_.recount(chosen);
    return result;
}

int SignIn::FindCardRow(const QString& card) const { return rows_.rowOfCard(card); }

void SignIn::closeDue(int after, int upTo) {
    const TodayWindows& today = station_.todayWindows();
    for (int w = 0; w < kWindowCount; ++w) {
        if (!IsSetForToday(w) || station_.dayStatus_.isClosed(w)) continue;
        const int closing = today.end(w) + 1;
        const bool retry = (retryCloses_ >> w) & 1;
        if (retry || (closing > after && closing <= upTo)) CloseWindow(w, closing);
    }
}

bool SignIn::followDate() {
    const QDate today = station_.clock().today();
    if (today <= station_.day().day) return false;
    // The old day ends first: every window still to close, the one ending at 23:59 too,
    // is closed on the old day's date.
    closeDue(lastTick_, 24 * 60);
    if (!station_.StartNewDay(today)) return false;
    lastTick_ = -1;
    retryCloses_ = 0;
    if (onNewDay_) onNewDay_();
    return true;
}

QString SignIn::OnTimer1() {
    const QString clockText = station_.clock().now().time().toString(QStringLiteral("HH:mm"));
    followDate();
    const int t = currentMinute();
    // Every closing minute since the previous tick, so a busy window or a machine that
    // slept still closes each window; the day's record of closes keeps it to once.
    if (t >= 0) {
        closeDue(lastTick_, t);
        lastTick_ = std::max(lastTick_, t);
    }
    return clockText;
}

int SignIn::CloseWindow(int window, int minute, bool quietWhenNone) {
    TextGridModel& board = rows_.grid();
    YearLog& log = station_.yearLog_;
    DayStatusFile& status = station_.dayStatus_;
    std::vector<std::pair<int, int>> absent;  // board row, roster index
    const LeaveBook& leave = station_.leave().get();
    const qint32 oleDay = qint32(DateToOle(station_.day().day));
    board.beginBulkUpdate();
    for (int r = rows_.first(); r < rows_.end(); ++r) {
        if (!rows_.mark(r, window).isEmpty()) continue;
        const int i = rows_.indexAt(r);
        // On leave: no record, no status; the board says so.
        if (leave.excuse(i, oleDay, window))
            rows_.setExcused(r, window, true);
        else
            absent.emplace_back(r, i);
    }
    board.endBulkUpdate();

    // All records, one sync, then the statuses: the log is the journal a restart finishes
    // an interrupted close from.
    const qint32 before = log.recordCount();
    const double day = DateToOle(station_.day().day);
    const qint16 recordMinute = qint16(std::min(minute, 1439));
    size_t logged = 0;
    while (logged < absent.size() && log.append(YearLogRecord{qint16(absent[logged].second), day,
                                                              recordMinute, kStatusAbsent}))
        ++logged;
    bool failed = logged < absent.size();
    if (logged > 0 && !log.sync()) {
        (void)log.truncateTo(before);
        logged = 0;
        failed = true;
    }
    size_t stored = 0;
    for (; stored < logged; ++stored) {
        if (!status.write(absent[stored].second, window, kStatusAbsent)) {
            (void)log.truncateTo(before + qint32(stored));
            failed = true;
            break;
        }
    }
    if (!failed && !status.markClosed(window)) failed = true;

    QString list;
    board.beginBulkUpdate();
    for (size_t k = 0; k < stored; ++k) {
        rows_.setMark(absent[k].first, window, kStatusAbsent);
        const int i = absent[k].second;
        if (k < 6) {
            list += u',';
            if (Roster::validIndex(i)) list += station_.roster().person(i).name;
        }
    }
    board.endBulkUpdate();
    const int n = int(stored);
    if (n > 0) list.remove(0, 1);
    if (n > 5) list += QStringLiteral("等%1人").arg(n);
    if (n > 0 || (!failed && !quietWhenNone))
        station_.notifier().ShowNotice(list + QStringLiteral("已登记[未签]"));
    if (failed) {
        retryCloses_ = quint8(retryCloses_ | (1u << window));
        station_.notifier().ShowFailure(NotSavedText(
            station_.timeTable().get().displayName(window) + QStringLiteral("的缺勤记录")));
    } else {
        retryCloses_ = quint8(retryCloses_ & ~(1u << window));
    }
    rows_.recount(window);
    return n;
}

void SignIn::RecoverDay() {
    DayStatusFile& status = station_.dayStatus_;
    const TodayWindows& today = station_.todayWindows();
    const std::vector<YearLogRecord> records =
        station_.yearLog_.recordsOfDay(DateToOle(station_.day().day));
    if (records.empty()) return;
    TextGridModel& board = rows_.grid();
    std::vector<quint8> taken(size_t(kRosterSize) + 1, 0);  // windows a record was matched to
    std::array<bool, kWindowCount> begun{};
    bool failed = false;
    auto restore = [&](int i, int w, qint16 value) {
        taken[size_t(i)] = quint8(taken[size_t(i)] | (1u << w));
        if (status.read(i, w) != 0) return;
        if (!status.write(i, w, value)) {
            failed = true;
            return;
        }
        if (const int row = rows_.rowOfIndex(i); row >= 0) rows_.setMark(row, w, value);
    };
    board.beginBulkUpdate();
    for (const YearLogRecord& r : records) {
        const int i = r.index;
        if (!Roster::validIndex(i)) continue;
        if (r.minutesLate == kStatusAbsent) {
            // Windows closing together wrote their records in window order.
            for (int w = 0; w < kWindowCount; ++w) {
                if (!IsSetForToday(w) || CloseRecordMinute(today.end(w)) != r.minute ||
                    ((taken[size_t(i)] >> w) & 1))
                    continue;
                begun[size_t(w)] = true;
                restore(i, w, kStatusAbsent);
                break;
            }
        } else if (r.minutesLate == 0) {
            int open = -1;
            for (int w = 0; w < kWindowCount; ++w)
                if (IsSetForToday(w) && today.start(w) <= r.minute && r.minute <= today.end(w))
                    open = w;
            if (open >= 0) restore(i, open, kStatusOnTime);
        } else if (r.minutesLate > 0 && r.minutesLate < kStatusAbsent) {
            int chosen = -1;
            for (int w = 0; w < kWindowCount; ++w)
                if (IsSetForToday(w) && today.end(w) == r.minute - r.minutesLate) chosen = w;
            if (chosen >= 0) restore(i, chosen, r.minutesLate);
        }
    }
    board.endBulkUpdate();
    rows_.recountShown();
    if (failed) station_.notifier().ShowFailure(NotSavedText(QStringLiteral("今天的签到状态")));
    for (int w = 0; w < kWindowCount; ++w)
        if (begun[size_t(w)] && !status.isClosed(w)) CloseWindow(w, today.end(w) + 1, true);
}

}  // namespace tallyra
