#pragma once

#include <QString>
#include <functional>
#include <vector>

#include "core/cueplayer.h"
#include "core/format/daystatus.h"
#include "core/panel.h"
#include "models/boardrows.h"

namespace tallyra {

class Workstation;

constexpr int kLongestCard = 12;

enum class SwipeOutcome {
    Empty,          // no digits: nothing happens
    TooLong,        // "刷卡出现错误"
    UnknownCard,    // "卡号不存在"
    OnTime,         // "]签到成功"
    Repeated,       // "]已经签到，无须重复刷卡。"
    Late,           // "]补签成功 (迟签N分钟)"
    AlreadyClosed,  // ": 当前不是签到时间。" for a window already signed or marked
    NoWindow,       // ": 当前不是签到时间。" before any window has ended
    ClosedDay,      // ": 今天休息：<name>" on a day the calendar closes
    NotSaved,       // the sign-in could not be stored: nothing was kept, a retry may succeed
};

struct SwipeResult {
    SwipeOutcome outcome = SwipeOutcome::Empty;
    int row = -1;     // board row of the card
    int index = 0;    // roster index
    int window = -1;  // window the swipe was judged by
    qint16 minutesLate = 0;
};

// The sign-in panel's work over a started Workstation: swipes, the board marks and counts,
// the minute tick that closes ended windows and moves the station on to a new day.
class SignIn {
public:
    // Cue sounds of the station go to `cues` from now on.
    SignIn(Workstation& station, CuePlayer& cues);

    // Held today: set by the live weekday x window table for the weekday the calendar says
    // today runs (switching a window off counts at once), and today is not closed; its
    // minutes are those of today's windows.
    bool IsSetForToday(int window) const;

    // After a start: statuses lost to a kill or a power cut are rebuilt from today's
    // records at the end of the year log, and a close that was cut short is finished.
    void RecoverDay();

    // Judges and records one card number for the panel on show (the board or the personal
    // centre).
    SwipeResult ProcessSwipe(const QString& cardBuffer, Panel panel);
    void PlayCueSound(const QString& fileName);

    // The periodic tick: moves to a new day when the date has changed, closes every window
    // whose closing minute has come since the previous tick, and returns the clock caption
    // ("HH:MM").
    QString OnTimer1();
    // Called after the station moved on to a new day, for what shows the day.
    void setNewDayHandler(std::function<void()> handler) { onNewDay_ = std::move(handler); }
    // Marks everyone without a mark in window w absent; the records carry `minute` (at most
    // 23:59). Returns how many were stored.
    int CloseWindow(int window, int minute, bool quietWhenNone = false);

    // The first board row holding the card, or -1.
    int FindCardRow(const QString& card) const;

private:
    // Minute of the station's day, or -1 while the clock is behind it.
    int currentMinute();
    // A date later than the station's: the old day is finished and the new one begun.
    bool followDate();
    void closeDue(int after, int upTo);
    // The record first (the journal), on the disk, then the status; undone when either
    // cannot be stored.
    bool store(int index, int window, qint16 status, int minute, bool logged);

    Workstation& station_;
    BoardRows& rows_;
    int lastTick_ = -1;         // minute of the station's day already ticked through
    quint8 retryCloses_ = 0;    // windows whose close could not be stored: tried each tick
    bool clockBehind_ = false;  // told once that the clock went back past the day
    std::function<void()> onNewDay_;
};

// The minute a close of window w writes into its records: its closing minute, end + 1,
// kept within the day for a window that ends at 23:59.
int CloseRecordMinute(int end);

}  // namespace tallyra
