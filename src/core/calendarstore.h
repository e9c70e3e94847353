#pragma once

#include <QDate>
#include <QStringList>
#include <functional>

#include "core/calendar.h"
#include "core/storeresult.h"

namespace tallyra {

// calendar.dat and the calendar read from it. Each change is appended to the file and
// applied once it is on the disk; `changed` hears of every change stored.
class CalendarStore {
public:
    static constexpr int kLongestRange = 366;  // days one change may cover

    explicit CalendarStore(DataFolder folder) : folder_(std::move(folder)) {}
    void onChanged(std::function<void()> changed) { changed_ = std::move(changed); }

    FileError load();
    const SchoolCalendar& get() const { return calendar_; }

    // Every day from `first` to `last` closed under `name` (TooLong: the name does not fit,
    // or the range is longer than a year).
    StoreResult close(const QDate& first, const QDate& last, const QString& name);
    // `day` runs the windows of `weekday` (1 = Sunday).
    StoreResult makeUp(const QDate& day, int weekday);
    // Every day from `first` to `last` an ordinary day again.
    StoreResult open(const QDate& first, const QDate& last);
    // Several days at once, as an import brings them.
    StoreResult apply(const std::vector<CalendarChange>& changes);

private:
    DataFolder folder_;
    SchoolCalendar calendar_;
    std::function<void()> changed_;
};

// leave.dat, leavekind.dat and the book of excused absences. Nothing is ever removed: a
// cancellation is a record of its own.
class LeaveStore {
public:
    explicit LeaveStore(DataFolder folder) : folder_(std::move(folder)) {}
    void onChanged(std::function<void()> changed) { changed_ = std::move(changed); }

    FileError load();
    const LeaveBook& get() const { return book_; }
    const QStringList& kinds() const { return kinds_; }

    // Stores the entry (its id and times set here) and gives its id in `id`.
    StoreResult add(const LeaveEntry& entry, qint32* id = nullptr);
    StoreResult cancel(qint32 id, const QString& by, double at);
    StoreResult setKinds(const QStringList& kinds);

private:
    DataFolder folder_;
    LeaveBook book_;
    QStringList kinds_ = DefaultLeaveKinds();
    std::function<void()> changed_;
};

// Why an entry cannot be stored as it stands, in the words the user is told; empty when it
// can. `rosterInUse`: the entry's index names a person.
QString LeaveEntryProblem(const LeaveEntry& entry, bool rosterInUse);

}  // namespace tallyra
