// tallyra-cli: a look at a data folder without the window.
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>
#include <cstdio>

#include "cli/demo.h"
#include "core/clock.h"
#include "core/datacheck.h"
#include "core/roster.h"
#include "core/schema.h"
#include "core/settings.h"
#include "core/textgridmodel.h"
#include "core/timewindows.h"

using namespace tallyra;

namespace {

int PrintRoster(const DataFolder& folder, const QDate& today, QTextStream& out) {
    Schema schema;
    LoadSchema(folder, schema);
    for (int f = 9; f <= 11; ++f) LoadChoiceList(folder, schema, f);
    const Settings settings = LoadSettings(folder);
    Roster roster;
    TextGridModel grid(2, 26);
    LoadRoster(folder, roster, RosterDisplay{&schema, settings.yearsPrecision, today},
               RosterLoadTargets{nullptr, &grid});
    for (int r = 2; r < grid.rows(); ++r) {
        QStringList cells;
        for (int c = 0; c < 26; ++c) cells << grid.text(r, c);
        out << cells.join(u'\t') << '\n';
    }
    return 0;
}

int PrintWindows(const DataFolder& folder, QTextStream& out) {
    const TimeTable t = LoadTimeWindows(folder);
    QStringList head{QString()};
    for (int w = 0; w < kWindowCount; ++w) head << t.displayName(w);
    out << head.join(u'\t') << '\n';
    const char16_t* const days[] = {u"周日", u"周一", u"周二", u"周三", u"周四", u"周五", u"周六"};
    for (int d = 1; d <= 7; ++d) {
        QStringList row{QString::fromUtf16(days[d - 1])};
        for (int w = 0; w < kWindowCount; ++w) {
            const int k = TimeTable::Cell(w, d);
            row << t.cellCaption(k) + (t.set[size_t(k)] ? QString() : QStringLiteral(" [不设定]"));
        }
        out << row.join(u'\t') << '\n';
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tallyra-cli"));
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Commands:\n  roster   the roster as the roster grid shows it\n  windows  the weekday x "
        "window table\n"
        "  check    every value out of range (exit 1 if any)\n  demo     write a demo folder"));
    parser.addHelpOption();
    const QCommandLineOption dataDir(QStringLiteral("data-dir"),
                                     QStringLiteral("Folder of the data files."),
                                     QStringLiteral("DIR"), QStringLiteral("."));
    parser.addOption(dataDir);
    parser.addPositionalArgument(QStringLiteral("command"),
                                 QStringLiteral("roster, windows, check or demo"));
    parser.process(app);
    const QStringList args = parser.positionalArguments();
    QTextStream out(stdout);
    QTextStream err(stderr);
    if (args.size() != 1) {
        err << "usage: tallyra-cli --data-dir DIR roster|windows|check|demo\n";
        return 2;
    }
    const DataFolder folder(parser.value(dataDir));
    const QString command = args.first();
    SystemClock clock;
    if (command == u"roster") return PrintRoster(folder, clock.today(), out);
    if (command == u"windows") return PrintWindows(folder, out);
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
    err << "unknown command: " << command << '\n';
    return 2;
}
