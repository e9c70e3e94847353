#include "platform/keycapture.h"
#include "platform/readertool.h"

namespace tallyra {

void PrintReaderList(QTextStream& out) {
    // Every program may read every keyboard here: there is no access to show.
    const std::vector<Keyboard> list = ListRawInputKeyboards();
    for (const Keyboard& k : list)
        out << (k.usbId.isEmpty() ? QStringLiteral("-") : k.usbId) << '\t' << k.where << '\t'
            << k.name << '\n';
    if (list.empty()) out << "no keyboards in the Raw Input device list\n";
}

QString ReaderRuleRefusal(const QString& what) {
    return QStringLiteral("reader ") + what +
           QStringLiteral(
               " writes a udev rule, which is for Linux: on Windows Tallyra reads every keyboard "
               "as it is; choose the reader in 系统设置 (读卡器); nothing was changed");
}

}  // namespace tallyra
