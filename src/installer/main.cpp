#include <QApplication>
#include <QCommandLineParser>

#include "common/translations.h"
#include "installer/setupdialogs.h"
#include "installer/setupplatform.h"
#include "installer/setupwindow.h"

using namespace tallyra;

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("setup"));
    InstallQtTranslations(app);
    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption systemRoot(
        QStringLiteral("system-root"),
        QStringLiteral("Where the data/C tree is copied (default: the root of the system's "
                       "file system, on Windows of the system drive)."),
        QStringLiteral("DIR"));
    parser.addOption(systemRoot);
    parser.process(app);

    SystemSetupPlatform platform(parser.value(systemRoot));
    QtSetupDialogs dialogs;
    SetupWindow window({QCoreApplication::applicationDirPath(), &platform, &dialogs,
                        [] { QCoreApplication::quit(); }});
    dialogs.setParent(&window);
    if (!window.Form_Load()) return 1;
    window.show();
    return app.exec();
}
