#include "core/ics.h"

#include <QRegularExpression>
#include <QStringList>

#include "common/datetime.h"
#include "common/gbk.h"
#include "core/calendarstore.h"

namespace tallyra {

namespace {

constexpr int kFoldOctets = 75;

// Lines with their folds joined back (a line break and one blank or tab continue a line).
QList<QByteArray> Unfold(QByteArrayView bytes) {
    QList<QByteArray> lines;
    QByteArray line;
    qsizetype i = 0;
    while (i < bytes.size()) {
        qsizetype end = bytes.indexOf('\n', i);
        if (end < 0) end = bytes.size();
        QByteArrayView part = bytes.sliced(i, end - i);
        if (part.endsWith('\r')) part.chop(1);
        if (!part.isEmpty() && (part[0] == ' ' || part[0] == '\t'))
            line += part.sliced(1);
        else {
            if (!line.isEmpty()) lines << line;
            line = part.toByteArray();
        }
        i = end + 1;
    }
    if (!line.isEmpty()) lines << line;
    return lines;
}

QString Unescape(const QString& value) {
    QString out;
    out.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value[i] == u'\\' && i + 1 < value.size()) {
            const QChar c = value[++i];
            out += c == u'n' || c == u'N' ? QChar(u' ') : c;
        } else {
            out += value[i];
        }
    }
    return out;
}

QString Escape(const QString& text) {
    QString out;
    for (QChar c : text) {
        if (c == u'\\' || c == u';' || c == u',') out += u'\\';
        if (c == u'\n') {
            out += QStringLiteral("\\n");
            continue;
        }
        out += c;
    }
    return out;
}

// The date of a DATE or DATE-TIME value (its first eight digits).
QDate DateOf(const QString& value) {
    if (value.size() < 8) return {};
    for (int i = 0; i < 8; ++i)
        if (!value[i].isDigit()) return {};
    return QDate(value.left(4).toInt(), value.mid(4, 2).toInt(), value.mid(6, 2).toInt());
}

// Days of a DURATION such as P3D or P2W; 0 when it is something else.
int DurationDays(const QString& value) {
    static const QRegularExpression days(QStringLiteral("^P(\\d{1,4})([DW])"));
    const auto m = days.match(value);
    if (!m.hasMatch()) return 0;
    return m.captured(1).toInt() * (m.captured(2) == u'W' ? 7 : 1);
}

const char16_t* const kDigits = u"日一二三四五六";

// The weekday "按星期二" / "周二" / "星期日" names in a summary, 1 = Sunday; 0 when none.
int WeekdayNamed(const QString& summary) {
    static const QRegularExpression named(QStringLiteral("(?:星期|周|礼拜)([日天一二三四五六])"));
    const auto m = named.match(summary);
    if (!m.hasMatch()) return 0;
    const QChar c = m.captured(1)[0];
    if (c == u'天') return 1;
    for (int d = 0; d < 7; ++d)
        if (c == QChar(kDigits[d])) return d + 1;
    return 0;
}

struct Event {
    QDate start, end;       // end exclusive
    bool timedEnd = false;  // the end is a moment: its day counts unless it is midnight
    int durationDays = 0;
    QString summary;
    int weekday = 0;  // X-TALLYRA-WEEKDAY
};

}  // namespace

IcsRead ReadIcs(QByteArrayView bytes) {
    IcsRead out;
    if (bytes.size() > kMostIcsBytes) {
        out.failure = QStringLiteral("日历文件太大");
        return out;
    }
    const QList<QByteArray> lines = Unfold(bytes);
    bool calendar = false, inEvent = false;
    int depth = 0;  // components inside the event (alarms), whose properties are not its own
    Event e;
    int days = 0;
    for (const QByteArray& raw : lines) {
        const QString line = QString::fromUtf8(raw);
        const qsizetype colon = line.indexOf(u':');
        if (colon < 0) continue;
        const QString head = line.left(colon);
        const QString value = line.mid(colon + 1).trimmed();
        const QString name = head.section(u';', 0, 0).trimmed().toUpper();
        if (name == u"BEGIN") {
            const QString what = value.toUpper();
            if (what == u"VCALENDAR") calendar = true;
            if (inEvent) ++depth;
            if (what == u"VEVENT" && !inEvent) {
                inEvent = true;
                depth = 0;
                e = Event{};
            }
            continue;
        }
        if (name == u"END") {
            if (inEvent && depth > 0) {
                --depth;
                continue;
            }
            if (!inEvent || value.toUpper() != u"VEVENT") continue;
            inEvent = false;
            if (++out.events > kMostIcsEvents) {
                out.failure = QStringLiteral("日历中的事件超过%1个").arg(kMostIcsEvents);
                out.changes.clear();
                return out;
            }
            QDate last = e.end.isValid()      ? e.end.addDays(e.timedEnd ? 0 : -1)
                         : e.durationDays > 0 ? e.start.addDays(e.durationDays - 1)
                                              : e.start;
            if (!e.start.isValid() || !last.isValid() || last < e.start ||
                e.start.daysTo(last) >= CalendarStore::kLongestRange) {
                ++out.skipped;
                continue;
            }
            const QString summary = e.summary.trimmed();
            const int named = e.weekday >= 1 && e.weekday <= 7 ? e.weekday : WeekdayNamed(summary);
            const bool worked = e.weekday >= 1 || summary.contains(QStringLiteral("补班")) ||
                                summary.contains(QStringLiteral("上班")) ||
                                summary.contains(QStringLiteral("按星期"));
            for (QDate d = e.start; d <= last; d = d.addDays(1)) {
                if (++days > kMostIcsDays) {
                    out.failure = QStringLiteral("日历中的日子超过%1天").arg(kMostIcsDays);
                    out.changes.clear();
                    return out;
                }
                CalendarChange c;
                c.day = qint32(DateToOle(d));
                if (worked) {
                    c.kind = CalendarChange::MakeUp;
                    c.weekday = quint8(named > 0 ? named : 2);
                } else {
                    c.kind = CalendarChange::Closed;
                    // What the name field can hold, in characters it can hold.
                    c.name = DecodeGbk(EncodeGbkFitting(summary, kCalendarNameBytes));
                }
                out.changes.push_back(c);
            }
            continue;
        }
        if (!inEvent || depth > 0) continue;
        if (name == u"DTSTART")
            e.start = DateOf(value);
        else if (name == u"DTEND") {
            e.end = DateOf(value);
            e.timedEnd = value.size() > 8 && value.mid(8, 7) != u"T000000";
        } else if (name == u"DURATION")
            e.durationDays = DurationDays(value);
        else if (name == u"SUMMARY")
            e.summary = Unescape(value);
        else if (name == u"X-TALLYRA-WEEKDAY")
            e.weekday = value.toInt();
    }
    if (!calendar) {
        out.failure = QStringLiteral("不是iCalendar日历文件");
        out.changes.clear();
    }
    return out;
}

namespace {

// A content line folded at 75 octets without cutting a character, lines ended by CRLF.
void Line(QByteArray& out, const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    qsizetype i = 0, room = kFoldOctets;
    while (utf8.size() - i > room) {
        qsizetype cut = i + room;
        while (cut > i && (quint8(utf8[cut]) & 0xC0) == 0x80) --cut;
        out += utf8.mid(i, cut - i) + "\r\n ";
        i = cut;
        room = kFoldOctets - 1;
    }
    out += utf8.mid(i) + "\r\n";
}

QString DateValue(const QDate& d) { return d.toString(QStringLiteral("yyyyMMdd")); }

}  // namespace

QByteArray WriteIcs(const SchoolCalendar& calendar, const QDateTime& stamp) {
    QByteArray out;
    Line(out, QStringLiteral("BEGIN:VCALENDAR"));
    Line(out, QStringLiteral("VERSION:2.0"));
    Line(out, QStringLiteral("PRODID:-//Tallyra//School calendar//ZH"));
    Line(out, QStringLiteral("CALSCALE:GREGORIAN"));
    const QString stamped = stamp.toUTC().toString(QStringLiteral("yyyyMMdd'T'HHmmss'Z'"));
    const auto event = [&](const QDate& first, const QDate& last, const QString& summary,
                           int weekday) {
        Line(out, QStringLiteral("BEGIN:VEVENT"));
        Line(out, QStringLiteral("UID:") + DateValue(first) + QStringLiteral("@tallyra"));
        Line(out, QStringLiteral("DTSTAMP:") + stamped);
        Line(out, QStringLiteral("DTSTART;VALUE=DATE:") + DateValue(first));
        Line(out, QStringLiteral("DTEND;VALUE=DATE:") + DateValue(last.addDays(1)));
        Line(out, QStringLiteral("SUMMARY:") + Escape(summary));
        if (weekday > 0) Line(out, QStringLiteral("X-TALLYRA-WEEKDAY:%1").arg(weekday));
        Line(out, QStringLiteral("TRANSP:TRANSPARENT"));
        Line(out, QStringLiteral("END:VEVENT"));
    };
    const auto days = calendar.days();
    for (size_t k = 0; k < days.size();) {
        const auto& [day, d] = days[k];
        const std::optional<QDate> first = OleToDate(day);
        if (!first) {
            ++k;
            continue;
        }
        if (d.kind == CalendarChange::MakeUp) {
            event(*first, *first,
                  QStringLiteral("调休，按星期") + QChar(kDigits[d.weekday - 1]) +
                      QStringLiteral("上课"),
                  d.weekday);
            ++k;
            continue;
        }
        // A run of closed days under one name is one event.
        size_t j = k + 1;
        while (j < days.size() && days[j].first == days[j - 1].first + 1 &&
               days[j].second.kind == CalendarChange::Closed && days[j].second.name == d.name)
            ++j;
        event(*first, first->addDays(qint64(j - k) - 1),
              d.name.isEmpty() ? QStringLiteral("休息") : d.name, 0);
        k = j;
    }
    Line(out, QStringLiteral("END:VCALENDAR"));
    return out;
}

}  // namespace tallyra
