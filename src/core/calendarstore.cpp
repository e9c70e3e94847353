#include "core/calendarstore.h"

#include "common/datetime.h"
#include "common/gbk.h"

namespace tallyra {

namespace {

bool Fits(const QString& text, int bytes) {
    return CharactersOutsideGbk(text).isEmpty() && EncodeGbk(text).size() <= bytes;
}

}  // namespace

FileError CalendarStore::load() {
    FileError error;
    calendar_ = SchoolCalendar();
    for (const CalendarChange& c : ReadCalendarChanges(folder_, &error)) calendar_.apply(c);
    return error;
}

StoreResult CalendarStore::apply(const std::vector<CalendarChange>& changes) {
    if (changes.empty()) return StoreResult::Stored;
    for (const CalendarChange& c : changes)
        if (!Fits(c.name, kCalendarNameBytes)) return StoreResult::TooLong;
    if (!AppendCalendarChanges(folder_, changes)) return StoreResult::Failed;
    for (const CalendarChange& c : changes) calendar_.apply(c);
    if (changed_) changed_();
    return StoreResult::Stored;
}

StoreResult CalendarStore::close(const QDate& first, const QDate& last, const QString& name) {
    if (!first.isValid() || !last.isValid() || last < first) return StoreResult::Failed;
    if (first.daysTo(last) >= kLongestRange) return StoreResult::TooLong;
    std::vector<CalendarChange> changes;
    for (QDate d = first; d <= last; d = d.addDays(1))
        changes.push_back({qint32(DateToOle(d)), CalendarChange::Closed, 0, name});
    return apply(changes);
}

StoreResult CalendarStore::makeUp(const QDate& day, int weekday) {
    if (!day.isValid() || weekday < 1 || weekday > 7) return StoreResult::Failed;
    return apply({{qint32(DateToOle(day)), CalendarChange::MakeUp, quint8(weekday), {}}});
}

StoreResult CalendarStore::open(const QDate& first, const QDate& last) {
    if (!first.isValid() || !last.isValid() || last < first) return StoreResult::Failed;
    if (first.daysTo(last) >= kLongestRange) return StoreResult::TooLong;
    std::vector<CalendarChange> changes;
    for (QDate d = first; d <= last; d = d.addDays(1))
        if (calendar_.day(qint32(DateToOle(d))))
            changes.push_back({qint32(DateToOle(d)), CalendarChange::Open, 0, {}});
    return apply(changes);
}

FileError LeaveStore::load() {
    FileError error;
    book_ = LeaveBook();
    for (const LeaveRecord& r : ReadLeaveRecords(folder_, &error)) book_.apply(r);
    if (!error.failed()) kinds_ = LoadLeaveKinds(folder_, &error);
    return error;
}

QString LeaveEntryProblem(const LeaveEntry& e, bool rosterInUse) {
    if (!rosterInUse) return QStringLiteral("没有这个人");
    if (e.fromDay > e.toDay ||
        (e.fromDay == e.toDay && e.fromWindow >= 0 && e.toWindow >= 0 && e.fromWindow > e.toWindow))
        return QStringLiteral("请假的结束早于开始");
    if (e.fromWindow < -1 || e.fromWindow > 5 || e.toWindow < -1 || e.toWindow > 5)
        return QStringLiteral("时段应为1~6");
    if (e.kind.trimmed().isEmpty()) return QStringLiteral("请选择请假类别");
    if (e.by.trimmed().isEmpty()) return QStringLiteral("请填写经办人");
    for (const QString* t : {&e.kind, &e.by, &e.reason})
        if (const QString outside = CharactersOutsideGbk(*t); !outside.isEmpty())
            return QStringLiteral("文字“") + outside + QStringLiteral("”无法保存，请改用其他文字");
    if (EncodeGbk(e.kind).size() > kLeaveKindBytes) return QStringLiteral("请假类别太长");
    if (EncodeGbk(e.by).size() > kLeaveByBytes) return QStringLiteral("经办人姓名太长");
    if (EncodeGbk(e.reason).size() > kLeaveReasonBytes) return QStringLiteral("事由太长");
    return {};
}

StoreResult LeaveStore::add(const LeaveEntry& e, qint32* id) {
    LeaveRecord r;
    r.type = LeaveRecord::Entry;
    r.index = qint16(e.index);
    r.fromDay = e.fromDay;
    r.toDay = e.toDay;
    r.fromWindow = qint8(e.fromWindow);
    r.toWindow = qint8(e.toWindow);
    r.at = e.at;
    r.kind = e.kind.trimmed();
    r.by = e.by.trimmed();
    r.reason = e.reason.trimmed();
    const qint32 slot = AppendLeaveRecord(folder_, r);
    if (slot == 0) return StoreResult::Failed;
    r.id = slot;
    book_.apply(r);
    if (id) *id = slot;
    if (changed_) changed_();
    return StoreResult::Stored;
}

StoreResult LeaveStore::cancel(qint32 id, const QString& by, double at) {
    const LeaveEntry* e = book_.entry(id);
    if (!e || e->cancelled) return StoreResult::Failed;
    LeaveRecord r;
    r.type = LeaveRecord::Cancel;
    r.index = qint16(e->index);
    r.id = id;
    r.fromDay = e->fromDay;
    r.toDay = e->toDay;
    r.fromWindow = qint8(e->fromWindow);
    r.toWindow = qint8(e->toWindow);
    r.at = at;
    r.kind = e->kind;
    r.by = by.trimmed();
    if (AppendLeaveRecord(folder_, r) == 0) return StoreResult::Failed;
    book_.apply(r);
    if (changed_) changed_();
    return StoreResult::Stored;
}

StoreResult LeaveStore::setKinds(const QStringList& kinds) {
    if (kinds.isEmpty() || kinds.size() > 16) return StoreResult::Failed;
    for (const QString& k : kinds)
        if (k.trimmed().isEmpty() || !Fits(k, kLeaveKindBytes)) return StoreResult::TooLong;
    if (!SaveLeaveKinds(folder_, kinds)) return StoreResult::Failed;
    kinds_ = kinds;
    return StoreResult::Stored;
}

}  // namespace tallyra
