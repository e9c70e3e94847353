#pragma once

#include <QCommandLineOption>
#include <QCoreApplication>
#include <QTextStream>
#include <memory>

class QCommandLineParser;

namespace tallyra {

class Clock;
class DataFolder;

// tallyra-cli register: a month's register as text, as the PDF the panel prints, or as its
// workbook.
struct RegisterOptions {
    QCommandLineOption month{QStringLiteral("month"),
                             QStringLiteral("The register's month, YYYY-MM (this month)."),
                             QStringLiteral("YYYY-MM")};
    QCommandLineOption group{
        QStringLiteral("group"),
        QStringLiteral("FIELD=ELEMENT: one class (field title and element as the roster shows "
                       "them); FIELD: every element, each on its own."),
        QStringLiteral("GROUP")};
    QCommandLineOption pdf{QStringLiteral("pdf"), QStringLiteral("Write the register as PDF."),
                           QStringLiteral("FILE")};
    QCommandLineOption xlsx{QStringLiteral("xlsx"),
                            QStringLiteral("Write the register as an .xlsx workbook."),
                            QStringLiteral("FILE")};
    void add(QCommandLineParser& parser);
};

// The application object the command line needs: one that can paint (without a display)
// when it is the register's.
std::unique_ptr<QCoreApplication> MakeCliApplication(int& argc, char** argv);

// 0 done; 1 a month that does not exist, an unknown field or element, a file that cannot be
// read or written (said on stderr); 2 options that do not go together.
int RegisterCommand(const DataFolder& folder, const QCommandLineParser& parser,
                    const RegisterOptions& options, const Clock& clock, QTextStream& out,
                    QTextStream& err);

}  // namespace tallyra
