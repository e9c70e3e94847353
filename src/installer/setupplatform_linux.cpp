#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QStorageInfo>
#include <algorithm>

#include "installer/setupfiles.h"
#include "installer/setupplatform.h"

namespace tallyra {

namespace {

// Kernel and runtime file systems: nothing a user installs into.
bool IsSystemMount(const QStorageInfo& v) {
    static const QList<QByteArray> pseudo = {
        "proc",     "sysfs",   "devpts",    "devtmpfs",   "cgroup",      "cgroup2",
        "mqueue",   "debugfs", "tracefs",   "securityfs", "pstore",      "bpf",
        "configfs", "fusectl", "hugetlbfs", "autofs",     "binfmt_misc", "efivarfs"};
    if (pseudo.contains(v.fileSystemType())) return true;
    const QString root = v.rootPath();
    for (const char* prefix : {"/proc", "/sys", "/dev", "/run"})
        if (root == QLatin1String(prefix) || root.startsWith(QLatin1String(prefix) + u'/'))
            return !root.startsWith(QStringLiteral("/run/media/"));
    return false;
}

// A folder the user may create `path` in: the nearest existing folder along it is writable.
bool CanCreateBelow(const QString& path) {
    QString at = path;
    while (!at.isEmpty() && !QFileInfo::exists(at)) at = QFileInfo(at).absolutePath();
    return QFileInfo(at).isDir() && ::access(QFile::encodeName(at).constData(), W_OK | X_OK) == 0;
}

}  // namespace

SystemSetupPlatform::SystemSetupPlatform(QString systemRoot)
    : systemRoot_(systemRoot.isEmpty() ? QStringLiteral("/") : std::move(systemRoot)) {}

QString SystemSetupPlatform::readSetting(const QString& application, const QString& section,
                                         const QString& key, const QString& fallback) {
    QSettings settings(QSettings::IniFormat, QSettings::UserScope, application);
    return settings.value(section + u'/' + key, fallback).toString();
}

bool SystemSetupPlatform::writeSetting(const QString& application, const QString& section,
                                       const QString& key, const QString& value) {
    QSettings settings(QSettings::IniFormat, QSettings::UserScope, application);
    settings.setValue(section + u'/' + key, value);
    settings.sync();
    return settings.status() == QSettings::NoError;
}

bool SystemSetupPlatform::startProgram(const QString& program, const QString& workingFolder) {
    return QProcess::startDetached(program, {}, workingFolder);
}

bool SystemSetupPlatform::startCommand(const QString& commandLine, const QString& workingFolder) {
    return QProcess::startDetached(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), commandLine},
                                   workingFolder);
}

QList<qint64> SystemSetupPlatform::processesUsing(const QString& program, const QString& file) {
    struct stat want {};
    const bool haveFile = ::stat(QFile::encodeName(file).constData(), &want) == 0;
    const QString realProgram = QFileInfo(program).canonicalFilePath();
    const QString self = QString::number(::getpid());
    QList<qint64> out;
    const QStringList pids = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString& pid : pids) {
        bool numeric = false;
        const qint64 id = pid.toLongLong(&numeric);
        if (!numeric || pid == self) continue;
        const QString proc = QStringLiteral("/proc/") + pid;
        QString exe = QFile::symLinkTarget(proc + QStringLiteral("/exe"));
        if (exe.endsWith(QStringLiteral(" (deleted)"))) exe.chop(10);
        bool uses = !realProgram.isEmpty() && exe == realProgram;
        if (!uses && haveFile) {
            const QStringList fds =
                QDir(proc + QStringLiteral("/fd"))
                    .entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
            for (const QString& fd : fds) {
                struct stat got {};
                const QByteArray link = QFile::encodeName(proc + QStringLiteral("/fd/") + fd);
                if (::stat(link.constData(), &got) == 0 && got.st_dev == want.st_dev &&
                    got.st_ino == want.st_ino) {
                    uses = true;
                    break;
                }
            }
        }
        if (uses) out.append(id);
    }
    return out;
}

bool SystemSetupPlatform::endProcess(qint64 pid) {
    return pid > 0 && ::kill(static_cast<pid_t>(pid), SIGTERM) == 0;
}

bool SystemSetupPlatform::isLocked(const QString& file) { return IsFileLocked(file); }

QList<SetupPlatform::Volume> SystemSetupPlatform::volumes() {
    QList<Volume> out;
    for (const QStorageInfo& v : QStorageInfo::mountedVolumes()) {
        if (!v.isValid() || !v.isReady() || IsSystemMount(v)) continue;
        if (!QFileInfo(v.rootPath()).isDir()) continue;  // bind-mounted single files
        out.append({v.rootPath(), v.name()});
    }
    std::sort(out.begin(), out.end(), [](const Volume& a, const Volume& b) {
        return a.root == u"/" ? b.root != u"/" : (b.root != u"/" && a.root < b.root);
    });
    return out;
}

bool SystemSetupPlatform::isReady(const QString& root) {
    const QStorageInfo v(root);
    return v.isValid() && v.isReady() && QFileInfo(root).isDir() && QFileInfo(root).isReadable();
}

QString SystemSetupPlatform::homeFolder() { return QDir::homePath(); }

QString SystemSetupPlatform::programsFolder() {
    const QString home = homeFolder();
    const QString opt = home + QStringLiteral("/.local/opt");
    return CanCreateBelow(opt) ? opt : home;
}

QString SystemSetupPlatform::desktopFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
}

QString SystemSetupPlatform::applicationsFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::ApplicationsLocation);
}

QString SystemSetupPlatform::launcherPath(const QString& folder, const QString& appName) {
    return folder + u'/' + appName + QStringLiteral(".desktop");
}

bool SystemSetupPlatform::writeLauncher(const QString& folder, const QString& appName,
                                        const QString& program, const QString& workingFolder) {
    // An icon shipped beside the program, else the icon theme's entry for the name.
    QString icon = appName.toLower();
    for (const char* suffix : {".svg", ".png"}) {
        const QString candidate = program + QLatin1String(suffix);
        if (QFileInfo(candidate).isFile()) {
            icon = candidate;
            break;
        }
    }
    return WriteDesktopEntry(folder, appName, program, icon, workingFolder);
}

bool SystemSetupPlatform::isOwnLauncher(const QString& path, const QString& program) {
    return IsOwnDesktopEntry(path, program);
}

}  // namespace tallyra
