// tallyra-cli: a look at a data folder without the window.
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>
#include <cstdio>
#include <functional>

#include "cli/demo.h"
#include "core/clock.h"
#include "core/datacheck.h"
#include "core/roster.h"
#include "core/schema.h"
#include "core/settings.h"
#include "core/signin.h"
#include "core/textgridmodel.h"
#include "core/timewindows.h"
#include "core/workstation.h"

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

class PrintingNotifier final : public Notifier {
public:
    explicit PrintingNotifier(QTextStream& out) : out_(out) {}
    void ShowNotice(const QString& text) override {
        if (!muted) out_ << text << Qt::endl;
    }
    bool muted = false;  // start-up notices are the window's, not the command's

private:
    QTextStream& out_;
};

constexpr int kInUse = 2;

// Runs `work` on a started workstation at the current time, as the window would.
int WithWorkstation(const DataFolder& folder, QTextStream& out, QTextStream& err,
                    const std::function<int(Workstation&, SignIn&)>& work) {
    SystemClock clock;
    PrintingNotifier notifier(out);
    Workstation station(folder, clock, notifier);
    notifier.muted = true;
    const Workstation::StartResult started = station.start();
    notifier.muted = false;
    if (started != Workstation::StartResult::Ready) {
        err << "Tallyra is running on " << folder.root()
            << ": swipes and ticks belong to it while it runs\n";
        return kInUse;
    }
    SilentCuePlayer cues;
    SignIn signIn(station, cues);
    const int rc = work(station, signIn);
    station.shutDown();
    return rc;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tallyra-cli"));
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Commands:\n  roster   the roster as the roster grid shows it\n  windows  the weekday x "
        "window table\n"
        "  check    every value out of range (exit 1 if any)\n  demo     write a demo folder\n"
        "  swipe CARD  sign a card in now, as the sign-in panel (or --panel 5) does\n"
        "  tick     one run of the minute tick: the clock and closing ended windows\n"
        "swipe and tick exit with 2 while Tallyra runs on the folder."));
    parser.addHelpOption();
    const QCommandLineOption dataDir(QStringLiteral("data-dir"),
                                     QStringLiteral("Folder of the data files."),
                                     QStringLiteral("DIR"), QStringLiteral("."));
    parser.addOption(dataDir);
    const QCommandLineOption panel(QStringLiteral("panel"),
                                   QStringLiteral("Panel the swipe comes in: 4 (sign-in) or 5."),
                                   QStringLiteral("N"), QStringLiteral("4"));
    parser.addOption(panel);
    parser.addPositionalArgument(QStringLiteral("command"),
                                 QStringLiteral("roster, windows, check, demo, swipe or tick"));
    parser.process(app);
    const QStringList args = parser.positionalArguments();
    QTextStream out(stdout);
    QTextStream err(stderr);
    const QString command = args.value(0);
    const int expected = command == u"swipe" ? 2 : 1;
    if (args.size() != expected) {
        err << "usage: tallyra-cli --data-dir DIR roster|windows|check|demo|tick\n"
               "       tallyra-cli --data-dir DIR [--panel 4|5] swipe CARD\n";
        return 2;
    }
    const DataFolder folder(parser.value(dataDir));
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
    if (command == u"swipe") {
        const QString p = parser.value(panel);
        if (p != u"4" && p != u"5") {
            err << "--panel takes 4 or 5\n";
            return 2;
        }
        return WithWorkstation(folder, out, err, [&](Workstation&, SignIn& signIn) {
            signIn.ProcessSwipe(args[1], p.toInt());
            return 0;
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
