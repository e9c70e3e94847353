#include "core/signin.h"

#include <QTime>

#include "common/datetime.h"
#include "common/text.h"
#include "core/workstation.h"

namespace tallyra {

namespace {

constexpr QChar kLateMark = u'○';
constexpr QChar kOnTimeMark = u'√';
constexpr QChar kAbsentMark = u'×';

int WindowColumn(int window) { return kBoardFirstWindowColumn + window; }

}  // namespace

void RecountWindow(TextGridModel& board, int window) {
    const int c = WindowColumn(window);
    int present = 0, late = 0, absent = 0;
    const int expected = board.rows() - kBoardFirstPerson;
    for (int r = kBoardFirstPerson; r < board.rows(); ++r) {
        const QString& cell = board.cell(r, c);
        if (cell.isEmpty()) continue;
        const QChar first = cell.front();
        if (first == kLateMark) {
            ++late;
            ++present;
        } else if (first == kOnTimeMark) {
            ++present;
        } else if (first == kAbsentMark) {
            ++absent;
        }
    }
    board.setText(1, c, QStringLiteral("%1/%2").arg(present).arg(expected));
    board.setText(2, c, QStringLiteral("%1/%2").arg(late).arg(absent));
}

SignIn::SignIn(Workstation& station, CuePlayer& cues) : station_(station), cues_(cues) {}

bool SignIn::IsSetForToday(int window) const {
    return window >= 0 && window < kWindowCount &&
           station_.timeTable().isSet(window, station_.rollover().weekday);
}

int SignIn::currentMinute() const {
    const QTime now = station_.clock().now().time();
    return now.hour() * 60 + now.minute();
}

void SignIn::record(int index, int minute, int minutesLate) {
    station_.yearLog().append(YearLogRecord{qint16(index), DateToOle(station_.clock().today()),
                                            qint16(minute), qint16(minutesLate)});
}

void SignIn::PlayCueSound(const QString& fileName) {
    if (station_.settings().option(Settings::SoundCues)) cues_.play(fileName);
}

SwipeResult SignIn::ProcessSwipe(const QString& cardBuffer, int panel) {
    SwipeResult result;
    if (cardBuffer.isEmpty()) return result;
    Notifier& notifier = station_.notifier();
    if (cardBuffer.size() > kLongestCard) {
        result.outcome = SwipeOutcome::TooLong;
        notifier.ShowNotice(QStringLiteral("刷卡出现错误"));
        return result;
    }
    TextGridModel& board = station_.board();
    result.row = FindCardRow(cardBuffer);
    if (result.row < 0) {
        result.outcome = SwipeOutcome::UnknownCard;
        notifier.ShowNotice(QStringLiteral("卡号不存在"));
        return result;
    }
    const int t = currentMinute();
    const int i = int(NumericValue(board.text(result.row, kBoardIndexColumn)));
    result.index = i;
    const QString name = Roster::validIndex(i) ? station_.roster().at(i).name : QString();
    const TodayWindows& today = station_.todayWindows();
    const bool signInPanel = panel == kSignInPanel;

    int open = -1;
    for (int w = 0; w < kWindowCount; ++w)
        if (IsSetForToday(w) && today.start(w) <= t && t <= today.end(w)) open = w;

    DayStatusFile& status = station_.dayStatus();
    if (open >= 0) {
        result.window = open;
        const QString caption = station_.timeTable().displayName(open);
        if (status.read(i, open) < 0) {
            result.outcome = SwipeOutcome::Repeated;
            if (signInPanel) {
                notifier.ShowNotice(name + u'[' + caption +
                                    QStringLiteral("]已经签到，无须重复刷卡。"));
                PlayCueSound(QStringLiteral("4.wav"));
            }
            return result;
        }
        result.outcome = SwipeOutcome::OnTime;
        status.write(i, open, kStatusOnTime);
        notifier.ShowNotice(name + u'[' + caption + QStringLiteral("]签到成功"));
        PlayCueSound(QStringLiteral("3.wav"));
        board.setText(result.row, WindowColumn(open), QString(kOnTimeMark));
        if (station_.settings().option(Settings::RecordOnTime)) record(i, t, 0);
        RecountWindow(board, open);
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
    result.outcome = SwipeOutcome::Late;
    result.minutesLate = qint16(late);
    status.write(i, chosen, qint16(late));
    notifier.ShowNotice(name + u'[' + station_.timeTable().displayName(chosen) +
                        QStringLiteral("]补签成功 (迟签%1分钟)").arg(late));
    PlayCueSound(QStringLiteral("0.wav"));
    board.setText(result.row, WindowColumn(chosen), StatusMark(late));
    record(i, t, late);
    RecountWindow(board, chosen);
    return result;
}

int SignIn::FindCardRow(const QString& card) {
    const TextGridModel& board = station_.board();
    const quint64 revision = board.columnRevision(kBoardCardColumn);
    if (revision != cardRowsRevision_) {
        // A scan of 5000 rows costs more than a swipe may; an index pays from the second.
        cardRows_.clear();
        cardRows_.reserve(board.rows());
        for (int r = board.rows() - 1; r >= kBoardFirstPerson; --r)
            cardRows_.insert(board.cell(r, kBoardCardColumn), r);  // the first row wins
        cardRowsRevision_ = revision;
    }
    return cardRows_.value(card, -1);
}

std::vector<int> SignIn::WindowsEndingBefore(int minute) const {
    // Every set window whose end was the minute before, whatever that minute is: a window
    // ending at 08:03 closes at 08:04, and two windows ending together both close.
    std::vector<int> windows;
    for (int w = 0; w < kWindowCount; ++w)
        if (IsSetForToday(w) && station_.todayWindows().end(w) + 1 == minute) windows.push_back(w);
    return windows;
}

QString SignIn::OnTimer1() {
    const QString clockText = station_.clock().now().time().toString(QStringLiteral("HH:mm"));
    const int t = currentMinute();
    for (int w : WindowsEndingBefore(t)) CloseWindow(w, t);
    return clockText;
}

int SignIn::CloseWindow(int window, int minute) {
    TextGridModel& board = station_.board();
    const int c = WindowColumn(window);
    int n = 0;
    QString list;
    board.beginBulkUpdate();
    for (int r = kBoardFirstPerson; r < board.rows(); ++r) {
        if (!board.cell(r, c).isEmpty()) continue;
        board.setText(r, c, QString(kAbsentMark));
        const int i = int(NumericValue(board.cell(r, kBoardIndexColumn)));
        record(i, minute, kStatusAbsent);
        if (n < 6) {
            list += u',';
            if (Roster::validIndex(i)) list += station_.roster().at(i).name;
        }
        ++n;
        station_.dayStatus().write(i, window, kStatusAbsent);
    }
    board.endBulkUpdate();
    if (n > 0) list.remove(0, 1);
    if (n > 5) list += QStringLiteral("等%1人").arg(n);
    station_.notifier().ShowNotice(list + QStringLiteral("已登记[未签]"));
    RecountWindow(board, window);
    return n;
}

}  // namespace tallyra
