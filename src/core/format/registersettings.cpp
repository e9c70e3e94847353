#include "core/format/registersettings.h"

#include <QSaveFile>
#include <QStringList>
#include <algorithm>

#include "core/format/positionedfile.h"

namespace tallyra {

namespace {

QString SettingsFile(const DataFolder& folder) {
    return folder.file(QStringLiteral("register.txt"));
}

constexpr int kLongestSchoolName = 60;

}  // namespace

RegisterSettings LoadRegisterSettings(const DataFolder& folder) {
    // Opened as the data files are, so a FIFO in its place cannot hang the panel.
    PositionedFile f;
    RegisterSettings s;
    if (!f.open(SettingsFile(folder), PositionedFile::Mode::ReadOnly)) return s;
    const QStringList lines =
        QString::fromUtf8(f.read(1, std::min<qint64>(f.size(), 4096))).split(u'\n');
    for (QString line : lines) {
        if (line.endsWith(u'\r')) line.chop(1);
        if (line.startsWith(QLatin1String("field="))) {
            const int field = line.mid(6).trimmed().toInt();
            s.field = field >= 9 && field <= 11 ? field : 0;
        } else if (line.startsWith(QLatin1String("school="))) {
            s.school = line.mid(7).trimmed().left(kLongestSchoolName);
        }
    }
    return s;
}

bool SaveRegisterSettings(const DataFolder& folder, const RegisterSettings& s) {
    QString school = s.school;
    // One line: a name that held a line break would end the file early.
    school.replace(u'\r', u' ').replace(u'\n', u' ');
    QSaveFile f(SettingsFile(folder));
    if (!f.open(QIODevice::WriteOnly)) return false;
    const QByteArray text =
        QStringLiteral("field=%1\nschool=%2\n").arg(s.field).arg(school.trimmed()).toUtf8();
    if (f.write(text) != text.size()) {
        f.cancelWriting();
        return false;
    }
    return f.commit();
}

}  // namespace tallyra
