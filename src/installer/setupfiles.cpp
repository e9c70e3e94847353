#include "installer/setupfiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>
#include <QTemporaryFile>
#include <functional>
#include <memory>

#include "common/nativefile.h"
#include "common/text.h"
#include "installer/installmanifest.h"

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

QStringList MkFolder(const QString& source, const QString& targetRoot, qsizetype rootLength) {
    QStringList made;
    const QFileInfoList dirs = QDir(source).entryInfoList(
        QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot | QDir::NoSymLinks, QDir::Name);
    for (const QFileInfo& d : dirs) {
        const QString full = d.absoluteFilePath();
        const QString target = QDir::cleanPath(targetRoot + full.mid(rootLength));
        if (QFileInfo(target).isSymLink()) QFile::remove(target);
        if (QDir().mkdir(target)) made.append(target);
        made += MkFolder(full, targetRoot, rootLength);
    }
    return made;
}

QStringList CreateFolderPath(const QString& path) {
    QStringList made;
    auto make = [&made](const QString& folder) {
        if (!QFileInfo::exists(folder) && QDir().mkdir(folder)) made.append(folder);
    };
    for (qsizetype at = path.indexOf(u'/', 1); at > 0; at = path.indexOf(u'/', at + 1))
        make(path.left(at));
    make(path);
    return made;
}

namespace {

QFile::Permissions WithExecute(QFile::Permissions p) {
    p |= QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;
    if (p & QFile::ReadGroup) p |= QFile::ExeGroup;
    if (p & QFile::ReadOther) p |= QFile::ExeOther;
    return p;
}

// Fills a temporary file beside `target` and renames it over `target`.
bool ReplaceFile(const QString& target, QFile::Permissions mode,
                 const std::function<bool(QIODevice&)>& fill) {
    const QFileInfo to(target);
    if (to.isDir() && !to.isSymLink()) return false;
    auto out = std::make_unique<QTemporaryFile>(to.absolutePath() + QStringLiteral("/.") +
                                                to.fileName() + QStringLiteral(".XXXXXX"));
    if (!out->open() || !fill(*out) || !out->flush() || !out->setPermissions(mode)) return false;
    // Closed before the rename: Windows renames no open file, and a QTemporaryFile's close()
    // keeps it open; only its end closes it.
    const QString staged = out->fileName();
    out->setAutoRemove(false);
    out.reset();
    if (!ReplaceFileOver(staged, to.absoluteFilePath())) {
        QFile::remove(staged);
        return false;
    }
    return true;
}

}  // namespace

bool CopyFileOver(const QString& source, const QString& target, bool executable) {
    if (!QFileInfo(source).isFile()) return false;
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly)) return false;
    const QFile::Permissions mode = executable ? WithExecute(in.permissions()) : in.permissions();
    return ReplaceFile(target, mode, [&in](QIODevice& out) {
        char buffer[64 * 1024];
        for (;;) {
            const qint64 got = in.read(buffer, sizeof buffer);
            if (got < 0) return false;
            if (got == 0) return true;
            if (out.write(buffer, got) != got) return false;
        }
    });
}

bool WriteFileOver(const QString& target, const QByteArray& bytes, QFile::Permissions mode) {
    return ReplaceFile(target, mode,
                       [&bytes](QIODevice& out) { return out.write(bytes) == bytes.size(); });
}

std::optional<QByteArray> ReadOwnFile(const QString& path, qint64 maxBytes) {
    const QFileInfo info(path);
    if (info.isSymLink() || !info.isFile() || info.size() > maxBytes) return std::nullopt;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    return file.readAll();
}

int DeleteMatching(const QString& item, const QString& baseFolder, const QString& home) {
    QString path = item;
    path.replace(u'\\', u'/');
    if (path.isEmpty()) return 0;
    if (path.startsWith(QStringLiteral("~/")))
        path = home + path.mid(1);
    else if (QDir::isRelativePath(path))
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
    const QDir dir(QFileInfo(path).absolutePath());
    int removed = 0;
    const QFileInfoList matches = dir.entryInfoList(
        {name}, QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot | QDir::CaseSensitive);
    for (const QFileInfo& f : matches)
        if (QFile::remove(f.absoluteFilePath())) ++removed;
    return removed;
}

namespace {

void DelFolderInto(const QString& folder, const QString& prefix, const Ownership& owned,
                   QStringList& kept) {
    const QFileInfoList entries = QDir(folder).entryInfoList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo& e : entries) {
        if (e.isDir() && !e.isSymLink()) continue;
        const QString relative = prefix + e.fileName();
        if (!owned.ownsFile(relative) || !QFile::remove(e.absoluteFilePath()))
            kept.append(relative);
    }
    for (const QFileInfo& e : entries) {
        if (!e.isDir() || e.isSymLink()) continue;
        const QString relative = prefix + e.fileName();
        const qsizetype before = kept.size();
        DelFolderInto(e.absoluteFilePath(), relative + u'/', owned, kept);
        const bool empty = kept.size() == before;
        if (!empty) continue;
        if (!owned.ownsFolder(relative) || !QDir().rmdir(e.absoluteFilePath()))
            kept.append(relative + u'/');
    }
}

}  // namespace

QStringList DelFolder(const QString& folder, const Ownership& owned) {
    QStringList kept;
    const QFileInfo info(folder);
    if (info.isDir() && !info.isSymLink()) DelFolderInto(folder, QString(), owned, kept);
    return kept;
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

QString CanonicalAlong(const QString& path) {
    QString at = QDir::cleanPath(path), rest;
    while (!QFileInfo::exists(at) && at != u"/" && !at.isEmpty()) {
        rest = u'/' + QFileInfo(at).fileName() + rest;
        at = QFileInfo(at).absolutePath();
    }
    const QString real = QFileInfo(at).canonicalFilePath();
    return QDir::cleanPath((real.isEmpty() ? at : real) + rest);
}

bool IsFileLocked(const QString& path) { return ProbeLock(path, false) == LockProbe::Locked; }

std::optional<QString> TargetRefusal(const QString& folder, const Places& places) {
    if (!QDir::isAbsolutePath(folder))
        return folder + QStringLiteral(" 不是完整的文件夹路径（") + FullPathHint() +
               QStringLiteral("）。");
    const QString clean = QDir::cleanPath(folder);
    if (QFileInfo(clean).isSymLink())
        return clean + QStringLiteral(" 是一个符号链接，不能作为安装文件夹。");
    const QString real = CanonicalAlong(clean);
    QString existing = real;
    while (!QFileInfo::exists(existing)) existing = QFileInfo(existing).absolutePath();
    const QString systemRoot = QFileInfo(places.systemRoot).canonicalFilePath();
    if (real == u"/" || real == QStorageInfo(existing).rootPath() ||
        (!systemRoot.isEmpty() && real == systemRoot))
        return QStringLiteral("不能使用文件系统的根目录：") + folder;
    const QString home = QFileInfo(places.home).canonicalFilePath();
    if (!home.isEmpty() && (real == home || home.startsWith(real + u'/')))
        return QStringLiteral("不能使用主文件夹或它的上级文件夹：") + folder;
    const QString data = QFileInfo(places.data).canonicalFilePath();
    if (!data.isEmpty() && (real == data || real.startsWith(data + u'/')))
        return QStringLiteral("不能使用安装程序的data文件夹或其中的文件夹：") + folder;
    return std::nullopt;
}

std::optional<QString> UninstallRefusal(const QString& folder, const QString& appName,
                                        const Places& places) {
    if (std::optional<QString> why = TargetRefusal(folder, places)) return why;
    const QString clean = QDir::cleanPath(folder);
    if (QFileInfo(clean).isDir() && !QFileInfo(clean + u'/' + ProgramFileName(appName)).isFile() &&
        !QFileInfo(InstallManifest::pathIn(clean, appName)).isFile())
        return folder + QStringLiteral(" 中没有") + appName +
               QStringLiteral("，不是它的安装文件夹。");
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

namespace {

// GLib looks for the program of an Exec line before it turns "%%" back into "%", so a
// program path with "%" in it is started through env, which GLib does find.
QString ExecLine(const QString& program) {
    const QString clean = QDir::cleanPath(program);
    return QStringLiteral("Exec=") + (clean.contains(u'%') ? QStringLiteral("env ") : QString()) +
           DesktopValue(DesktopExecArgument(clean));
}

}  // namespace

bool WriteDesktopEntry(const QString& folder, const QString& appName, const QString& program,
                       const QString& icon, const QString& workingFolder) {
    if (!QDir().mkpath(folder)) return false;
    const QString name = DesktopValue(appName);
    const QString text = QStringLiteral("[Desktop Entry]\nType=Application\nName=") + name +
                         QStringLiteral("\nName[zh_CN]=") + name +
                         QStringLiteral(
                             " 考勤\nGenericName=Attendance\nGenericName[zh_CN]=考勤签到\n"
                             "Comment=Card sign-in board, roster and attendance statistics\n"
                             "Comment[zh_CN]=刷卡签到、人员名单和考勤统计\n"
                             "Keywords=attendance;sign-in;card reader;roster;statistics;\n"
                             "Keywords[zh_CN]=考勤;签到;刷卡;名单;统计;\n") +
                         ExecLine(program) + QStringLiteral("\nPath=") +
                         DesktopValue(QDir::cleanPath(workingFolder)) + QStringLiteral("\nIcon=") +
                         DesktopValue(icon.contains(u'/') ? QDir::cleanPath(icon) : icon) +
                         QStringLiteral("\nTerminal=false\nCategories=Office;Education;\n");
    return WriteFileOver(folder + u'/' + appName + QStringLiteral(".desktop"), text.toUtf8(),
                         QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup |
                             QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther);
}

bool IsOwnDesktopEntry(const QString& path, const QString& program) {
    const std::optional<QByteArray> bytes = ReadOwnFile(path, 64 * 1024);
    return bytes && QString::fromUtf8(*bytes).split(u'\n').contains(ExecLine(program));
}

}  // namespace tallyra
