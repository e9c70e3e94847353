#pragma once

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtTest>

#include "installer/setupfiles.h"

namespace tallyra::test {

// Writes a file in a scratch tree, making its folders first.
inline void WriteFile(const QString& path, const QByteArray& bytes, bool executable = false) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    QVERIFY2(f.open(QIODevice::WriteOnly), qPrintable(path));
    f.write(bytes);
    f.close();
    if (executable)
        f.setPermissions(f.permissions() | QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther);
}

inline QByteArray ReadFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Every file below `folder` (links to files included, linked folders not entered), relative.
inline QStringList Names(const QString& folder) {
    QStringList out;
    for (const QString& f : SearchFolder(folder)) out << f.mid(folder.size() + 1);
    return out;
}

}  // namespace tallyra::test
