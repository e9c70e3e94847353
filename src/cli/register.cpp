#include "cli/register.h"

#include <QCommandLineParser>
#include <QGuiApplication>
#include <cstring>

#include "core/calendarstore.h"
#include "core/clock.h"
#include "core/format/registersettings.h"
#include "core/format/schema.h"
#include "core/format/timetable.h"
#include "core/register.h"
#include "gui/registerprint.h"
#include "sheets/registerxlsx.h"

namespace tallyra {

void RegisterOptions::add(QCommandLineParser& parser) {
    for (const QCommandLineOption* o : {&month, &group, &pdf, &xlsx}) parser.addOption(*o);
}

std::unique_ptr<QCoreApplication> MakeCliApplication(int& argc, char** argv) {
    bool registerCommand = false, pdf = false;
    for (int i = 1; i < argc; ++i) {
        registerCommand = registerCommand || std::strcmp(argv[i], "register") == 0;
        pdf = pdf || std::strcmp(argv[i], "--pdf") == 0 || std::strncmp(argv[i], "--pdf=", 6) == 0;
    }
    if (!registerCommand || !pdf) return std::make_unique<QCoreApplication>(argc, argv);
    // The PDF's text is laid out with the system's fonts, which only a GUI application has;
    // it never opens a window, so it needs no display.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    return std::make_unique<QGuiApplication>(argc, argv);
}

namespace {

bool Unreadable(const FileError& error, QTextStream& err) {
    if (!error.failed()) return false;
    err << QStringLiteral("数据文件无法读取：") << error.path << QStringLiteral("（")
        << error.reason() << QStringLiteral("）") << Qt::endl;
    return true;
}

}  // namespace

int RegisterCommand(const DataFolder& folder, const QCommandLineParser& parser,
                    const RegisterOptions& o, const Clock& clock, QTextStream& out,
                    QTextStream& err) {
    if (parser.isSet(o.pdf) && parser.isSet(o.xlsx)) {
        err << "register writes --pdf FILE or --xlsx FILE, one at a time\n";
        return 2;
    }
    const QDateTime now = clock.now();
    const QString monthText = parser.isSet(o.month)
                                  ? parser.value(o.month)
                                  : now.date().toString(QStringLiteral("yyyy-MM"));
    const std::optional<QDate> month = ParseRegisterMonth(monthText);
    if (!month) {
        err << QStringLiteral("月份不存在：") << monthText << QStringLiteral("（应为YYYY-MM）")
            << Qt::endl;
        return 1;
    }

    // Everything read as it is on the disk; nothing is created or changed.
    Schema schema;
    FileError error;
    LoadSchema(folder, schema, &error);
    for (int f = 9; f <= 11 && !error.failed(); ++f) LoadChoiceList(folder, schema, f, &error);
    if (Unreadable(error, err)) return 1;
    RegisterGroup group;
    if (parser.isSet(o.group)) {
        QString why;
        const std::optional<RegisterGroup> g =
            ParseRegisterGroup(parser.value(o.group), schema, &why);
        if (!g) {
            err << why << Qt::endl;
            return 1;
        }
        group = *g;
    }
    Roster roster;
    if (Unreadable(LoadRoster(folder, roster, {}, {}).error, err)) return 1;
    const TimeTable table = LoadTimeWindows(folder, &error);
    if (Unreadable(error, err)) return 1;
    CalendarStore calendar(folder);
    LeaveStore leave(folder);
    if (Unreadable(calendar.load(), err) || Unreadable(leave.load(), err)) return 1;

    const QDate today = now.date();
    const RegisterBuild build =
        BuildRegister(RegisterSources{folder,
                                      &roster,
                                      {&table, &calendar.get(), &leave.get()},
                                      today,
                                      RegisterMinuteNow(today, now),
                                      -1,
                                      nullptr},
                      RegisterRequest{*month, group, 0});
    if (Unreadable(build.error, err)) return 1;
    const RegisterSheet& sheet = build.sheet;
    const std::vector<RegisterPart> parts = RegisterParts(sheet, schema, group);
    const QString school = LoadRegisterSettings(folder).school;

    if (parser.isSet(o.pdf)) {
        const QString path = parser.value(o.pdf);
        const RegisterPrint print{&sheet, parts, school, today};
        QString why;
        if (!WriteRegisterPdf(path, print, &why)) {
            err << QStringLiteral("无法写入：") << path << QStringLiteral("（") << why
                << QStringLiteral("）") << Qt::endl;
            return 1;
        }
        out << QStringLiteral("已写入%1，共%2页").arg(path).arg(print.pageCount()) << Qt::endl;
        return 0;
    }
    if (parser.isSet(o.xlsx)) {
        const QString path = parser.value(o.xlsx);
        const ExportResult r = ExportRegister(RegisterWorkbook{&sheet, parts, school}, path);
        if (!r.written) {
            err << QStringLiteral("无法写入：") << path << Qt::endl;
            return 1;
        }
        out << QStringLiteral("已写入%1，共%2张工作表").arg(path).arg(r.sheets) << Qt::endl;
        return 0;
    }
    const QString heading =
        school.isEmpty() ? QStringLiteral("考勤月报") : school + QStringLiteral(" 考勤月报");
    for (size_t k = 0; k < parts.size(); ++k) {
        if (k > 0) out << '\n';
        out << heading << '\t' << RegisterMonthText(sheet.month) << '\t' << parts[k].title << '\n';
        for (const QString& line : RegisterTextLines(sheet, parts[k].rows)) out << line << '\n';
    }
    out.flush();
    return 0;
}

}  // namespace tallyra
