#pragma once

#include <QTemporaryDir>
#include <functional>
#include <memory>
#include <vector>

#include "core/format/settings.h"
#include "core/roster.h"
#include "core/signin.h"
#include "core/timewindows.h"
#include "core/workstation.h"
#include "must.h"
#include "testsupport.h"

namespace tallyra::test {

class RecordingCuePlayer final : public CuePlayer {
public:
    void play(const QString& fileName) override { played << fileName; }
    QStringList played;
};

struct WindowSpec {
    int window;
    int start, end;
    bool setToday = true;
};

// A Tuesday (weekday 3) with people 1..n named "P1".., cards 1001.., all signing in.
constexpr int kFixtureWeekday = 3;
inline QDate FixtureDay() { return QDate(2026, 12, 8); }
inline QDateTime At(int minute, int second = 0) {
    return QDateTime(FixtureDay(), QTime(minute / 60, minute % 60, second));
}
inline QString Card(int index) { return QString::number(1000 + index); }

inline void WriteSignInFolder(const DataFolder& folder, int people,
                              const std::vector<WindowSpec>& windows, bool recordOnTime = true,
                              bool sound = true) {
    RosterFile file;
    file.open(folder);
    for (int i = 1; i <= people; ++i) {
        PersonRecord p;
        p.name = QStringLiteral("P%1").arg(i);
        p.cardNumber = qint64(1000 + i) * 10000;
        Must(file.write(i, p));
    }
    for (const WindowSpec& w : windows) {
        const int k = TimeTable::Cell(w.window, kFixtureWeekday);
        Must(WriteCellTimes(folder, k, qint16(w.start), qint16(w.end)));
        Must(WriteCellFlag(folder, k, w.setToday));
    }
    Must(SaveOptionBox(folder, Settings::RecordOnTime, recordOnTime));
    Must(SaveOptionBox(folder, Settings::SoundCues, sound));
    Must(SaveSignInColumnWidths(folder, {0, 1500, 1400, 1000, 1000, 1000, 1000, 1000, 1000}));
}

// A started workstation over a fresh folder, with its sign-in engine.
struct SignInRig {
    QTemporaryDir dir;
    DataFolder folder{dir.path()};
    QDate day = FixtureDay();
    MockClock clock{At(0)};
    RecordingNotifier notifier;
    RecordingCuePlayer cues;
    std::unique_ptr<Workstation> station;
    std::unique_ptr<SignIn> signIn;

    // `prepare` writes what else the folder holds (a calendar, leave) before the start on
    // `startDay`.
    SignInRig(int people, const std::vector<WindowSpec>& windows, bool recordOnTime = true,
              const QDate& startDay = FixtureDay(),
              const std::function<void(const DataFolder&)>& prepare = {})
        : day(startDay) {
        WriteSignInFolder(folder, people, windows, recordOnTime);
        if (prepare) prepare(folder);
        clock.set(QDateTime(day, QTime(0, 0)));
        station = std::make_unique<Workstation>(folder, clock, notifier);
        station->start();
        signIn = std::make_unique<SignIn>(*station, cues);
        notifier.notices.clear();
    }
    ~SignInRig() {
        if (station) station->shutDown();
    }
    SwipeResult swipe(int minute, const QString& card, Panel panel = Panel::SignIn) {
        clock.set(QDateTime(day, QTime(minute / 60, minute % 60)));
        return signIn->ProcessSwipe(card, panel);
    }
    int rowOf(int index) const {
        TextGridModel& b = station->board();
        for (int r = kBoardFirstPerson; r < b.rows(); ++r)
            if (b.text(r, kBoardIndexColumn) == QString::number(index)) return r;
        return -1;
    }
    QString mark(int index, int window) const {
        return station->board().text(rowOf(index), kBoardFirstWindowColumn + window);
    }
    qint16 status(int index, int window) const {
        const QByteArray bytes = ReadAll(folder.dayStatus());
        const qint64 at = DayStatusFile::Position(index, window) - 1;
        if (at + 2 > bytes.size()) return 0;
        return qint16(quint8(bytes[at]) | (quint8(bytes[at + 1]) << 8));
    }
    std::vector<YearLogRecord> log() const {
        std::vector<YearLogRecord> out;
        ReadYearLog(folder.yearLog(day.year()), [&](const YearLogRecord* r, size_t n) {
            out.insert(out.end(), r, r + n);
            return true;
        });
        return out;
    }
};

}  // namespace tallyra::test
