#include <QApplication>
#include <QCommandLineParser>
#include <QMessageBox>
#include <QTimer>

#include "app/mainwindow.h"
#include "core/workstation.h"

using namespace tallyra;

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tallyra"));
    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption dataDir(
        QStringLiteral("data-dir"),
        QStringLiteral("Folder of the data files (default: the program's folder)."),
        QStringLiteral("DIR"));
    parser.addOption(dataDir);
    parser.process(app);
    const QString root =
        parser.isSet(dataDir) ? parser.value(dataDir) : QCoreApplication::applicationDirPath();

    SystemClock clock;
    MainWindow window;
    Workstation station(DataFolder(root), clock, window);
    if (station.start([] { QCoreApplication::processEvents(); }) ==
        Workstation::StartResult::InUse) {
        QMessageBox box(QMessageBox::Critical, QStringLiteral("提示"),
                        QStringLiteral("未获得运行权限！"));
        box.exec();
        return 1;
    }
    window.attach(station);
    window.show();
    const int rc = app.exec();
    station.shutDown();
    return rc;
}
