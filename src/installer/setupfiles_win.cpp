#include "installer/setupfiles.h"

namespace tallyra {

QString ProgramFileName(const QString& appName) { return appName + QStringLiteral(".exe"); }

QString FullPathHint() { return QStringLiteral("应以盘符开头，如D:\\"); }

}  // namespace tallyra
