#include "core/register.h"

#include <QRegularExpression>
#include <QStringList>
#include <algorithm>
#include <bit>
#include <map>

#include "common/datetime.h"
#include "core/format/daystatus.h"
#include "core/format/fields.h"
#include "core/format/yearlog.h"
#include "core/signin.h"
#include "core/workstation.h"

namespace tallyra {

namespace {

int Lowest(quint8 bits) { return std::countr_zero(unsigned(bits)); }
int Highest(quint8 bits) { return 31 - std::countl_zero(unsigned(bits)); }

// A record into the window it was written for. An absence goes to the first window closing
// at its minute that has none yet (windows closing together write theirs in window order);
// a sign-in to the last window it fits, as the sign-in chooses. A record no window of the
// day explains (the times were changed since) takes the first held window without one, so
// an absence is never lost. Of two records for one window the worse counts.
void Place(WindowCell* cells, quint8 fits, quint8 held, qint16 minute, qint16 late) {
    int w = -1;
    if (fits && late == kStatusAbsent) {
        for (quint8 free = fits; free && w < 0; free = quint8(free & (free - 1)))
            if (cells[Lowest(free)].minute < 0) w = Lowest(free);
        if (w < 0) w = Lowest(fits);
    } else if (fits) {
        w = Highest(fits);
    } else {
        for (quint8 free = held; free && w < 0; free = quint8(free & (free - 1)))
            if (cells[Lowest(free)].minute < 0) w = Lowest(free);
        if (w < 0) return;
    }
    WindowCell& c = cells[w];
    if (c.minute < 0 || late > c.late) {
        c.minute = minute;
        c.late = late;
    }
}

QString WindowLine(const WindowCell& c, const LeaveEntry* leave) {
    switch (c.mark) {
        case WindowMark::OnTime:
            return QStringLiteral("√ %1 签到").arg(MinutesToClockText(c.minute));
        case WindowMark::Unrecorded:
            return QStringLiteral("√ 按时（未记录签到时刻）");
        case WindowMark::Late:
            return QStringLiteral("○ %1 补签，迟到%2分钟")
                .arg(MinutesToClockText(c.minute))
                .arg(c.late);
        case WindowMark::Absent:
            return QStringLiteral("× 未签到");
        case WindowMark::Excused:
            return QStringLiteral("假 ") + (leave ? leave->kind : QString()) +
                   (leave && !leave->reason.isEmpty() ? QStringLiteral("（%1）").arg(leave->reason)
                                                      : QString());
        case WindowMark::Pending:
            return QStringLiteral("尚未结束");
        case WindowMark::NotOnBoard:
            return QStringLiteral("不在签到名单中");
        case WindowMark::NotHeld:
            break;
    }
    return {};
}

}  // namespace

int RegisterMinuteNow(const QDate& today, const QDateTime& now) {
    if (now.date() > today) return 24 * 60;
    if (now.date() < today) return -1;
    return now.time().hour() * 60 + now.time().minute();
}

RegisterSources StationRegisterSources(const Workstation& station, LogOrderMemo* memo) {
    const QDate today = station.day().day;
    // Today's windows count as the station closed them: one it never closed (it was not
    // running at the closing minute) waits for the day to pass.
    int closed = 0;
    for (int w = 0; w < kWindowCount; ++w)
        if (station.dayStatus().isClosed(w)) closed |= 1 << w;
    return RegisterSources{station.folder(),
                           &station.roster().roster(),
                           station.attendance(),
                           today,
                           RegisterMinuteNow(today, station.clock().now()),
                           closed,
                           memo};
}

RegisterBuild BuildRegister(const RegisterSources& src, const RegisterRequest& req) {
    RegisterBuild out;
    RegisterSheet& s = out.sheet;
    if (!req.month.isValid() || !src.roster) return out;
    const QDate first(req.month.year(), req.month.month(), 1);
    s.month = first;
    const int days = first.daysInMonth();
    const qint32 firstOle = qint32(DateToOle(first));
    const AttendanceCalendar& calendar = src.calendar;
    const TimeTable* table = calendar.table;

    // The days: whose windows each runs, which are held, which are over.
    s.days.resize(size_t(days));
    std::vector<quint8> over(size_t(days), 0);
    for (int d = 0; d < days; ++d) {
        RegisterDay& day = s.days[size_t(d)];
        day.date = first.addDays(d);
        day.tableWeekday = calendar.tableWeekday(day.date);
        if (const QString* name = calendar.closedName(day.date)) {
            day.closed = true;
            day.closedName = *name;
        }
        day.held = calendar.heldWindows(day.date);
        day.future = src.today.isValid() && day.date > src.today;
        if (day.date == src.today && src.todayClosed >= 0) {
            over[size_t(d)] = quint8(day.held & src.todayClosed);
        } else if (day.date == src.today) {
            for (int w = 0; w < kWindowCount; ++w) {
                if (!((day.held >> w) & 1)) continue;
                const int end = table->ends[size_t(TimeTable::Cell(w, day.tableWeekday))];
                if (src.minuteNow >= CloseRecordMinute(end)) over[size_t(d)] |= quint8(1u << w);
            }
        } else if (!day.future) {
            over[size_t(d)] = day.held;
        }
    }

    // The people, in roster order.
    const RegisterGroup& g = req.group;
    const bool grouped = g.field >= 9 && g.field <= 11;
    std::vector<int> rowOf(size_t(kRosterSize) + 1, -1);
    for (int i = 1; i <= kRosterSize; ++i) {
        const PersonRecord& p = src.roster->at(i);
        if (!p.inUse() || !p.signsIn()) continue;
        const int element = grouped ? p.choices[size_t(ChoiceSlot(g.field))] : -1;
        if (req.index != 0 ? i != req.index : grouped && g.element >= 0 && element != g.element)
            continue;
        rowOf[size_t(i)] = int(s.people.size());
        s.people.push_back(RegisterPerson{i, p.name, element, {}});
    }
    const size_t rows = s.people.size();
    s.marks.assign(rows * size_t(days), DayMark::Blank);
    s.cells.assign(rows * size_t(days) * kWindowCount, WindowCell{});

    // One pass over the month's records. `logged`: windows whose on-time sign-ins were
    // logged, by anyone.
    std::vector<quint8> logged(size_t(days), 0);
    const double lastOle = double(firstOle) + days;
    if (table) {
        out.scan = ScanYearLogDays(
            src.folder.yearLog(first.year()), firstOle, lastOle - 1, src.memo,
            [&](const char* slots, size_t n) {
                const char* const end = slots + n * kLogSlotSize;
                for (const char* slot = slots; slot != end; slot += kLogSlotSize) {
                    const double date = SlotDate(slot);
                    if (!(date >= firstOle && date < lastOle)) continue;
                    const int d = int(date) - firstOle;
                    const RegisterDay& day = s.days[size_t(d)];
                    if (day.held == 0) continue;
                    const qint16 late = SlotMinutesLate(slot);
                    if (late < 0 || late > kStatusAbsent) continue;
                    const qint16 minute = SlotMinute(slot);
                    const quint8 fits =
                        WindowsOfRecord(*table, day.tableWeekday, minute, late) & day.held;
                    if (late == 0 && fits) logged[size_t(d)] |= quint8(1u << Highest(fits));
                    const qint16 index = SlotIndex(slot);
                    if (index < 1 || index > kRosterSize || rowOf[size_t(index)] < 0) continue;
                    const size_t at = size_t(rowOf[size_t(index)]) * size_t(days) + size_t(d);
                    Place(&s.cells[at * kWindowCount], fits, day.held, minute, late);
                }
                return true;
            });
        out.error = out.scan.error;
    }

    // Leave that touches the month, by row: a few entries to test instead of a lookup per
    // window.
    std::vector<std::vector<const LeaveEntry*>> leave(rows);
    if (calendar.leave)
        for (const LeaveEntry& e : calendar.leave->entries())
            if (!e.cancelled && e.touches(firstOle, firstOle + days - 1) &&
                Roster::validIndex(e.index) && rowOf[size_t(e.index)] >= 0)
                leave[size_t(rowOf[size_t(e.index)])].push_back(&e);

    // The marks and the totals.
    for (size_t r = 0; r < rows; ++r) {
        RegisterTotals& t = s.people[r].totals;
        for (int d = 0; d < days; ++d) {
            const RegisterDay& day = s.days[size_t(d)];
            const size_t at = r * size_t(days) + size_t(d);
            DayMark& mark = s.marks[at];
            if (day.closed) {
                mark = DayMark::Closed;
                continue;
            }
            if (day.future || day.held == 0) continue;
            const qint32 ole = firstOle + d;
            bool counted = false, absent = false, late = false, allExcused = true;
            WindowCell* cells = &s.cells[at * kWindowCount];
            for (int w = 0; w < kWindowCount; ++w) {
                if (!((day.held >> w) & 1)) continue;
                WindowCell& c = cells[w];
                auto excused = [&] {
                    return std::any_of(leave[r].cbegin(), leave[r].cend(),
                                       [&](const LeaveEntry* e) { return e->covers(ole, w); });
                };
                if (c.minute >= 0)
                    c.mark = c.late == kStatusAbsent
                                 ? (excused() ? WindowMark::Excused : WindowMark::Absent)
                             : c.late > 0 ? WindowMark::Late
                                          : WindowMark::OnTime;
                else if (!((over[size_t(d)] >> w) & 1))
                    c.mark = WindowMark::Pending;
                else if (excused())
                    c.mark = WindowMark::Excused;
                else if ((logged[size_t(d)] >> w) & 1)
                    c.mark = WindowMark::NotOnBoard;
                else
                    c.mark = WindowMark::Unrecorded;
                if (c.mark == WindowMark::Pending || c.mark == WindowMark::NotOnBoard) continue;
                counted = true;
                if (c.mark == WindowMark::Excused) continue;
                allExcused = false;
                if (c.mark == WindowMark::Absent) absent = true;
                if (c.mark == WindowMark::Late) {
                    late = true;
                    ++t.late;
                    t.lateMinutes += c.late;
                }
            }
            if (!counted) continue;
            mark = absent       ? DayMark::Absent
                   : late       ? DayMark::Late
                   : allExcused ? DayMark::Excused
                                : DayMark::Present;
            ++t.held;
            t.present += mark == DayMark::Present || mark == DayMark::Late;
            t.onTime += mark == DayMark::Present;
            t.absent += mark == DayMark::Absent;
            t.excused += mark == DayMark::Excused;
        }
    }
    return out;
}

QString RegisterGroupCaption(const Schema& schema, const RegisterGroup& g) {
    if (g.field < 9 || g.field > 11) return QStringLiteral("全部人员");
    const QString element =
        g.element < 0 ? QStringLiteral("全部") : schema.choiceElement(g.field, g.element);
    return schema.title(g.field) + QStringLiteral("：") + element;
}

std::vector<RegisterPart> RegisterParts(const RegisterSheet& sheet, const Schema& schema,
                                        const RegisterGroup& g) {
    const bool grouped = g.field >= 9 && g.field <= 11;
    if (!grouped || g.element >= 0) {
        const QString name =
            grouped ? schema.choiceElement(g.field, g.element) : QStringLiteral("全部");
        return {RegisterPart{name, RegisterGroupCaption(schema, g), sheet.allRows()}};
    }
    // Elements in their order; a number no element list holds goes last, as one.
    std::map<int, std::vector<int>> byElement;
    for (int r = 0; r < sheet.rowCount(); ++r) {
        const int e = sheet.people[size_t(r)].element;
        byElement[e >= 0 && e < kChoiceSlots ? e : kChoiceSlots].push_back(r);
    }
    std::vector<RegisterPart> parts;
    for (auto& [e, rows] : byElement) {
        QString name = e < kChoiceSlots ? schema.choiceElement(g.field, e) : QString();
        if (name.isEmpty()) name = QStringLiteral("未设定");
        parts.push_back(RegisterPart{name, schema.title(g.field) + QStringLiteral("：") + name,
                                     std::move(rows)});
    }
    return parts;
}

QString RegisterDayDetail(const RegisterSheet& sheet, int row, int day,
                          const AttendanceCalendar& calendar) {
    if (row < 0 || row >= sheet.rowCount() || day < 0 || day >= sheet.dayCount()) return {};
    const RegisterDay& d = sheet.days[size_t(day)];
    const RegisterPerson& p = sheet.people[size_t(row)];
    QStringList lines{p.name + QStringLiteral("  ") + ChineseDateText(d.date) +
                      QStringLiteral(" 星期") + WeekdayName(WeekdayOf(d.date))};
    if (d.closed) {
        lines << QStringLiteral("休息日") +
                     (d.closedName.isEmpty() ? QString() : QStringLiteral("：") + d.closedName);
        return lines.join(u'\n');
    }
    if (d.tableWeekday != WeekdayOf(d.date))
        lines << QStringLiteral("调课：按星期%1的时段").arg(WeekdayName(d.tableWeekday));
    if (d.held == 0) {
        lines << QStringLiteral("无签到时段");
        return lines.join(u'\n');
    }
    if (d.future) {
        lines << QStringLiteral("尚未到来");
        return lines.join(u'\n');
    }
    const WindowCell* cells = sheet.windows(row, day);
    const qint32 ole = qint32(DateToOle(d.date));
    for (int w = 0; w < kWindowCount; ++w) {
        if (!((d.held >> w) & 1)) continue;
        const LeaveEntry* leave =
            calendar.leave ? calendar.leave->excuse(p.index, ole, w) : nullptr;
        const QString window =
            calendar.table ? calendar.table->displayName(w) + u' ' +
                                 calendar.table->cellCaption(TimeTable::Cell(w, d.tableWeekday))
                           : QString::number(w + 1);
        lines << window + QStringLiteral("：") + WindowLine(cells[w], leave);
    }
    return lines.join(u'\n');
}

std::optional<QDate> ParseRegisterMonth(const QString& text) {
    static const QRegularExpression kMonth(QStringLiteral("^(\\d{4})-(\\d{1,2})$"));
    const QRegularExpressionMatch m = kMonth.match(text.trimmed());
    if (!m.hasMatch()) return std::nullopt;
    const QDate first(m.captured(1).toInt(), m.captured(2).toInt(), 1);
    if (!first.isValid() || first.year() < 100) return std::nullopt;
    return first;
}

std::optional<RegisterGroup> ParseRegisterGroup(const QString& text, const Schema& schema,
                                                QString* error) {
    const qsizetype eq = text.indexOf(u'=');
    const QString field = (eq < 0 ? text : text.left(eq)).trimmed();
    RegisterGroup g;
    QStringList offered;
    for (int f = 9; f <= 11; ++f) {
        if (!schema.isEnabled(f)) continue;
        offered << schema.title(f);
        if (g.field == 0 && schema.title(f) == field) g.field = f;
    }
    if (g.field == 0) {
        if (error)
            *error = QStringLiteral("没有这个分组字段：%1（可选：%2）")
                         .arg(field, offered.isEmpty() ? QStringLiteral("无")
                                                       : offered.join(QStringLiteral("、")));
        return std::nullopt;
    }
    if (eq < 0) return g;
    const QString element = text.mid(eq + 1).trimmed();
    const int count =
        std::clamp<int>(schema.choiceCounts[size_t(ChoiceSlot(g.field))], 0, kChoiceSlots);
    for (int e = 0; e < count && g.element < 0; ++e)
        if (schema.choiceElement(g.field, e) == element) g.element = e;
    if (g.element < 0) {
        if (error) *error = QStringLiteral("字段“%1”没有“%2”这一项").arg(field, element);
        return std::nullopt;
    }
    return g;
}

}  // namespace tallyra
