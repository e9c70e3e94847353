#include "installer/setupfiles.h"

namespace tallyra {

QString ProgramFileName(const QString& appName) { return appName; }

QString FullPathHint() { return QStringLiteral("应以/开头"); }

}  // namespace tallyra
