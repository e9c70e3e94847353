#include <QApplication>
#include <QCommandLineParser>
#include <QDir>

#include "app/mainwindow.h"
#include "app/session.h"
#include "common/translations.h"
#include "gui/dialogs.h"
#include "platform/compositor.h"
#include "platform/sounds.h"
#include "platform/termination.h"

using namespace tallyra;

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tallyra"));
    InstallQtTranslations(app);
    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption dataDir(
        QStringLiteral("data-dir"),
        QStringLiteral("Folder of the data files (default: the program's folder)."),
        QStringLiteral("DIR"));
    parser.addOption(dataDir);
    parser.process(app);
    const QString programFolder = QCoreApplication::applicationDirPath();

    SystemClock clock;
    QtDialogs dialogs;
    const auto cues = MakeSystemCuePlayer(QDir(programFolder).filePath(QStringLiteral("sound")));
    Session session({parser.isSet(dataDir) ? parser.value(dataDir) : programFolder, &clock,
                     &dialogs, cues.get(), StartKeyCapture, HasCompositor()});
    if (!session.StartUp()) return 1;
    session.window().showOnScreen();
    QuitOnTerminationSignals([&session] { session.ShutDown(); });
    const int rc = app.exec();
    session.ShutDown();
    return rc;
}
