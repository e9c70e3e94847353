#include <unistd.h>

#include <QFile>

#include "platform/keycapture.h"
#include "platform/readertool.h"

namespace tallyra {

void PrintReaderList(QTextStream& out) {
    const std::vector<EvdevKeyboard> list = ListEvdevKeyboards();
    for (const EvdevKeyboard& k : list) {
        const bool readable = ::access(QFile::encodeName(k.node).constData(), R_OK) == 0;
        out << (k.keyboard.usbId.isEmpty() ? QStringLiteral("-") : k.keyboard.usbId) << '\t'
            << k.keyboard.where << '\t' << k.keyboard.name << '\t'
            << (readable ? "readable" : "no access") << '\n';
    }
    if (list.empty()) out << "no keyboards under /dev/input\n";
}

QString ReaderRuleRefusal(const QString& what) {
    if (::geteuid() == 0) return {};
    return QStringLiteral("reader ") + what +
           QStringLiteral(" changes the udev rules: run it as root (sudo); nothing was changed");
}

}  // namespace tallyra
