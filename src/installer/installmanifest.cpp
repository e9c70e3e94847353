#include "installer/installmanifest.h"

#include <QDir>
#include <QFile>

#include "installer/setupfiles.h"

namespace tallyra {

namespace {

const QString kMarker = QStringLiteral("# tallyra-setup-manifest 1");
constexpr qint64 kMaxManifestBytes = 4 * 1024 * 1024;

bool IsPlainRelative(const QString& path) {
    if (path.isEmpty() || path.startsWith(u'/') || QDir::isAbsolutePath(path) ||
        path.contains(u'\\'))
        return false;
    for (const QString& part : path.split(u'/'))
        if (part.isEmpty() || part == u"." || part == u"..") return false;
    return true;
}

// "/..." on Linux, "C:/..." on Windows; never a root.
bool IsPlainAbsolute(const QString& path) {
    return QDir::isAbsolutePath(path) && !QDir(path).isRoot() && QDir::cleanPath(path) == path;
}

void AddMissing(QStringList& to, const QStringList& from) {
    for (const QString& s : from)
        if (!to.contains(s)) to.append(s);
}

}  // namespace

QString InstallManifest::pathIn(const QString& folder, const QString& appName) {
    return folder + u'/' + appName + QStringLiteral(".manifest");
}

bool InstallManifest::read(const QString& path, InstallManifest& out) {
    out = {};
    const std::optional<QByteArray> bytes = ReadOwnFile(path, kMaxManifestBytes);
    if (!bytes) return false;
    const QStringList lines = QString::fromUtf8(*bytes).split(u'\n');
    if (lines.value(0) != kMarker) return false;
    for (const QString& line : lines) {
        const qsizetype blank = line.indexOf(u' ');
        if (line.startsWith(u'#') || blank < 0) continue;
        const QString kind = line.left(blank), value = line.mid(blank + 1);
        if (kind == u"file" && IsPlainRelative(value))
            AddMissing(out.files, {value});
        else if (kind == u"folder" && IsPlainRelative(value))
            AddMissing(out.folders, {value});
        else if (kind == u"parent" && IsPlainAbsolute(value))
            AddMissing(out.parents, {value});
        else if (kind == u"entry" && IsPlainAbsolute(value))
            AddMissing(out.entries, {value});
    }
    return true;
}

bool InstallManifest::write(const QString& path, const QString& heading) const {
    QString text = kMarker + u'\n';
    for (const QString& line : heading.split(u'\n')) text += QStringLiteral("# ") + line + u'\n';
    auto add = [&text](const char* kind, const QStringList& values) {
        for (const QString& v : values)
            if (!v.contains(u'\n') && !v.contains(u'\r'))
                text += QLatin1String(kind) + u' ' + v + u'\n';
    };
    add("folder", folders);
    add("file", files);
    add("parent", parents);
    add("entry", entries);
    return WriteFileOver(
        path, text.toUtf8(),
        QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
}

bool Ownership::ownsFile(const QString& relative) const {
    return files.contains(relative) || IsProgramDataFile(relative);
}

bool Ownership::ownsFolder(const QString& relative) const {
    return folders.contains(relative) || relative == u"adnt" || relative == u"adnt/sols";
}

bool IsProgramDataFile(const QString& relative) {
    static const QSet<QString> names = {
        QStringLiteral("Rw.dat"),        QStringLiteral("Dmode.dat"),
        QStringLiteral("enids8.dat"),    QStringLiteral("enids9.dat"),
        QStringLiteral("enids10.dat"),   QStringLiteral("aset.dat"),
        QStringLiteral("time.dat"),      QStringLiteral("shuju.dat"),
        QStringLiteral("urs.dat"),       QStringLiteral("reader.dat"),
        QStringLiteral("calendar.dat"),  QStringLiteral("leave.dat"),
        QStringLiteral("leavekind.dat"), QStringLiteral("register.txt")};
    if (names.contains(relative)) return true;
    const QString logs = QStringLiteral("adnt/sols/");
    return relative.startsWith(logs) && relative.endsWith(QStringLiteral(".dat")) &&
           !relative.mid(logs.size()).contains(u'/');
}

}  // namespace tallyra
