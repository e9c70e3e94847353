#pragma once

#include <QString>
#include <QTextStream>

namespace tallyra {

// What `tallyra-cli reader` does that depends on the system (readertool_linux.cpp,
// readertool_win.cpp).

// `reader list`: one line per keyboard the system shows, with what a reader choice needs.
void PrintReaderList(QTextStream& out);

// Why `reader allow` or `reader deny` (`what`) cannot change the udev rules here, as the
// user is told it; empty when it may go ahead.
QString ReaderRuleRefusal(const QString& what);

}  // namespace tallyra
