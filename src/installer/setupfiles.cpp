#include "installer/setupfiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStorageInfo>
#include <QTemporaryFile>
#include <cstdio>

#include "common/text.h"

namespace tallyra {

namespace {

void SearchInto(const QString& folder, QStringList& out) {
    const QDir dir(folder);
    const QFileInfoList files =
        dir.entryInfoList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo& f : files) out.append(f.absoluteFilePath());
    const QFileInfoList dirs = dir.entryInfoList(
        QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot | QDir::NoSymLinks, QDir::Name);
    for (const QFileInfo& d : dirs) SearchInto(d.absoluteFilePath(), out);
}

// Desktop entry string values: backslash and control characters escaped, a leading blank
// kept as "\s".
QString DesktopValue(const QString& text) {
    QString out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'\\')
            out += QStringLiteral("\\\\");
        else if (c == u'\n')
            out += QStringLiteral("\\n");
        else if (c == u'\t')
            out += QStringLiteral("\\t");
        else if (c == u'\r')
            out += QStringLiteral("\\r");
        else if (c == u' ' && i == 0)
            out += QStringLiteral("\\s");
        else
            out += c;
    }
    return out;
}

}  // namespace

QStringList SearchFolder(const QString& folder) {
    QStringList out;
    if (QFileInfo(folder).isDir()) SearchInto(folder, out);
    return out;
}

void MkFolder(const QString& source, const QString& targetRoot, qsizetype rootLength) {
    const QFileInfoList dirs = QDir(source).entryInfoList(
        QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot | QDir::NoSymLinks, QDir::Name);
    for (const QFileInfo& d : dirs) {
        const QString full = d.absoluteFilePath();
        QDir().mkdir(targetRoot + full.mid(rootLength));
        MkFolder(full, targetRoot, rootLength);
    }
}

void CreateFolderPath(const QString& path) {
    for (qsizetype at = path.indexOf(u'/', 1); at > 0; at = path.indexOf(u'/', at + 1))
        QDir().mkdir(path.left(at));
    QDir().mkdir(path);
}

bool CopyFileOver(const QString& source, const QString& target) {
    const QFileInfo to(target);
    if (!QFileInfo(source).isFile() || (to.isDir() && !to.isSymLink())) return false;
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly)) return false;
    QTemporaryFile out(to.absolutePath() + QStringLiteral("/.") + to.fileName() +
                       QStringLiteral(".XXXXXX"));
    if (!out.open()) return false;
    char buffer[64 * 1024];
    for (;;) {
        const qint64 got = in.read(buffer, sizeof buffer);
        if (got < 0) return false;
        if (got == 0) break;
        if (out.write(buffer, got) != got) return false;
    }
    if (!out.flush() || !out.setPermissions(in.permissions())) return false;
    if (std::rename(QFile::encodeName(out.fileName()).constData(),
                    QFile::encodeName(to.absoluteFilePath()).constData()) != 0)
        return false;
    out.setAutoRemove(false);
    return true;
}

int DeleteMatching(const QString& item, const QString& baseFolder, const QString& home) {
    QString path = item;
    path.replace(u'\\', u'/');
    if (path.isEmpty()) return 0;
    if (path.startsWith(QStringLiteral("~/")))
        path = home + path.mid(1);
    else if (!path.startsWith(u'/'))
        path = baseFolder + u'/' + path;
    path = NormaliseFolderText(path);
    const qsizetype slash = path.lastIndexOf(u'/');
    const QString name = path.mid(slash + 1);
    if (name.isEmpty()) return 0;
    const bool wildcard = name.contains(u'*') || name.contains(u'?') || name.contains(u'[');
    if (!wildcard) {
        const QFileInfo f(path);
        return (f.isSymLink() || f.isFile()) && QFile::remove(path) ? 1 : 0;
    }
    const QDir dir(slash == 0 ? QStringLiteral("/") : path.left(slash));
    int removed = 0;
    const QFileInfoList matches = dir.entryInfoList(
        {name}, QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot | QDir::CaseSensitive);
    for (const QFileInfo& f : matches)
        if (QFile::remove(f.absoluteFilePath())) ++removed;
    return removed;
}

void DelFolder(const QString& folder) {
    const QDir dir(folder);
    if (!dir.exists()) return;
    const QFileInfoList entries =
        dir.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QFileInfo& e : entries)
        if (e.isSymLink() || !e.isDir()) QFile::remove(e.absoluteFilePath());
    for (const QFileInfo& e : entries) {
        if (e.isSymLink() || !e.isDir()) continue;
        DelFolder(e.absoluteFilePath());
        QDir().rmdir(e.absoluteFilePath());
    }
}

QString NormaliseFolderText(const QString& text) {
    QString out = ReplaceAll(text, QStringLiteral("\\"), QStringLiteral("/"));
    for (;;) {
        const QString next = ReplaceAll(out, QStringLiteral("//"), QStringLiteral("/"));
        if (next == out) return out;
        out = next;
    }
}

bool CanWriteFolder(const QString& folder) {
    if (!QFileInfo(folder).isDir()) return false;
    QTemporaryFile probe(folder + QStringLiteral("/.write-test.XXXXXX"));
    return probe.open();
}

std::optional<QString> UninstallRefusal(const QString& folder, const QString& appName,
                                        const QString& home, const QString& systemRoot) {
    if (!QDir::isAbsolutePath(folder))
        return folder + QStringLiteral(" 不是完整的文件夹路径，没有删除任何文件。");
    const QFileInfo info(folder);
    if (!info.exists()) return std::nullopt;
    const QString real = info.canonicalFilePath();
    const QString realSystemRoot = QFileInfo(systemRoot).canonicalFilePath();
    if (real == u"/" || real == QStorageInfo(real).rootPath() ||
        (!realSystemRoot.isEmpty() && real == realSystemRoot))
        return QStringLiteral("不能清空文件系统的根目录：") + folder;
    const QString realHome = QFileInfo(home).canonicalFilePath();
    if (!realHome.isEmpty() && (real == realHome || realHome.startsWith(real + u'/')))
        return QStringLiteral("不能清空主文件夹：") + folder;
    if (info.isDir() && !QFileInfo(real + u'/' + appName).isFile())
        return folder + QStringLiteral(" 中没有") + appName +
               QStringLiteral("，不是它的安装文件夹，没有删除任何文件。");
    return std::nullopt;
}

QString DesktopExecArgument(const QString& program) {
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    QString escaped = program;
    escaped.replace(u'%', QStringLiteral("%%"));
    bool quote = false;
    for (QChar c : program) quote = quote || reserved.contains(c);
    if (!quote) return escaped;
    QString out = QStringLiteral("\"");
    for (QChar c : escaped) {
        if (c == u'"' || c == u'`' || c == u'$' || c == u'\\') out += u'\\';
        out += c;
    }
    return out + u'"';
}

bool WriteDesktopEntry(const QString& folder, const QString& appName, const QString& program,
                       const QString& icon, const QString& workingFolder) {
    if (!QDir().mkpath(folder)) return false;
    const QString path = folder + u'/' + appName + QStringLiteral(".desktop");
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return false;
    const QString text = QStringLiteral("[Desktop Entry]\nType=Application\nName=") +
                         DesktopValue(appName) + QStringLiteral("\nExec=") +
                         DesktopValue(DesktopExecArgument(program)) + QStringLiteral("\nPath=") +
                         DesktopValue(workingFolder) + QStringLiteral("\nIcon=") +
                         DesktopValue(icon) + QStringLiteral("\nTerminal=false\n");
    file.write(text.toUtf8());
    if (!file.commit()) return false;
    return QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                           QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther |
                                           QFile::ExeOther);
}

}  // namespace tallyra
