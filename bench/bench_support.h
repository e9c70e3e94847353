#pragma once

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <QDateTime>
#include <QFile>
#include <chrono>
#include <cstring>

#include "core/clock.h"
#include "core/format/yearlog.h"

namespace tallyra::bench {

// The time stands where the benchmark puts it.
class FixedClock final : public Clock {
public:
    explicit FixedClock(QDateTime at = {}) : at(std::move(at)) {}
    QDateTime now() const override { return at; }
    QDateTime at;
};

// Qt needs its application object before any benchmark touches a Qt class.
template <typename App>
int RunBenchmarks(int argc, char** argv) {
    App app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

template <typename F>
double Seconds(F&& f) {
    const auto start = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// A field of /proc/self/status in megabytes: "VmRSS:" resident now, "VmHWM:" the peak.
inline double StatusMegabytes(const char* field) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(field)) return line.mid(6).trimmed().split(' ')[0].toDouble() / 1024.0;
    return 0;
}

// The peak resident memory starts afresh from what is resident now.
inline void RestartPeak() {
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly)) clear.write("5");
}

// The floor a query is held to: a year log read with read() in 1 MiB blocks, each record's
// index and minutes late tested; the number of plausible records.
inline qint64 ReadLogFloor(const QString& log) {
    alignas(64) static char buffer[1 << 20];
    qint64 hits = 0;
    const int fd = ::open(QFile::encodeName(log).constData(), O_RDONLY);
    ssize_t n;
    while ((n = ::read(fd, buffer, sizeof buffer)) > 0) {
        for (ssize_t at = 0; at + kLogSlotSize <= n; at += kLogSlotSize) {
            qint16 index, late;
            std::memcpy(&index, buffer + at, 2);
            std::memcpy(&late, buffer + at + 12, 2);
            hits += index >= 1 && index <= 5000 && late >= 0 && late <= 9999;
        }
    }
    ::close(fd);
    return hits;
}

}  // namespace tallyra::bench
