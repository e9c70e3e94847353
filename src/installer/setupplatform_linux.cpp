#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QStorageInfo>
#include <algorithm>

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

}  // namespace

LinuxSetupPlatform::LinuxSetupPlatform(QString systemRoot) : systemRoot_(std::move(systemRoot)) {}

QString LinuxSetupPlatform::readSetting(const QString& application, const QString& section,
                                        const QString& key, const QString& fallback) {
    QSettings settings(QSettings::IniFormat, QSettings::UserScope, application);
    return settings.value(section + u'/' + key, fallback).toString();
}

bool LinuxSetupPlatform::writeSetting(const QString& application, const QString& section,
                                      const QString& key, const QString& value) {
    QSettings settings(QSettings::IniFormat, QSettings::UserScope, application);
    settings.setValue(section + u'/' + key, value);
    settings.sync();
    return settings.status() == QSettings::NoError;
}

bool LinuxSetupPlatform::startProgram(const QString& program, const QString& workingFolder) {
    return QProcess::startDetached(program, {}, workingFolder);
}

bool LinuxSetupPlatform::startCommand(const QString& commandLine, const QString& workingFolder) {
    return QProcess::startDetached(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), commandLine},
                                   workingFolder);
}

QList<SetupPlatform::Volume> LinuxSetupPlatform::volumes() {
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

bool LinuxSetupPlatform::isReady(const QString& root) {
    const QStorageInfo v(root);
    return v.isValid() && v.isReady() && QFileInfo(root).isDir() && QFileInfo(root).isReadable();
}

QString LinuxSetupPlatform::homeFolder() { return QDir::homePath(); }

QString LinuxSetupPlatform::desktopFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
}

QString LinuxSetupPlatform::applicationsFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::ApplicationsLocation);
}

}  // namespace tallyra
