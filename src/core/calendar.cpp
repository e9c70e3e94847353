#include "core/calendar.h"

#include <algorithm>

#include "common/datetime.h"
#include "core/format/daystatus.h"
#include "core/signin.h"

namespace tallyra {

void SchoolCalendar::apply(const CalendarChange& c) {
    if (c.kind == CalendarChange::Open)
        days_.remove(c.day);
    else
        days_.insert(c.day, Day{c.kind, c.weekday, c.name});
}

const SchoolCalendar::Day* SchoolCalendar::day(qint32 oleDay) const {
    const auto it = days_.constFind(oleDay);
    return it == days_.cend() ? nullptr : &*it;
}

int SchoolCalendar::tableWeekday(const QDate& date) const {
    const Day* d = day(qint32(DateToOle(date)));
    return d && d->kind == CalendarChange::MakeUp ? d->weekday : WeekdayOf(date);
}

const QString* SchoolCalendar::closedName(const QDate& date) const {
    const Day* d = day(qint32(DateToOle(date)));
    return d && d->kind == CalendarChange::Closed ? &d->name : nullptr;
}

std::vector<std::pair<qint32, SchoolCalendar::Day>> SchoolCalendar::days() const {
    std::vector<std::pair<qint32, Day>> out;
    out.reserve(size_t(days_.size()));
    for (auto it = days_.cbegin(); it != days_.cend(); ++it) out.emplace_back(it.key(), *it);
    std::sort(out.begin(), out.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    return out;
}

bool LeaveEntry::covers(qint32 day, int window) const {
    const int from = fromWindow < 0 ? 0 : fromWindow;
    const int to = toWindow < 0 ? 5 : toWindow;
    if (day < fromDay || day > toDay) return false;
    if (day == fromDay && window < from) return false;
    if (day == toDay && window > to) return false;
    return true;
}

void LeaveBook::apply(const LeaveRecord& r) {
    if (r.type == LeaveRecord::Cancel) {
        const auto it = byId_.constFind(r.id);
        if (it == byId_.cend()) return;
        LeaveEntry& e = entries_[*it];
        if (e.cancelled) return;  // the first cancellation counts
        e.cancelled = true;
        e.cancelledBy = r.by;
        e.cancelledAt = r.at;
        return;
    }
    LeaveEntry e;
    e.id = r.id;
    e.index = r.index;
    e.fromDay = r.fromDay;
    e.toDay = r.toDay;
    e.fromWindow = r.fromWindow;
    e.toWindow = r.toWindow;
    e.kind = r.kind;
    e.reason = r.reason;
    e.by = r.by;
    e.at = r.at;
    byId_.insert(e.id, entries_.size());
    byPerson_[e.index].push_back(entries_.size());
    entries_.push_back(std::move(e));
}

const LeaveEntry* LeaveBook::excuse(int index, qint32 day, int window) const {
    return excuseAny(index, day, quint8(1u << window));
}

const LeaveEntry* LeaveBook::excuseAny(int index, qint32 day, quint8 windows) const {
    const auto it = byPerson_.constFind(index);
    if (it == byPerson_.cend()) return nullptr;
    for (size_t k : *it) {
        const LeaveEntry& e = entries_[k];
        if (e.cancelled || day < e.fromDay || day > e.toDay) continue;
        for (int w = 0; w < 6; ++w)
            if (((windows >> w) & 1) && e.covers(day, w)) return &e;
    }
    return nullptr;
}

const LeaveEntry* LeaveBook::entry(qint32 id) const {
    const auto it = byId_.constFind(id);
    return it == byId_.cend() ? nullptr : &entries_[*it];
}

int AttendanceCalendar::tableWeekday(const QDate& date) const {
    return calendar ? calendar->tableWeekday(date) : WeekdayOf(date);
}

const QString* AttendanceCalendar::closedName(const QDate& date) const {
    return calendar ? calendar->closedName(date) : nullptr;
}

quint8 AttendanceCalendar::heldWindows(const QDate& date) const {
    if (!table || closedName(date)) return 0;
    const int weekday = tableWeekday(date);
    quint8 held = 0;
    for (int w = 0; w < kWindowCount; ++w)
        if (table->isSet(w, weekday)) held = quint8(held | (1u << w));
    return held;
}

quint8 WindowsOfRecord(const TimeTable& table, int weekday, qint16 minute, qint16 late) {
    if (weekday < 1 || weekday > 7) return 0;
    quint8 out = 0;
    for (int w = 0; w < kWindowCount; ++w) {
        if (!table.isSet(w, weekday)) continue;
        const int k = TimeTable::Cell(w, weekday);
        const int start = table.starts[size_t(k)], end = table.ends[size_t(k)];
        const bool fits = late == kStatusAbsent ? CloseRecordMinute(end) == minute
                          : late > 0            ? end == minute - late
                                                : start <= minute && minute <= end;
        if (fits) out = quint8(out | (1u << w));
    }
    return out;
}

}  // namespace tallyra
