#pragma once

#include <QHash>
#include <QString>
#include <vector>

#include "core/cueplayer.h"
#include "core/textgridmodel.h"

namespace tallyra {

class Workstation;

// Rows and columns of the sign-in grid.
constexpr int kBoardFirstPerson = 4;
constexpr int kBoardIndexColumn = 0;
constexpr int kBoardCardColumn = 1;
constexpr int kBoardNameColumn = 2;
constexpr int kBoardFirstWindowColumn = 3;
constexpr int kLongestCard = 12;

constexpr qint16 kStatusOnTime = -1;
constexpr qint16 kStatusAbsent = 9999;

// Present/expected into row 1 and late/absent into row 2 of window w's column, counted by
// the first character of each person's mark.
void RecountWindow(TextGridModel& board, int window);

enum class SwipeOutcome {
    Empty,          // no digits: nothing happens
    TooLong,        // "刷卡出现错误"
    UnknownCard,    // "卡号不存在"
    OnTime,         // "]签到成功"
    Repeated,       // "]已经签到，无须重复刷卡。"
    Late,           // "]补签成功 (迟签N分钟)"
    AlreadyClosed,  // ": 当前不是签到时间。" for a window already signed or marked
    NoWindow,       // ": 当前不是签到时间。" before any window has ended
};

struct SwipeResult {
    SwipeOutcome outcome = SwipeOutcome::Empty;
    int row = -1;     // board row of the card
    int index = 0;    // roster index
    int window = -1;  // window the swipe was judged by
    qint16 minutesLate = 0;
};

// The sign-in panel's work over the start-up state of a Workstation: swipes, the board
// marks and counts, and the minute tick that closes ended windows.
class SignIn {
public:
    static constexpr int kSignInPanel = 4;
    static constexpr int kPersonalPanel = 5;

    SignIn(Workstation& station, CuePlayer& cues);

    // Set for today by the live weekday x window table (switching a window off counts at
    // once); its minutes are those taken at start-up.
    bool IsSetForToday(int window) const;

    // Judges and records one card number for the panel on show (4 or 5).
    SwipeResult ProcessSwipe(const QString& cardBuffer, int panel);
    void PlayCueSound(const QString& fileName);

    // The periodic tick: closes every window that ended the minute before and returns the
    // clock caption ("HH:MM").
    QString OnTimer1();
    // The windows a tick at minute t closes.
    std::vector<int> WindowsEndingBefore(int minute) const;
    // Marks everyone without a mark in window w absent at minute t; returns how many.
    int CloseWindow(int window, int minute);

    // The first board row holding the card, or -1.
    int FindCardRow(const QString& card);

private:
    int currentMinute() const;
    void record(int index, int minute, int minutesLate);

    Workstation& station_;
    CuePlayer& cues_;
    // Card text -> first board row, valid while the card column is unchanged.
    QHash<QString, int> cardRows_;
    quint64 cardRowsRevision_ = ~quint64(0);
};

}  // namespace tallyra
