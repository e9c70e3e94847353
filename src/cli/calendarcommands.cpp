#include "cli/calendarcommands.h"

#include <QDateTime>
#include <QSaveFile>

#include "cli/station.h"
#include "common/datetime.h"
#include "core/ics.h"
#include "core/workstation.h"

namespace tallyra {

namespace {

QDate DateArgument(const QString& text) {
    return QDate::fromString(text.trimmed(), QStringLiteral("yyyy-MM-dd"));
}

// "FROM..TO" or one date; nothing when either is not a date or the range runs backwards.
std::optional<std::pair<QDate, QDate>> RangeArgument(const QString& text) {
    const QStringList parts = text.split(QStringLiteral(".."));
    if (parts.size() > 2) return std::nullopt;
    const QDate first = DateArgument(parts[0]);
    const QDate last = parts.size() == 2 ? DateArgument(parts[1]) : first;
    if (!first.isValid() || !last.isValid() || last < first) return std::nullopt;
    return std::pair{first, last};
}

// "DATE" or "DATE/W" with W 1-6; the window as 0-5, or -1 for the whole day.
std::optional<std::pair<QDate, int>> DayWindowArgument(const QString& text) {
    const QStringList parts = text.split(u'/');
    if (parts.size() > 2) return std::nullopt;
    const QDate day = DateArgument(parts[0]);
    int window = -1;
    if (parts.size() == 2) {
        bool number = false;
        window = parts[1].toInt(&number) - 1;
        if (!number || window < 0 || window > 5) return std::nullopt;
    }
    if (!day.isValid()) return std::nullopt;
    return std::pair{day, window};
}

QString Iso(const QDate& d) { return d.toString(QStringLiteral("yyyy-MM-dd")); }
QString IsoOfOle(qint32 day) {
    const std::optional<QDate> d = OleToDate(day);
    return d ? Iso(*d) : QString::number(day);
}
QString Weekday(const QDate& d) { return QStringLiteral("星期") + WeekdayName(WeekdayOf(d)); }

int Usage(QTextStream& err, const char* text) {
    err << "usage: tallyra-cli --data-dir DIR " << text << '\n';
    return kCliUsage;
}

// A change the store refused or could not write, in the user's words.
int Refused(StoreResult r, const QString& what, QTextStream& err) {
    if (r == StoreResult::TooLong)
        err << what << QStringLiteral("：名称太长或范围超过一年，未保存") << Qt::endl;
    else
        err << NotSavedText(what) << Qt::endl;
    return kCliFailed;
}

bool Unreadable(const FileError& error, QTextStream& err) {
    if (!error.failed()) return false;
    err << QStringLiteral("数据文件无法读取：") << error.path << QStringLiteral("（")
        << error.reason() << QStringLiteral("）") << Qt::endl;
    return true;
}

int ListCalendar(const DataFolder& folder, QTextStream& out, QTextStream& err) {
    CalendarStore store(folder);
    if (Unreadable(store.load(), err)) return kCliFailed;
    for (const auto& [day, d] : store.get().days()) {
        const std::optional<QDate> date = OleToDate(day);
        if (!date) continue;
        out << Iso(*date) << '\t' << Weekday(*date) << '\t';
        if (d.kind == CalendarChange::Closed)
            out << QStringLiteral("休息\t") << d.name << '\n';
        else
            out << QStringLiteral("调休\t按星期") << WeekdayName(d.weekday) << '\n';
    }
    return 0;
}

int ExportCalendar(const DataFolder& folder, const QString& path, QTextStream& out,
                   QTextStream& err) {
    CalendarStore store(folder);
    if (Unreadable(store.load(), err)) return kCliFailed;
    // Written beside the target and renamed over it: a cut export leaves the old file.
    QSaveFile file(path);
    const QByteArray ics = WriteIcs(store.get(), QDateTime::currentDateTimeUtc());
    if (!file.open(QIODevice::WriteOnly) || file.write(ics) != ics.size() || !file.commit()) {
        err << NotSavedText(QStringLiteral("日历文件") + path) << Qt::endl;
        return kCliFailed;
    }
    out << QStringLiteral("日历已导出：") << path << Qt::endl;
    return 0;
}

}  // namespace

int CalendarCommand(const DataFolder& folder, const QStringList& args, QTextStream& out,
                    QTextStream& err) {
    const QString what = args.value(0);
    if (what == u"list" && args.size() == 1) return ListCalendar(folder, out, err);
    if (what == u"export" && args.size() == 2) return ExportCalendar(folder, args[1], out, err);
    if (what == u"close" && args.size() == 3) {
        const auto range = RangeArgument(args[1]);
        if (!range) return Usage(err, "calendar close YYYY-MM-DD[..YYYY-MM-DD] NAME");
        return WithWorkstation(folder, out, err, [&](Workstation& s, SignIn&) {
            const StoreResult r = s.calendar().close(range->first, range->second, args[2]);
            if (r != StoreResult::Stored) return Refused(r, QStringLiteral("休息日"), err);
            out << QStringLiteral("休息：") << Iso(range->first) << ".." << Iso(range->second)
                << ' ' << args[2] << Qt::endl;
            return 0;
        });
    }
    if (what == u"makeup" && args.size() == 3) {
        const QDate day = DateArgument(args[1]);
        bool number = false;
        const int weekday = args[2].toInt(&number);
        if (!day.isValid() || !number || weekday < 1 || weekday > 7)
            return Usage(err, "calendar makeup YYYY-MM-DD WEEKDAY (1 = 星期日 ... 7 = 星期六)");
        return WithWorkstation(folder, out, err, [&](Workstation& s, SignIn&) {
            const StoreResult r = s.calendar().makeUp(day, weekday);
            if (r != StoreResult::Stored) return Refused(r, QStringLiteral("调休日"), err);
            out << QStringLiteral("调休：") << Iso(day) << QStringLiteral(" 按星期")
                << WeekdayName(weekday) << Qt::endl;
            return 0;
        });
    }
    if (what == u"open" && args.size() == 2) {
        const auto range = RangeArgument(args[1]);
        if (!range) return Usage(err, "calendar open YYYY-MM-DD[..YYYY-MM-DD]");
        return WithWorkstation(folder, out, err, [&](Workstation& s, SignIn&) {
            const StoreResult r = s.calendar().open(range->first, range->second);
            if (r != StoreResult::Stored) return Refused(r, QStringLiteral("日历"), err);
            out << QStringLiteral("照常上课：") << Iso(range->first) << ".." << Iso(range->second)
                << Qt::endl;
            return 0;
        });
    }
    if (what == u"import" && args.size() == 2) {
        QByteArray bytes;
        FileError error;
        if (!ReadRegularFile(args[1], kMostIcsBytes, bytes, &error)) {
            err << QStringLiteral("日历文件无法读取：") << args[1] << QStringLiteral("（")
                << error.reason() << QStringLiteral("）") << Qt::endl;
            return kCliFailed;
        }
        const IcsRead read = ReadIcs(bytes);
        if (!read.failure.isEmpty()) {
            err << read.failure << QStringLiteral("：") << args[1] << Qt::endl;
            return kCliFailed;
        }
        return WithWorkstation(folder, out, err, [&](Workstation& s, SignIn&) {
            const StoreResult r = s.calendar().apply(read.changes);
            if (r != StoreResult::Stored) return Refused(r, QStringLiteral("导入的日历"), err);
            out << QStringLiteral("日历已导入：%1个事件，%2天")
                       .arg(read.events)
                       .arg(read.changes.size());
            if (read.skipped > 0)
                out << QStringLiteral("，%1个事件没有日期未导入").arg(read.skipped);
            out << Qt::endl;
            return 0;
        });
    }
    err << "usage: tallyra-cli --data-dir DIR calendar list | close FROM[..TO] NAME |\n"
           "       makeup DATE WEEKDAY | open FROM[..TO] | import FILE.ics | export FILE.ics\n";
    return kCliUsage;
}

namespace {

QString WindowText(qint32 day, int window) {
    return IsoOfOle(day) + (window >= 0 ? QStringLiteral("/%1").arg(window + 1) : QString());
}

QString MomentText(double ole) {
    return OleToDateTime(ole).toString(QStringLiteral("yyyy-MM-dd HH:mm"));
}

int ListLeave(const DataFolder& folder, const LeaveOptions& o, QTextStream& out, QTextStream& err) {
    LeaveStore store(folder);
    if (Unreadable(store.load(), err)) return kCliFailed;
    Roster roster;
    if (Unreadable(LoadRoster(folder, roster, {}, {}).error, err)) return kCliFailed;
    const QDate first = o.from.isEmpty() ? QDate(1900, 1, 1) : DateArgument(o.from);
    const QDate last = o.to.isEmpty() ? QDate(9999, 12, 31) : DateArgument(o.to);
    if (!first.isValid() || !last.isValid())
        return Usage(err, "leave list [--from DATE --to DATE]");
    for (const LeaveEntry& e : store.get().entries()) {
        if (!e.touches(qint32(DateToOle(first)), qint32(DateToOle(last)))) continue;
        const PersonRecord* p = Roster::validIndex(e.index) ? &roster.at(e.index) : nullptr;
        out << e.id << '\t' << (e.cancelled ? QStringLiteral("已取消") : QStringLiteral("有效"))
            << '\t' << (p ? CardText(p->cardNumber) : QString()) << '\t'
            << (p ? p->name : QString()) << '\t' << WindowText(e.fromDay, e.fromWindow) << ".."
            << WindowText(e.toDay, e.toWindow) << '\t' << e.kind << '\t' << e.reason << '\t'
            << QStringLiteral("登记 ") << MomentText(e.at) << ' ' << e.by;
        if (e.cancelled)
            out << '\t' << QStringLiteral("取消 ") << MomentText(e.cancelledAt) << ' '
                << e.cancelledBy;
        out << '\n';
    }
    return 0;
}

}  // namespace

int LeaveCommand(const DataFolder& folder, const QStringList& args, const LeaveOptions& o,
                 QTextStream& out, QTextStream& err) {
    const QString what = args.value(0);
    if (what == u"list" && args.size() == 1) return ListLeave(folder, o, out, err);
    if (what == u"kinds" && args.size() == 1) {
        FileError error;
        const QStringList kinds = LoadLeaveKinds(folder, &error);
        if (Unreadable(error, err)) return kCliFailed;
        out << kinds.join(u'\t') << '\n';
        return 0;
    }
    if (what == u"kinds") {
        return WithWorkstation(folder, out, err, [&](Workstation& s, SignIn&) {
            const StoreResult r = s.leave().setKinds(args.mid(1));
            if (r != StoreResult::Stored) return Refused(r, QStringLiteral("请假类别"), err);
            out << QStringLiteral("请假类别：") << args.mid(1).join(u'、') << Qt::endl;
            return 0;
        });
    }
    if (what == u"add" && args.size() == 6) {
        const auto from = DayWindowArgument(args[2]);
        const auto to = DayWindowArgument(args[3]);
        if (!from || !to || o.by.trimmed().isEmpty())
            return Usage(err, "leave add CARD FROM[/W] TO[/W] KIND REASON --by NAME (W 1-6)");
        return WithWorkstation(folder, out, err, [&](Workstation& s, SignIn&) {
            const int index = s.roster().holderOfCard(args[1]);
            if (!s.leave().kinds().contains(args[4])) {
                err << QStringLiteral("请假类别应为：") << s.leave().kinds().join(u'、')
                    << Qt::endl;
                return kCliFailed;
            }
            LeaveEntry e;
            e.index = index;
            e.fromDay = qint32(DateToOle(from->first));
            e.fromWindow = from->second;
            e.toDay = qint32(DateToOle(to->first));
            e.toWindow = to->second;
            e.kind = args[4];
            e.reason = args[5];
            e.by = o.by;
            e.at = DateTimeToOle(s.clock().now());
            if (const QString problem = LeaveEntryProblem(e, index > 0); !problem.isEmpty()) {
                err << (index > 0 ? problem : QStringLiteral("卡号不存在：") + args[1]) << Qt::endl;
                return kCliFailed;
            }
            qint32 id = 0;
            const StoreResult r = s.leave().add(e, &id);
            if (r != StoreResult::Stored) return Refused(r, QStringLiteral("请假"), err);
            out << QStringLiteral("请假已登记：编号") << id << ' ' << s.roster().person(index).name
                << ' ' << WindowText(e.fromDay, e.fromWindow) << ".."
                << WindowText(e.toDay, e.toWindow) << ' ' << e.kind << Qt::endl;
            return 0;
        });
    }
    if (what == u"cancel" && args.size() == 2) {
        bool number = false;
        const qint32 id = args[1].toInt(&number);
        if (!number || o.by.trimmed().isEmpty()) return Usage(err, "leave cancel ID --by NAME");
        return WithWorkstation(folder, out, err, [&](Workstation& s, SignIn&) {
            const LeaveEntry* e = s.leave().get().entry(id);
            if (!e || e->cancelled) {
                err << QStringLiteral("没有编号为%1的有效请假").arg(id) << Qt::endl;
                return kCliFailed;
            }
            const StoreResult r = s.leave().cancel(id, o.by, DateTimeToOle(s.clock().now()));
            if (r != StoreResult::Stored) return Refused(r, QStringLiteral("请假的取消"), err);
            out << QStringLiteral("请假已取消：编号") << id << Qt::endl;
            return 0;
        });
    }
    err << "usage: tallyra-cli --data-dir DIR leave add CARD FROM[/W] TO[/W] KIND REASON --by "
           "NAME\n"
           "       leave cancel ID --by NAME | leave list [--from DATE --to DATE] |\n"
           "       leave kinds [KIND ...]\n";
    return kCliUsage;
}

}  // namespace tallyra
