#include "core/format/readerchoice.h"

#include <QSaveFile>
#include <QStringList>
#include <algorithm>

#include "core/format/positionedfile.h"

namespace tallyra {

namespace {

QString ReaderFile(const DataFolder& folder) { return folder.file(QStringLiteral("reader.dat")); }

// One line per value: a name that held a line break would end the file early.
QString OneLine(QString text) {
    text.replace(u'\r', u' ').replace(u'\n', u' ');
    return text;
}

}  // namespace

QString Keyboard::caption() const {
    QStringList ids;
    if (!usbId.isEmpty()) ids << usbId;
    if (!where.isEmpty()) ids << where;
    return ids.isEmpty() ? name
                         : name + QStringLiteral("  (") + ids.join(QStringLiteral(", ")) + u')';
}

bool ReaderChoice::matches(const Keyboard& k) const {
    if (anyKeyboard()) return true;
    if (k.name != name) return false;
    // The XTEST keyboard and some X drivers do not say their vendor and product.
    return usbId.isEmpty() || k.usbId.isEmpty() || k.usbId == usbId;
}

ReaderChoice LoadReaderChoice(const DataFolder& folder) {
    // Opened as the other data files are, so a FIFO in its place cannot stop the start.
    PositionedFile f;
    ReaderChoice choice;
    if (!f.open(ReaderFile(folder), PositionedFile::Mode::ReadOnly)) return choice;
    const QStringList lines =
        QString::fromUtf8(f.read(1, std::min<qint64>(f.size(), 4096))).split(u'\n');
    for (QString line : lines) {
        if (line.endsWith(u'\r')) line.chop(1);
        if (line.startsWith(QLatin1String("name=")))
            choice.name = line.mid(5);
        else if (line.startsWith(QLatin1String("id=")))
            choice.usbId = line.mid(3).toLower();
    }
    if (choice.name.isEmpty()) choice = {};
    return choice;
}

bool SaveReaderChoice(const DataFolder& folder, const ReaderChoice& choice) {
    QSaveFile f(ReaderFile(folder));
    if (!f.open(QIODevice::WriteOnly)) return false;
    if (!choice.anyKeyboard()) {
        const QByteArray text = QStringLiteral("name=%1\nid=%2\n")
                                    .arg(OneLine(choice.name), OneLine(choice.usbId))
                                    .toUtf8();
        if (f.write(text) != text.size()) {
            f.cancelWriting();
            return false;
        }
    }
    return f.commit();
}

}  // namespace tallyra
