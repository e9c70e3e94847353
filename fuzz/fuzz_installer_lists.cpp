// The installer's appname.txt and its K/S/A/D lists, in whichever code page they come.
#include <QTemporaryDir>
#include <cstddef>
#include <cstdint>

#include "fuzz_support.h"
#include "installer/listfile.h"
#include "installer/setupconfig.h"

using namespace tallyra;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("list.txt"));
    ReplaceFile(path, data, size);
    (void)ReadListFile(path);
    const AppConfigResult config = ReadAppConfig(path);
    if (config.status == AppConfigStatus::Ok &&
        (config.config.appName.isEmpty() || config.config.appName.contains(u'/')))
        __builtin_trap();
    (void)FormatVersion(config.config.appVersion);
    return 0;
}
