#pragma once

#include <QCoreApplication>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTest>

namespace tallyra::test {

// A second process that works where fork does not (Windows): this test program run again
// for the current test function and row only, with a role in its environment. The test
// function asks ChildRole() first; in the copy it plays the other process's part and ends
// with std::_Exit.
inline QStringList ChildRole() {
    const QString role = qEnvironmentVariable("TALLYRA_TEST_CHILD");
    return role.isEmpty() ? QStringList{} : role.split(u'|');
}

inline void StartChild(QProcess& child, const QStringList& role) {
    QString test = QString::fromLatin1(QTest::currentTestFunction());
    if (const char* tag = QTest::currentDataTag(); tag && *tag)
        test += u':' + QString::fromUtf8(tag);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("TALLYRA_TEST_CHILD"), role.join(u'|'));
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(), {test});
}

// The exit code of a child run to its end; -1 when it did not end by itself.
inline int RunChild(const QStringList& role) {
    QProcess child;
    StartChild(child, role);
    if (!child.waitForFinished(120000) || child.exitStatus() != QProcess::NormalExit) return -1;
    return child.exitCode();
}

}  // namespace tallyra::test
