// tallyra-cli: a look at a data folder without the window.
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSaveFile>
#include <QTextStream>
#include <cmath>
#include <cstdio>
#include <functional>

#include "cli/calendarcommands.h"
#include "cli/demo.h"
#include "cli/register.h"
#include "cli/station.h"
#include "common/datetime.h"
#include "common/text.h"
#include "core/calendarstore.h"
#include "core/clock.h"
#include "core/format/datacheck.h"
#include "core/format/schema.h"
#include "core/format/settings.h"
#include "core/roster.h"
#include "core/rosterimport.h"
#include "core/signin.h"
#include "core/statistics.h"
#include "core/timewindows.h"
#include "core/workstation.h"
#include "models/headersort.h"
#include "models/statsgridmodel.h"
#include "models/textgridmodel.h"
#include "platform/keycapture.h"
#include "platform/readertool.h"
#include "sheets/spreadsheet.h"

using namespace tallyra;

namespace {

constexpr int kFailed = 1;

// A data file that is there but cannot be read: said on stderr, the command ends with 1.
bool Unreadable(const FileError& error, QTextStream& err) {
    if (!error.failed()) return false;
    err << QStringLiteral("数据文件无法读取：") << error.path << QStringLiteral("（")
        << error.reason() << QStringLiteral("）") << Qt::endl;
    return true;
}

int PrintRoster(const DataFolder& folder, const QDate& today, QTextStream& out, QTextStream& err) {
    Schema schema;
    FileError error;
    LoadSchema(folder, schema, &error);
    for (int f = 9; f <= 11 && !error.failed(); ++f) LoadChoiceList(folder, schema, f, &error);
    const Settings settings = error.failed() ? Settings{} : LoadSettings(folder, &error);
    if (Unreadable(error, err)) return kFailed;
    Roster roster;
    TextGridModel grid(kRosterFirstPerson, kFieldCount + 1);
    const RosterLoadResult loaded =
        LoadRoster(folder, roster, RosterDisplay{&schema, settings.yearsPrecision, today},
                   RosterLoadTargets{nullptr, &grid});
    if (Unreadable(loaded.error, err)) return kFailed;
    for (int r = kRosterFirstPerson; r < grid.rows(); ++r) {
        QStringList cells;
        for (int c = 0; c < grid.columns(); ++c) cells << grid.text(r, c);
        out << cells.join(u'\t') << '\n';
    }
    return 0;
}

int PrintWindows(const DataFolder& folder, QTextStream& out, QTextStream& err) {
    FileError error;
    const TimeTable t = LoadTimeWindows(folder, &error);
    if (Unreadable(error, err)) return kFailed;
    QStringList head{QString()};
    for (int w = 0; w < kWindowCount; ++w) head << t.displayName(w);
    out << head.join(u'\t') << '\n';
    for (int d = 1; d <= 7; ++d) {
        QStringList row{QStringLiteral("周") + WeekdayName(d)};
        for (int w = 0; w < kWindowCount; ++w) {
            const int k = TimeTable::Cell(w, d);
            row << t.cellCaption(k) + (t.set[size_t(k)] ? QString() : QStringLiteral(" [不设定]"));
        }
        out << row.join(u'\t') << '\n';
    }
    return 0;
}

struct StatsOptions {
    QCommandLineOption from{QStringLiteral("from"), QStringLiteral("First day, YYYY-MM-DD."),
                            QStringLiteral("DATE")};
    QCommandLineOption to{QStringLiteral("to"), QStringLiteral("Last day, YYYY-MM-DD."),
                          QStringLiteral("DATE")};
    QCommandLineOption name{QStringLiteral("name"), QStringLiteral("Name pattern (* ? # [..])."),
                            QStringLiteral("PATTERN")};
    QCommandLineOption card{QStringLiteral("card"), QStringLiteral("Card number."),
                            QStringLiteral("N")};
    QCommandLineOption lateMin{QStringLiteral("late-min"), QStringLiteral("Fewest minutes late."),
                               QStringLiteral("M")};
    QCommandLineOption lateMax{QStringLiteral("late-max"), QStringLiteral("Most minutes late."),
                               QStringLiteral("M")};
    QCommandLineOption noExcused{QStringLiteral("no-excused"),
                                 QStringLiteral("Leave out absences excused by leave or a closed "
                                                "day.")};
    QCommandLineOption weekdays{QStringLiteral("weekdays"),
                                QStringLiteral("Weekday range, 1 = Sunday ... 7 = Saturday."),
                                QStringLiteral("D-D")};
    void add(QCommandLineParser& p) {
        for (auto* o : {&from, &to, &name, &card, &lateMin, &lateMax, &weekdays, &noExcused})
            p.addOption(*o);
    }
    // The filter the panel's boxes would make; an error text when one is not usable.
    QString filter(const QCommandLineParser& p, const QDate& today, StatsFilter& f) const {
        StatsQueryTexts t;
        t.first = p.isSet(from) ? p.value(from)
                                : today.addDays(-365).toString(QStringLiteral("yyyy-MM-dd"));
        t.last = p.isSet(to) ? p.value(to) : today.toString(QStringLiteral("yyyy-MM-dd"));
        t.name = p.value(name);
        t.card = p.value(card);
        t.lateMin = p.value(lateMin);
        t.lateMax = p.value(lateMax);
        if (p.isSet(weekdays)) {
            const QStringList d = p.value(weekdays).split(u'-');
            bool a = false, b = false;
            if (d.size() == 2) {
                t.weekdayFirst = d[0].toInt(&a);
                t.weekdayLast = d[1].toInt(&b);
            }
            if (!a || !b || t.weekdayFirst < 1 || t.weekdayLast > 7)
                return QStringLiteral("--weekdays takes D-D with 1 = Sunday ... 7 = Saturday");
        }
        QString error;
        const std::optional<StatsFilter> parsed = ParseStatsFilter(t, &error);
        if (!parsed) return error;
        f = *parsed;
        f.excused = !p.isSet(noExcused);
        return {};
    }
};

// The statistics grid over a read-only load of the roster.
int Statistics(const DataFolder& folder, const StatsFilter& f, const QString& exportPath,
               QTextStream& out, QTextStream& err) {
    Roster roster;
    if (Unreadable(LoadRoster(folder, roster, {}, {}).error, err)) return kFailed;
    FileError error;
    const TimeTable table = LoadTimeWindows(folder, &error);
    if (Unreadable(error, err)) return kFailed;
    CalendarStore calendar(folder);
    LeaveStore leave(folder);
    if (Unreadable(calendar.load(), err) || Unreadable(leave.load(), err)) return kFailed;
    const AttendanceCalendar days{&table, &calendar.get(), &leave.get()};
    StatsGridModel grid(&roster);
    const StatsSummary s = RunStatistics(folder, roster, f, grid, &days);
    if (!exportPath.isEmpty()) {
        const QString templatePath =
            QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("1.dat"));
        const ExportResult written = ExportStatistics(grid.listing(), templatePath, exportPath);
        if (!written.written) {
            err << written.notice() << QStringLiteral("：") << written.path << '\n';
            return kFailed;
        }
        out << written.notice() << '\n';
        return 0;
    }
    // Millions of rows: formatted into one buffer and written a mebibyte at a time, after
    // whatever the stream holds.
    out.flush();
    QIODevice* device = out.device();
    grid.writeLines(2, [device](QByteArrayView block) {
        return device->write(block.data(), block.size()) == block.size();
    });
    out << QStringLiteral("迟到次数\t") << s.late << '\n'
        << QStringLiteral("迟到总时间\t") << s.lateMinutes << '\t' << s.hoursText() << '\n'
        << QStringLiteral("未签到次数\t") << s.missed << '\n'
        << QStringLiteral("请假次数\t") << s.excused << '\n'
        << QStringLiteral("正常签到次数\t") << s.onTime << '\n'
        << QStringLiteral("记录数\t") << s.rows << '\n';
    return 0;
}

const char* const kReaderRules = "/etc/udev/rules.d/70-tallyra-reader.rules";

// udev re-reads its rules and runs them again over the input devices, so a rule takes
// effect without a re-plug. An error text when a step failed.
QString ReloadUdev() {
    const QList<QStringList> steps{{QStringLiteral("control"), QStringLiteral("--reload")},
                                   {QStringLiteral("trigger"), QStringLiteral("--action=change"),
                                    QStringLiteral("--subsystem-match=input")}};
    for (const QStringList& step : steps) {
        QProcess p;
        p.start(QStringLiteral("udevadm"), step);
        if (!p.waitForFinished(30000) || p.exitStatus() != QProcess::NormalExit ||
            p.exitCode() != 0) {
            const QString why = p.error() == QProcess::FailedToStart
                                    ? QStringLiteral("not found")
                                    : QString::fromLocal8Bit(p.readAllStandardError()).trimmed();
            return QStringLiteral("udevadm %1 failed (%2)").arg(step.join(u' '), why);
        }
    }
    return {};
}

// reader list | allow ID | deny: the keyboards and the udev rule that lets the user at the
// seat read the card reader alone (never the whole input group).
int Reader(const QStringList& args, const QString& rulesFile, QTextStream& out, QTextStream& err) {
    const QString what = args.value(0);
    const bool allow = what == u"allow" && args.size() == 2;
    const bool deny = what == u"deny" && args.size() == 1;
    if (what == u"list" && args.size() == 1) {
        PrintReaderList(out);
        return 0;
    }
    if (!allow && !deny) {
        err << "usage: tallyra-cli reader list | reader allow ID | reader deny\n";
        return 2;
    }
    const QString rule = allow ? UdevReaderRule(args[1]) : QString();
    if (allow && rule.isEmpty()) {
        err << args[1] << ": not a vendor:product (0c2e:0b61) or a /dev/input/by-id/ path\n";
        return 2;
    }
    if (const QString refusal = ReaderRuleRefusal(what); !refusal.isEmpty()) {
        err << refusal << '\n';
        return 1;
    }
    if (allow) {
        QSaveFile f(rulesFile);
        const QByteArray text =
            "# Written by tallyra-cli reader allow: the user at the seat may read the card\n"
            "# reader below; tallyra-cli reader deny removes this file.\n" +
            rule.toUtf8() + '\n';
        if (!f.open(QIODevice::WriteOnly) || f.write(text) != text.size() || !f.commit()) {
            err << "could not write " << rulesFile << ": " << f.errorString()
                << "; the reader was not allowed\n";
            return 1;
        }
    } else if (!QFile::exists(rulesFile)) {
        out << "no reader rule in " << rulesFile << ": nothing to remove\n";
        return 0;
    } else if (!QFile::remove(rulesFile)) {
        err << "could not remove " << rulesFile << "; the reader is still allowed\n";
        return 1;
    }
    const QString reload = ReloadUdev();
    if (!reload.isEmpty()) {
        err << (allow ? "wrote " : "removed ") << rulesFile << ", but " << reload
            << "; it takes effect when the reader is plugged in again\n";
        return 1;
    }
    if (allow) {
        out << "wrote " << rulesFile << ":\n  " << rule << '\n'
            << "reloaded udev and re-applied it to the input devices: the user logged in at "
               "the seat may now read "
            << args[1] << " (and no other keyboard)\n";
    } else {
        out << "removed " << rulesFile
            << " and reloaded udev; access already given ends when the reader is plugged in "
               "again\n";
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::unique_ptr<QCoreApplication> app = MakeCliApplication(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tallyra-cli"));
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Commands:\n  roster   the roster as the roster grid shows it\n  windows  the weekday x "
        "window table\n"
        "  check    every value out of range (exit 1 if any)\n  demo     write a demo folder\n"
        "  swipe CARD  sign a card in now, as the sign-in panel (or --panel 5) does\n"
        "  tick     one run of the minute tick: the clock and closing ended windows\n"
        "  stats    the statistics query (--from --to --name --card --late-min --late-max\n"
        "           --weekdays); export-stats FILE.xlsx writes it as the panel's export\n"
        "  register  a month's register (--month YYYY-MM [--group FIELD=ELEMENT]) as text,\n"
        "           or --pdf FILE, or --xlsx FILE\n"
        "  import FILE  the roster import from a spreadsheet (.xlsx, .xls, .ods, .csv)\n"
        "  reader list | reader allow ID | reader deny  the keyboards with their ids; as root,\n"
        "           the udev rule that lets the user at the seat read that reader alone\n"
        "  calendar list | close FROM[..TO] NAME | makeup DATE WEEKDAY | open FROM[..TO] |\n"
        "           import FILE.ics | export FILE.ics  the school calendar (WEEKDAY 1 = Sunday)\n"
        "  leave add CARD FROM[/W] TO[/W] KIND REASON --by NAME | cancel ID --by NAME |\n"
        "           list [--from DATE --to DATE] | kinds [KIND ...]  excused absences\n"
        "swipe, tick, import and the calendar and leave changes exit with 2 while Tallyra\n"
        "runs on the folder; what could not\n"
        "be read or stored is said on stderr with exit status 1; the folder must exist\n"
        "(only demo makes it)."));
    parser.addHelpOption();
    const QCommandLineOption dataDir(QStringLiteral("data-dir"),
                                     QStringLiteral("Folder of the data files."),
                                     QStringLiteral("DIR"), QStringLiteral("."));
    parser.addOption(dataDir);
    const QCommandLineOption panel(QStringLiteral("panel"),
                                   QStringLiteral("Panel the swipe comes in: 4 (sign-in) or 5."),
                                   QStringLiteral("N"), QStringLiteral("4"));
    parser.addOption(panel);
    const QCommandLineOption rules(QStringLiteral("rules"),
                                   QStringLiteral("The udev rule file of reader allow/deny."),
                                   QStringLiteral("FILE"), QString::fromLatin1(kReaderRules));
    parser.addOption(rules);
    const QCommandLineOption by(QStringLiteral("by"),
                                QStringLiteral("Who enters or cancels a leave."),
                                QStringLiteral("NAME"));
    parser.addOption(by);
    StatsOptions stats;
    stats.add(parser);
    RegisterOptions registerOptions;
    registerOptions.add(parser);
    parser.addPositionalArgument(
        QStringLiteral("command"),
        QStringLiteral("roster, windows, check, demo, swipe, tick, stats, "
                       "export-stats, register, import, reader, calendar or "
                       "leave"));
    parser.process(*app);
    const QStringList args = parser.positionalArguments();
    QTextStream out(stdout);
    QTextStream err(stderr);
    const QString command = args.value(0);
    if (command == u"reader") return Reader(args.mid(1), parser.value(rules), out, err);
    if (command == u"calendar" || command == u"leave") {
        const DataFolder folder(parser.value(dataDir));
        if (!QFileInfo(folder.root()).isDir()) {
            err << QStringLiteral("数据文件夹不存在：") << folder.root() << Qt::endl;
            return kFailed;
        }
        if (command == u"calendar") return CalendarCommand(folder, args.mid(1), out, err);
        return LeaveCommand(folder, args.mid(1),
                            {parser.value(by), parser.value(stats.from), parser.value(stats.to)},
                            out, err);
    }
    const bool withArgument =
        command == u"swipe" || command == u"export-stats" || command == u"import";
    const int expected = withArgument ? 2 : 1;
    if (args.size() != expected) {
        err << "usage: tallyra-cli --data-dir DIR roster|windows|check|demo|tick\n"
               "       tallyra-cli --data-dir DIR [--panel 4|5] swipe CARD\n"
               "       tallyra-cli --data-dir DIR [filters] stats | export-stats FILE.xlsx\n"
               "       tallyra-cli --data-dir DIR register --month YYYY-MM [--group G] "
               "[--pdf FILE | --xlsx FILE]\n"
               "       tallyra-cli --data-dir DIR import FILE\n";
        return 2;
    }
    const DataFolder folder(parser.value(dataDir));
    SystemClock clock;
    // Only the demo writes a folder of its own; every other command needs one that exists.
    if (command != u"demo" && !QFileInfo(folder.root()).isDir()) {
        err << QStringLiteral("数据文件夹不存在：") << folder.root() << Qt::endl;
        return kFailed;
    }
    if (command == u"register")
        return RegisterCommand(folder, parser, registerOptions, clock, out, err);
    if (command == u"roster") return PrintRoster(folder, clock.today(), out, err);
    if (command == u"windows") return PrintWindows(folder, out, err);
    if (command == u"check") {
        const QStringList problems = CheckDataFolder(folder);
        for (const QString& p : problems) out << p << '\n';
        if (problems.isEmpty()) out << "all values in range\n";
        return problems.isEmpty() ? 0 : 1;
    }
    if (command == u"demo") {
        const QString error = WriteDemoFolder(folder, clock.today());
        if (!error.isEmpty()) {
            err << error << '\n';
            return 1;
        }
        out << "demo data written to " << folder.root() << '\n';
        return 0;
    }
    if (command == u"swipe") {
        const QString p = parser.value(panel);
        if (p != u"4" && p != u"5") {
            err << "--panel takes 4 or 5\n";
            return 2;
        }
        return WithWorkstation(folder, out, err, [&](Workstation&, SignIn& signIn) {
            signIn.ProcessSwipe(args[1], Panel(p.toInt()));
            return 0;
        });
    }
    if (command == u"stats" || command == u"export-stats") {
        StatsFilter f;
        const QString problem = stats.filter(parser, clock.today(), f);
        if (!problem.isEmpty()) {
            err << problem << '\n';
            return 2;
        }
        return Statistics(folder, f, command == u"export-stats" ? args[1] : QString(), out, err);
    }
    if (command == u"import") {
        return WithWorkstation(folder, out, err, [&](Workstation& station, SignIn&) {
            // A roster file that cannot be opened shows when the first record is stored.
            (void)station.roster().open();
            // A file that cannot be read is said so on stderr, with why.
            const ImportResult r = ImportRosterFile(
                args[1], station.importTargets([&out](const QString& m) { out << m << Qt::endl; }));
            return r.headerFound && !r.notStored && !r.unreadable ? 0 : kFailed;
        });
    }
    if (command == u"tick") {
        return WithWorkstation(folder, out, err, [&](Workstation&, SignIn& signIn) {
            out << signIn.OnTimer1() << Qt::endl;
            return 0;
        });
    }
    err << "unknown command: " << command << '\n';
    return 2;
}
