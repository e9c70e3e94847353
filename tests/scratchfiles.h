#pragma once

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtTest>

#include "installer/setupdialogs.h"
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

// The installer's questions answered from a script (`answers` first, one a question, then
// `answer`), its messages kept as "title|text".
class ScriptedSetupDialogs final : public SetupDialogs {
public:
    void message(const QString& text, const QString& title) override {
        messages << title + u'|' + text;
    }
    bool confirm(const QString& text, const QString&) override {
        questions << text;
        return answers.isEmpty() ? answer : answers.takeFirst();
    }
    bool answer = false;
    QList<bool> answers;
    QStringList messages, questions;
};

}  // namespace tallyra::test
