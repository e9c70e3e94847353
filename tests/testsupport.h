#pragma once

#include <QByteArray>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

#include "core/clock.h"
#include "core/notifier.h"

namespace tallyra::test {

class MockClock final : public Clock {
public:
    explicit MockClock(QDateTime now) : now_(std::move(now)) {}
    QDateTime now() const override { return now_; }
    void set(QDateTime now) { now_ = std::move(now); }

private:
    QDateTime now_;
};

class RecordingNotifier final : public Notifier {
public:
    void ShowNotice(const QString& text) override { notices << text; }
    QStringList notices;
};

inline QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline void WriteAll(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate)) f.write(bytes);
}

inline QByteArray Le16(qint16 v) {
    return QByteArray(1, char(v & 0xff)) + QByteArray(1, char((v >> 8) & 0xff));
}

}  // namespace tallyra::test

namespace tallyra::test {
// QByteArray::resize leaves new bytes undefined; fixtures want zeros.
inline void ResizeZeroed(QByteArray& bytes, qsizetype size) {
    if (size <= bytes.size())
        bytes.truncate(size);
    else
        bytes.append(QByteArray(size - bytes.size(), '\0'));
}
}  // namespace tallyra::test
