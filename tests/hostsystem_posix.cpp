#include <sys/stat.h>

#include <QFile>

#include "hostsystem.h"

namespace tallyra::test {

bool MakeFifo(const QString& path) {
    return ::mkfifo(QFile::encodeName(path).constData(), 0644) == 0;
}

bool UnderWine() { return false; }

}  // namespace tallyra::test
